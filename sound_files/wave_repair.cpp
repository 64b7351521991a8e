#include "sound_files/wave_repair.h"

#include "sound_files/byte_source.h"
#include "sound_files/format_record.h"

namespace {

constexpr uint64_t kHeaderLength = 44;
// A format chunk shorter than the common header holds no block alignment.
constexpr uint32_t kSmallestFormat = 14;

// Tags whose data is kept whole rather than cut to whole blocks.
bool KeepsEveryByte(uint16_t tag) {
  return tag == 2 || tag == 0x73 || IsOggVorbisTag(tag);
}

bool ReadTag(RandomAccessFile& file, uint64_t offset, const char* tag) {
  uint8_t bytes[4];
  return offset <= 0xFFFFFFFFu && file.ReadAt(static_cast<uint32_t>(offset), bytes, 4) &&
         ByteCursor(bytes, 4).Tag(tag);
}

bool ReadU32(RandomAccessFile& file, uint64_t offset, uint32_t& value) {
  uint8_t bytes[4];
  if (offset > 0xFFFFFFFFu || !file.ReadAt(static_cast<uint32_t>(offset), bytes, 4)) return false;
  value = ByteCursor(bytes, 4).U32LE();
  return true;
}

bool ReadU16(RandomAccessFile& file, uint64_t offset, uint16_t& value) {
  uint8_t bytes[2];
  if (offset > 0xFFFFFFFFu || !file.ReadAt(static_cast<uint32_t>(offset), bytes, 2)) return false;
  value = ByteCursor(bytes, 2).U16LE();
  return true;
}

bool WriteU32(RandomAccessFile& file, uint32_t offset, uint32_t value) {
  uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16),
                      static_cast<uint8_t>(value >> 24)};
  return file.WriteAt(offset, bytes, 4);
}

}  // namespace

RepairPlan PlanWaveRepair(RandomAccessFile& file, uint64_t length) {
  RepairPlan plan;
  // All arithmetic is 64-bit: sizes read from the file can be anything, and a
  // plan whose fields would not fit the file is refused, never wrapped.
  if (length <= kHeaderLength || length > 0xFFFFFFFFu) return plan;
  if (!ReadTag(file, 0, "RIFF") || !ReadTag(file, 12, "fmt ")) return plan;
  uint32_t format_size = 0;
  uint16_t tag = 0, block_align = 0;
  if (!ReadU32(file, 16, format_size) || !ReadU16(file, 20, tag) || !ReadU16(file, 32, block_align)) return plan;
  if (format_size < kSmallestFormat) return plan;
  if (block_align == 0) block_align = 1;

  const uint64_t F = format_size;
  uint64_t K = 0;
  if (ReadTag(file, 20 + F, "fact")) {
    uint32_t fact_size = 0;
    if (!ReadU32(file, 24 + F, fact_size)) return plan;
    K = fact_size;
    plan.has_fact = true;
  }
  // The data size is written only behind a data chunk's id: after a fact
  // chunk another chunk (a LIST) may stand there, whose size it would spoil.
  if (!ReadTag(file, plan.has_fact ? 28 + F + K : 20 + F, "data")) return plan;

  const uint64_t P = plan.has_fact ? 32 + F + K : 24 + F;
  // The size field must lie in the file; then the data length below is not
  // negative either.
  if (P + 4 > length) return plan;
  uint64_t D = length - P - 4;
  if (!KeepsEveryByte(tag)) D -= D % block_align;
  uint64_t R = plan.has_fact ? D + F + K + 28 : D + F + 20;
  if ((R & 1) && R + 8 < length) ++R;  // the pad byte after odd data is in the file

  plan.repairable = true;
  plan.data_size = static_cast<uint32_t>(D);
  plan.data_size_offset = static_cast<uint32_t>(P);
  plan.riff_size = static_cast<uint32_t>(R);
  return plan;
}

int RepairWaveFile(RandomAccessFile& file, uint64_t length) {
  const RepairPlan plan = PlanWaveRepair(file, length);
  if (!plan.repairable) return 1;
  if (!WriteU32(file, plan.data_size_offset, plan.data_size)) return 1;
  if (!WriteU32(file, 4, plan.riff_size)) return 1;
  return 0;
}
