#include "sound_files/wave_create.h"

#include "base/device_results.h"
#include "base/format_record.h"
#include "resources/ja_sound_files.h"
#include "resources/resource_ids.h"
#include "sound_files/byte_source.h"

std::vector<uint8_t> MakeRecordingFormat(uint32_t rec_freq, uint16_t rec_channel, uint16_t rec_bits) {
  const uint16_t block_align = static_cast<uint16_t>(rec_channel * (rec_bits / 8));
  std::vector<uint8_t> record;
  record.reserve(RECORDING_FORMAT_SIZE);
  LittleEndianWriter out(record);
  out.U16(WAVE_TAG_PCM);
  out.U16(rec_channel);
  out.U32(rec_freq);
  out.U32(block_align * rec_freq);
  out.U16(block_align);
  out.U16(rec_bits);
  return record;
}

std::vector<uint8_t> MakeRecordingHeader(const std::vector<uint8_t>& record, uint32_t data_bytes) {
  std::vector<uint8_t> header;
  header.reserve(WAVE_HEADER_SIZE);
  LittleEndianWriter out(header);
  const uint32_t riff_size = WAVE_HEADER_SIZE - 8 + data_bytes;
  out.U32(FourCC("RIFF"));
  out.U32(riff_size < data_bytes ? 0xFFFFFFFFu : riff_size);
  out.U32(FourCC("WAVE"));
  out.U32(FourCC("fmt "));
  out.U32(RECORDING_FORMAT_SIZE);
  std::vector<uint8_t> format = record;
  format.resize(RECORDING_FORMAT_SIZE);
  for (uint8_t byte : format) out.U8(byte);
  out.U32(FourCC("data"));
  out.U32(data_bytes);
  return header;
}

uint32_t FitIntoWaveFile(uint32_t data_count, uint32_t bytes, int16_t blockalign, uint32_t file_limit) {
  const uint64_t end = static_cast<uint64_t>(data_count) + bytes + WAVE_HEADER_SIZE;
  if (end <= file_limit) return bytes;
  const uint64_t used = static_cast<uint64_t>(data_count) + WAVE_HEADER_SIZE;
  uint32_t room = used >= file_limit ? 0 : static_cast<uint32_t>(file_limit - used);
  return WholeBlocks(room, blockalign);
}

uint32_t WholeBlocks(uint32_t bytes, int16_t blockalign) {
  if (blockalign <= 1) return bytes;
  return bytes - bytes % static_cast<uint32_t>(blockalign);
}

uint32_t RecordingCapacity(uint32_t free_bytes, uint32_t cluster_bytes) {
  const uint64_t room = static_cast<uint64_t>(free_bytes) + cluster_bytes;
  if (room <= WAVE_HEADER_SIZE) return 0;
  const uint64_t capacity = room - WAVE_HEADER_SIZE;
  return capacity > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(capacity);
}

FailureText RecordQueryFailureText(unsigned result) {
  namespace jf = ja::files;
  switch (result) {
    case kDeviceBadId:
      return {-1, "bad id", jf::kInBadId};
    case kDeviceAllocated:
      return {-1, "allocated", jf::kInAllocated};
    case kDeviceNoDriver:
      return {-1, "no driver", jf::kInNoDriver};
    case kDeviceNoMemory:
      return {-1, "nomem", jf::kInNoMemory};
    case kDeviceBadFormat:
      return {IDS_NO_SUPPORT, nullptr, jf::kInBadFormat};
    case kDeviceSync:
      return {-1, "err_sync", jf::kInSync};
    default:
      return {-1, "? error ?", jf::kInUnknown};
  }
}
