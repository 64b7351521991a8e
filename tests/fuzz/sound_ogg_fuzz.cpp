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
    // A recognised stream holds a page header, a lacing value and the 30
    // bytes of the identification header, and is an Ogg stream.
    if (result == ANALYSIS_OK &&
        (record.size() != OGG_RECORD_SIZE || offset + 58ull > size || !IsOggStream(source, offset)))
      __builtin_trap();
    if (result == ANALYSIS_NOT_MINE && !record.empty()) __builtin_trap();
  }
  return 0;
}
