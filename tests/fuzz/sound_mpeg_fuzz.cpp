// The MPEG audio analysis on arbitrary bytes, from the start and from an
// offset given by the first byte.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/format_record.h"
#include "sound_files/mpeg_analysis.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MemorySource source(data, size);
  if (size > 0) source.Seek(data[0] % 8);
  AnalysisReport report;
  std::vector<uint8_t> record;
  const uint32_t data_total = size >= 4 ? static_cast<uint32_t>(data[size - 1]) << 16 | data[size - 2] : 0;
  const uint32_t start = source.Position();
  uint32_t audio_offset = 0xFFFFFFFFu;
  const int result = AnalyzeMpeg(source, data_total, report, record, &audio_offset);
  if (result == ANALYSIS_OK) {
    if (record.size() != MPEG_RECORD_SIZE) __builtin_trap();
    // The first frame's header lies inside the bytes, at or after the start.
    if (static_cast<uint64_t>(start) + audio_offset + 4 > size) __builtin_trap();
    // Recognised streams always have a byte rate and a block size.
    const uint32_t avg = record[8] | record[9] << 8 | record[10] << 16 | static_cast<uint32_t>(record[11]) << 24;
    const uint16_t block = static_cast<uint16_t>(record[24] | record[25] << 8);
    if (avg == 0 || block < 4) __builtin_trap();
  } else if (result != ANALYSIS_NOT_MINE || !record.empty() || !report.notes().empty()) {
    __builtin_trap();
  }
  return 0;
}
