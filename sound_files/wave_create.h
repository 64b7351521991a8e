// Creating a recording file, apart from the Windows calls: the 16-byte PCM
// format record, its header, what fits into a file, the capacity left on the
// drive, and the texts for the input device's answer to the format query.
#pragma once
#include <cstdint>
#include <vector>

#include "sound_files/sound_file_open.h"

constexpr uint16_t RECORDING_FORMAT_SIZE = 16;
// The header of a recording file: RIFF header, 16-byte "fmt " chunk, data
// chunk header. The one name of this size.
constexpr uint32_t WAVE_HEADER_SIZE = 44;

// The PCM record (no cbSize) for the recording settings.
std::vector<uint8_t> MakeRecordingFormat(uint32_t rec_freq, uint16_t rec_channel, uint16_t rec_bits);

// The 44-byte header of a recording file holding data_bytes of sound in the
// format `record` (the 16-byte record of MakeRecordingFormat): RIFF size 36 +
// data_bytes, then the format chunk and the data chunk's header. A recording
// under way rewrites it as it grows, so that the file is a whole WAVE file of
// what has been written at any moment (a pad byte after odd data is written
// only when the recording closes).
std::vector<uint8_t> MakeRecordingHeader(const std::vector<uint8_t>& record, uint32_t data_bytes);

// The largest WAVE file a recording may write (its series goes on in a next
// file).
constexpr uint32_t kWaveFileLimit = 0x7FFFFFFF;
// Bytes of a recorded buffer that still fit into a WAVE file of at most
// file_limit bytes; a cut count is a multiple of blockalign.
uint32_t FitIntoWaveFile(uint32_t data_count, uint32_t bytes, int16_t blockalign,
                         uint32_t file_limit = kWaveFileLimit);
// The part of a short write that forms whole blocks (a partial block is
// stepped back over, so the data chunk ends on a block boundary).
uint32_t WholeBlocks(uint32_t bytes, int16_t blockalign);

// The most sound data the drive can take after the 44-byte header: free bytes
// plus one cluster (the last one is partly used by the header) minus 44; 0
// when that is not positive.
uint32_t RecordingCapacity(uint32_t free_bytes, uint32_t cluster_bytes);

// The text for a refused recording query (english_id -1: the fixed English
// text is used).
FailureText RecordQueryFailureText(unsigned result);
