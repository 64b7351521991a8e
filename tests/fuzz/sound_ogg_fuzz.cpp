// The Ogg stream analysis on arbitrary bytes, at offset 0 and at an offset
// given by the first byte.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/format_record.h"
#include "sound_files/ogg_analysis.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MemorySource source(data, size);
  for (uint32_t offset : {0u, size > 0 ? static_cast<uint32_t>(data[0]) : 0u}) {
    AnalysisReport report;
    std::vector<uint8_t> record;
    const int result = AnalyzeOgg(source, offset, report, record);
    if (result == ANALYSIS_OK && (record.size() != OGG_RECORD_SIZE || offset + 52ull > size)) __builtin_trap();
    if (result == ANALYSIS_NOT_MINE && !record.empty()) __builtin_trap();
  }
  return 0;
}
