#include "sound_files/wave_repair.h"

#include <cstring>

#include "base/format_record.h"
#include "sound_files/riff_file.h"
#include "sound_files/wave_create.h"

namespace {

// A format chunk shorter than the common header holds no block alignment.
constexpr uint32_t kSmallestFormat = 14;
// The fixed part read first: "RIFF", size, "WAVE", the "fmt " header and the
// format's fields up to the block alignment.
constexpr uint32_t kFixedHeadSize = 34;

// Tags whose data is kept whole rather than cut to whole blocks.
bool KeepsEveryByte(uint16_t tag) {
  return tag == WAVE_TAG_MS_ADPCM || tag == WAVE_TAG_SBC16 || IsOggVorbisTag(tag);
}

bool WriteU32(ByteSource& file, uint32_t offset, uint32_t value) {
  uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16),
                      static_cast<uint8_t>(value >> 24)};
  return WriteAt(file, offset, bytes, 4);
}

}  // namespace

RepairPlan PlanWaveRepair(ByteSource& file, uint64_t length) {
  RepairPlan plan;
  // All arithmetic is 64-bit: sizes read from the file can be anything, and a
  // plan whose fields would not fit the file is refused, never wrapped.
  if (length <= WAVE_HEADER_SIZE || length > 0xFFFFFFFFu) return plan;
  // The repair only knows the layout its own recordings have: the format
  // chunk right after the RIFF header, then a fact chunk or the data chunk.
  uint8_t head[kFixedHeadSize];
  if (!ReadAt(file, 0, head, sizeof head)) return plan;
  ByteCursor in(head, sizeof head);
  if (!in.Tag("RIFF")) return plan;
  in.Skip(8);  // RIFF size and form type
  if (!in.Tag("fmt ")) return plan;
  const uint32_t format_size = in.U32LE();
  const uint16_t tag = in.U16LE();
  in.Skip(10);  // channels, rates
  uint16_t block_align = in.U16LE();
  if (!in.ok() || format_size < kSmallestFormat) return plan;
  if (block_align == 0) block_align = 1;

  const uint64_t F = format_size;
  uint64_t K = 0;
  ChunkHeader next;
  const bool next_read = ReadChunkHeader(file, 20 + F, next);
  if (next_read && next.id == FourCC("fact")) {
    K = next.size;
    plan.has_fact = true;
  }
  // The data size is written only behind a data chunk's id: after a fact
  // chunk another chunk (a LIST) may stand there, whose size it would spoil.
  ChunkHeader data;
  if (plan.has_fact) {
    if (!ReadChunkHeader(file, 28 + F + K, data)) return plan;
  } else {
    if (!next_read) return plan;
    data = next;
  }
  if (data.id != FourCC("data")) return plan;

  const uint64_t P = data.offset + 4;
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

RecordingTail FindRecordingTail(ByteSource& file, uint64_t length) {
  RecordingTail none;
  const RepairPlan plan = PlanWaveRepair(file, length);
  if (!plan.repairable) return none;
  uint8_t sizes[4];
  if (!ReadAt(file, 4, sizes, 4)) return none;
  const uint64_t riff_size = ByteCursor(sizes, 4).U32LE();
  if (!ReadAt(file, plan.data_size_offset, sizes, 4)) return none;
  const uint64_t data_size = ByteCursor(sizes, 4).U32LE();
  const uint64_t data_end = plan.data_size_offset + 4 + data_size;
  if (riff_size == 0 || riff_size + 8 != data_end || plan.data_size <= data_size) return none;
  // What follows the declared data: a chunk or a tag is not a recording's tail.
  uint8_t next[8];
  const uint64_t rest = length - data_end;
  if (rest >= 3 && ReadAt(file, data_end, next, 3) &&
      (std::memcmp(next, "ID3", 3) == 0 || std::memcmp(next, "TAG", 3) == 0))
    return none;
  if (rest >= 8 && ReadAt(file, data_end, next, 8)) {
    bool printable = true;
    for (int k = 0; k < 4; ++k) printable = printable && next[k] >= 0x20 && next[k] <= 0x7E;
    if (printable && ByteCursor(next + 4, 4).U32LE() <= rest - 8) return none;
  }
  RecordingTail tail;
  tail.bytes = static_cast<uint32_t>(plan.data_size - data_size);
  if (ReadAt(file, 28, sizes, 4)) tail.bytes_per_sec = ByteCursor(sizes, 4).U32LE();
  return tail;
}

bool RepairWaveFile(ByteSource& file, uint64_t length) {
  const RepairPlan plan = PlanWaveRepair(file, length);
  return plan.repairable && WriteU32(file, plan.data_size_offset, plan.data_size) &&
         WriteU32(file, 4, plan.riff_size);
}
