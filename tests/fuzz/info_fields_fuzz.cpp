// The detail dialog's reading of a file and the information dialog's texts,
// on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "sound_files/format_names.h"
#include "sound_files/info_fields.h"

namespace {
std::string NameFromTable(uint16_t tag) {
  const char* name = KnownFormatTagName(tag);
  return name ? name : kUnknownFormatName;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  InfoTextMode mode{size > 0 && (data[0] & 1), size > 0 && (data[0] & 2)};
  MemorySource file(data, size);
  DetailFields detail = ReadDetailFields(&file, static_cast<int64_t>(size), mode, NameFromTable);

  AnalysisReport report;
  if (detail.kind != KIND_WAVE) AnalyseStream(file, detail, static_cast<int64_t>(size), mode, report);

  uint32_t offset = 0;
  uint32_t data_size = 0;
  if (StreamStart(file, detail.kind, &offset, &data_size) && size >= 40) {
    FormatFields format;
    std::memcpy(&format.nAvgBytesPerSec, data + size - 4, 4);
    std::memcpy(&format.nSamplesPerSec, data + size - 8, 4);
    ShowMpegAnalysis(detail.texts, detail.kind, format, static_cast<int64_t>(size), mode);
  }

  if (size >= 24) {
    InfoBoxValues values;
    std::memcpy(&values.format_tag, data + 8, 2);
    std::memcpy(&values.bytes_per_sec, data + 12, 4);
    std::memcpy(&values.data_total, data + 16, 4);
    values.sample_bits = data[20];
    values.khz = data[21];
    values.channels = data[22];
    InfoBoxTexts(values, mode);
  }
  return 0;
}
