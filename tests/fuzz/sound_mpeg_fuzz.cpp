// The MPEG audio analysis on arbitrary bytes: as a whole raw file, as the
// open reads it (searched from its start), and as the data of a RIFF file
// from an offset given by the first byte with a data length given by the last
// two.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/format_record.h"
#include "sound_files/mpeg_analysis.h"
#include "tests/le_bytes.h"

namespace {

void Analyse(const uint8_t* data, size_t size, uint32_t start, uint32_t data_total, MpegSearch search) {
  MemorySource source(data, size);
  source.Seek(start);
  AnalysisReport report;
  std::vector<uint8_t> record;
  MpegEdges edges{0xFFFFFFFFu, 0xFFFFFFFFu};
  const int result = AnalyzeMpeg(source, data_total, report, record, &edges, search);
  if (result == ANALYSIS_OK) {
    if (record.size() != MPEG_RECORD_SIZE) __builtin_trap();
    // The first frame's header lies inside the bytes, at or after the start,
    // and the tags at the end begin after it.
    if (static_cast<uint64_t>(start) + edges.head + 4 + edges.tail > size) __builtin_trap();
    // Recognised streams always have a byte rate and a block size.
    const uint32_t avg = GetU32(record, 8);
    const uint16_t block = GetU16(record, 24);
    if (avg == 0 || block < 4) __builtin_trap();
  } else if (result != ANALYSIS_NOT_MINE || !record.empty() || !report.notes().empty()) {
    __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Analyse(data, size, 0, static_cast<uint32_t>(size), MpegSearch::ANYWHERE);
  if (size >= 4)
    Analyse(data, size, data[0] % 8, static_cast<uint32_t>(data[size - 1]) << 16 | data[size - 2],
            MpegSearch::AFTER_TAGS);
  return 0;
}
