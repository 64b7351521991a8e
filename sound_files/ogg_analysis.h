// Recognition of an Ogg Vorbis stream and the Ogg Vorbis wave format record
// (26 bytes) that the codec is queried and opened with.
#pragma once
#include <cstdint>
#include <vector>

#include "sound_files/analysis_report.h"
#include "sound_files/byte_source.h"

constexpr uint16_t OGG_RECORD_SIZE = 26;

// Analyses the stream that starts at `offset` of the source (absolute seeks).
// Its first page must carry a Vorbis identification header as its first
// packet; the record's fields are read from that header. Returns ANALYSIS_OK
// with `record` holding the 26-byte record, or ANALYSIS_NOT_MINE when the
// stream is not Ogg Vorbis (record left empty). `report` receives the
// description text and the allocation point, in order.
AnalysisResult AnalyzeOgg(ByteSource& source, uint32_t offset, AnalysisReport& report, std::vector<uint8_t>& record);

// True when an Ogg page (of any codec) begins at `offset`.
bool IsOggStream(ByteSource& source, uint32_t offset);

// The 26-byte record of the first Ogg Vorbis tag for a stream of channels at
// sample_rate, byte_rate bytes a second.
std::vector<uint8_t> MakeOggRecord(unsigned channels, uint32_t sample_rate, uint32_t byte_rate);
