#include "sound_files/ogg_analysis.h"

#include "base/format_record.h"

namespace {

// Offsets within the first page when it carries the Vorbis identification
// packet as its only segment.
constexpr uint32_t kChannelsOffset = 39;
constexpr uint32_t kSampleRateOffset = 40;
constexpr uint32_t kNominalBitrateOffset = 48;

}  // namespace

AnalysisResult AnalyzeOgg(ByteSource& source, uint32_t offset, AnalysisReport& report, std::vector<uint8_t>& record) {
  record.clear();
  uint8_t capture[4];
  if (!ReadAt(source, uint64_t{offset} + 0, capture, 4)) return ANALYSIS_NOT_MINE;
  if (!ByteCursor(capture, 4).Tag("OggS")) return ANALYSIS_NOT_MINE;

  uint8_t channel_byte[1], rate_bytes[4], bitrate_bytes[4];
  if (!ReadAt(source, uint64_t{offset} + kChannelsOffset, channel_byte, 1) ||
      !ReadAt(source, uint64_t{offset} + kSampleRateOffset, rate_bytes, 4) ||
      !ReadAt(source, uint64_t{offset} + kNominalBitrateOffset, bitrate_bytes, 4))
    return ANALYSIS_NOT_MINE;
  const unsigned channels = channel_byte[0];
  const uint32_t sample_rate = ByteCursor(rate_bytes, 4).U32LE();
  const uint32_t nominal_bitrate = ByteCursor(bitrate_bytes, 4).U32LE();

  report.Text(FormatText("freq=%lu\r\nrate=%lu\r\nchannel=%u\r\n", static_cast<unsigned long>(sample_rate),
                         static_cast<unsigned long>(nominal_bitrate), channels));
  report.Allocate(OGG_RECORD_SIZE);

  // The bitrate field is signed; the byte rate drops the fraction toward zero.
  record = MakeOggRecord(channels, sample_rate, static_cast<uint32_t>(static_cast<int32_t>(nominal_bitrate) / 8));
  return ANALYSIS_OK;
}

std::vector<uint8_t> MakeOggRecord(unsigned channels, uint32_t sample_rate, uint32_t byte_rate) {
  std::vector<uint8_t> record;
  record.reserve(OGG_RECORD_SIZE);
  LittleEndianWriter out(record);
  out.U16(WAVE_TAG_OGG_VORBIS1);
  out.U16(static_cast<uint16_t>(channels));
  out.U32(sample_rate);
  out.U32(byte_rate);
  out.U16(static_cast<uint16_t>(channels * 2));
  out.U16(16);
  out.U16(8);
  out.U32(0x20001214);
  out.U32(0x20001031);
  return record;
}
