// Recognition of an MPEG audio stream and the MPEG Layer-3 wave format record
// (30 bytes) that the codec is queried and opened with.
#pragma once
#include <cstdint>
#include <vector>

#include "sound_files/analysis_report.h"
#include "sound_files/byte_source.h"

constexpr uint16_t MPEG_RECORD_SIZE = 30;
constexpr uint16_t MPEG_CODEC_DELAY = 1393;

// The fields of the 30-byte record that vary: channels, rate, byte rate, the
// padding flag (0 as the stream says, 2 MPEGLAYER3_FLAG_PADDING_OFF) and the
// frame length. The rest is fixed: one byte a block, wID MPEGLAYER3_ID_MPEG,
// one frame a block, MPEG_CODEC_DELAY.
struct MpegRecordFields {
  uint16_t channels = 2;
  uint32_t sample_rate = 0;
  uint32_t byte_rate = 0;
  uint32_t padding_flag = 0;
  uint16_t block_size = 0;
};
constexpr uint32_t MPEG_PADDING_OFF = 2;
std::vector<uint8_t> MakeMpegRecord(const MpegRecordFields& fields);

// The bytes of a stream that are no sound: `head` before its first frame
// (ID3v2 tags, their padding, junk), `tail` after its last (ID3v1, APEv2 and
// appended ID3v2 tags). The codec is handed the frames between them only.
struct MpegEdges {
  uint32_t head = 0;
  uint32_t tail = 0;
};

// Where the first frame is looked for: at the stream's start or within
// 256 KB after ID3v2 tags there (the data chunk of a RIFF file), and in a raw
// file also within 256 KB of its start when it begins with neither (junk
// before the first frame). A raw file that begins as Ogg or RIFF is not
// searched.
enum class MpegSearch { AFTER_TAGS, ANYWHERE };

// Analyses the stream at the source's present position (the first byte of a
// raw file, or of the data chunk of a RIFF-wrapped one), leaving the position
// after the bytes read. The stream runs data_total bytes from there (as far
// as the source goes); its length also gives the average byte rate of a
// stream with a Xing header.
// A stream that begins with an ID3v2 tag is searched: every tag in a row is
// skipped, and the first frame is the first header within 256 KB after them
// whose next header, at the length it gives, agrees in version, layer and
// sample rate (or whose frame ends where the sound ends). A stream that
// begins with neither a tag nor a frame header is searched so from its start
// when `search` is ANYWHERE, two headers after the first agreeing; otherwise
// it is not MPEG audio.
// The second frame's header tells constant from variable rate; a Xing
// header in the first frame, with its frame count, gives a variable-rate
// stream's average byte rate, where the frames of its version and layer
// could have it.
// Returns ANALYSIS_OK with `record` holding the 30-byte record, or
// ANALYSIS_NOT_MINE when the stream is not MPEG audio (record left empty).
// `report` receives the description texts, the message boxes and the
// allocation point, in order. On ANALYSIS_OK, *edges (when given) tells the
// bytes before the first frame and after the sound; the average byte rate of
// a Xing stream counts only the data_total - head - tail bytes between them.
AnalysisResult AnalyzeMpeg(ByteSource& source, uint32_t data_total, AnalysisReport& report, std::vector<uint8_t>& record,
                           MpegEdges* edges = nullptr, MpegSearch search = MpegSearch::AFTER_TAGS);

// One decoded frame header. `value` is the 32-bit header with the layer code
// already turned into the layer number (code 3 -> 1, 1 -> 3), the form shown
// in the texts and compared between frames.
struct MpegHeader {
  uint32_t value = 0;
  unsigned sync = 0;         // 12 bits: 0xFFF or 0xFFE
  unsigned id = 0;           // 1 = MPEG-1
  unsigned layer = 0;        // layer number 1..3 (0: invalid code)
  unsigned protection = 0;
  unsigned bitrate_index = 0;
  unsigned rate_index = 0;
  unsigned padding = 0;
  unsigned private_bit = 0;
  unsigned channel_mode = 0;  // 3 = single channel
  unsigned mode_extension = 0;
  unsigned copyright = 0;
  unsigned original = 0;
  unsigned emphasis = 0;
};

enum MpegVersion { MPEG_1 = 0, MPEG_2 = 1, MPEG_25 = 2 };

// Decodes the four bytes of a header (most significant first). False when the
// sync (the reserved version among them), layer code or sample-rate index
// rules it out as a frame header.
bool DecodeMpegHeader(uint32_t raw, MpegHeader& header);
MpegVersion MpegVersionOf(const MpegHeader& header);
// kbit/s; 0 for index 0 and 15.
unsigned MpegBitrate(MpegVersion version, unsigned layer, unsigned bitrate_index);
// Hz; 0 for index 3.
unsigned MpegSampleRate(MpegVersion version, unsigned rate_index);
// Frame length in bytes; 0 when the bitrate or the sample rate is 0. Layer I
// frames hold 384 samples, Layer II frames 1152, Layer III frames 1152 in
// MPEG-1 and 576 in MPEG-2 and 2.5.
unsigned MpegFrameLength(MpegVersion version, unsigned layer, unsigned bitrate_kbit, unsigned sample_rate,
                         unsigned padding);
// Offset of a Xing header within the frame body (after the 4-byte header).
unsigned XingOffset(MpegVersion version, bool single_channel);
