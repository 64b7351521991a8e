#include "sound_files/wave_repair.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/format_record.h"
#include "sound_files/riff_file.h"
#include "sound_files/wave_create.h"

namespace {

// A format chunk shorter than the common header holds no block alignment.
constexpr uint32_t kSmallestFormat = 14;
// The fixed part read first: "RIFF", size, "WAVE", the "fmt " header and the
// format's fields up to the block alignment.
constexpr uint32_t kFixedHeadSize = 34;
// The byte rate and block alignment in that part.
constexpr uint32_t kFormatRatesOffset = 28;

// What other programs put after a WAVE file's data, never a recording's
// tail: chunks of these kinds (whole, or cut short as a file cut off inside
// them leaves them), and tags.
constexpr char kKnownChunks[][5] = {"LIST", "bext", "JUNK", "junk", "PAD ", "FLLR", "fact", "cue ", "smpl",
                                    "inst", "iXML", "axml", "id3 ", "ID3 ", "DISP", "PEAK", "acid", "cart",
                                    "umid", "levl", "plst", "_PMX", "data", "fmt "};
constexpr uint32_t kApeTagBytes = 32;    // an APEv2 header or footer, "APETAGEX" first
constexpr uint32_t kId3v1Bytes = 128;    // "TAG" first
constexpr uint32_t kId3v2FooterBytes = 10;  // "3DI" first
// A tail whose first 16 MB (a minute and a half of CD sound) are zeros is
// taken for zeros: no more is read to tell.
constexpr uint64_t kZeroScanBytes = 16u << 20;
constexpr uint32_t kZeroScanPiece = 64u << 10;
// The offer shows a shorter tail in milliseconds.
constexpr double kShortestTailInSeconds = 0.1;

// Tags whose data is kept whole rather than cut to whole blocks.
bool KeepsEveryByte(uint16_t tag) {
  return tag == WAVE_TAG_MS_ADPCM || tag == WAVE_TAG_SBC16 || IsOggVorbisTag(tag);
}

// Whether the bytes from data_end to the end of the file (`length`) are a
// tag or a chunk another program put there: a tag or a known chunk at their
// start, any chunk header whose size fits in them, or a tag that ends the
// file.
bool ForeignAfterData(ByteSource& file, uint64_t data_end, uint64_t length) {
  const uint64_t rest = length - data_end;
  uint8_t head[8] = {};
  const uint32_t head_bytes = rest < sizeof head ? static_cast<uint32_t>(rest) : sizeof head;
  if (!ReadAt(file, data_end, head, head_bytes)) return true;
  auto starts = [&](const char* text, uint32_t n) { return head_bytes >= n && std::memcmp(head, text, n) == 0; };
  if (starts("ID3", 3) || starts("TAG", 3) || starts("APETAGEX", 8)) return true;
  for (const char* id : kKnownChunks)
    if (starts(id, 4)) return true;
  if (head_bytes == 8) {
    bool printable = true;
    for (int k = 0; k < 4; ++k) printable = printable && head[k] >= 0x20 && head[k] <= 0x7E;
    if (printable && ByteCursor(head + 4, 4).U32LE() <= rest - 8) return true;
  }
  // Tags at the end of the file: an APEv2 footer, an appended ID3v2 tag's
  // footer, an ID3v1 tag.
  uint8_t end_tag[8];
  if (rest >= kApeTagBytes && ReadAt(file, length - kApeTagBytes, end_tag, 8) &&
      std::memcmp(end_tag, "APETAGEX", 8) == 0)
    return true;
  if (rest >= kId3v2FooterBytes && ReadAt(file, length - kId3v2FooterBytes, end_tag, 3) &&
      std::memcmp(end_tag, "3DI", 3) == 0)
    return true;
  return rest >= kId3v1Bytes && ReadAt(file, length - kId3v1Bytes, end_tag, 3) && std::memcmp(end_tag, "TAG", 3) == 0;
}

// Whether the `count` bytes at `offset` are zeros (as far as kZeroScanBytes
// go); a read that fails counts as zeros.
bool AllZeros(ByteSource& file, uint64_t offset, uint64_t count) {
  if (count > kZeroScanBytes) count = kZeroScanBytes;
  std::vector<uint8_t> piece(count < kZeroScanPiece ? static_cast<size_t>(count) : kZeroScanPiece);
  for (uint64_t done = 0; done < count;) {
    const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(piece.size(), count - done));
    if (!ReadAt(file, offset + done, piece.data(), n)) return true;
    for (uint32_t k = 0; k < n; ++k)
      if (piece[k] != 0) return false;
    done += n;
  }
  return true;
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
  // 1. A file the repair can plan, its recording closed at some point: a RIFF
  //    size not 0, and a data chunk that ends the RIFF chunk exactly.
  const RepairPlan plan = PlanWaveRepair(file, length);
  if (!plan.repairable) return none;
  uint8_t sizes[4];
  if (!ReadAt(file, 4, sizes, 4)) return none;
  const uint64_t riff_size = ByteCursor(sizes, 4).U32LE();
  if (!ReadAt(file, plan.data_size_offset, sizes, 4)) return none;
  const uint64_t data_size = ByteCursor(sizes, 4).U32LE();
  const uint64_t data_end = plan.data_size_offset + 4 + data_size;
  if (riff_size == 0 || riff_size + 8 != data_end || plan.data_size <= data_size) return none;

  // 2. Whole frames: a format with a frame size and a byte rate, the data it
  //    declares whole frames, and whole frames after it.
  uint8_t format[kFixedHeadSize - kFormatRatesOffset];
  if (!ReadAt(file, kFormatRatesOffset, format, sizeof format)) return none;
  ByteCursor fields(format, sizeof format);
  const uint32_t bytes_per_sec = fields.U32LE();
  const uint16_t block_align = fields.U16LE();
  const uint64_t tail_bytes = plan.data_size - data_size;
  if (bytes_per_sec == 0 || block_align == 0 || data_size % block_align != 0 || tail_bytes % block_align != 0)
    return none;

  // 3. Nothing another program puts after a WAVE file's data.
  if (ForeignAfterData(file, data_end, length)) return none;
  // 4. Not all zeros.
  if (AllZeros(file, data_end, tail_bytes)) return none;

  RecordingTail tail;
  tail.bytes = static_cast<uint32_t>(tail_bytes);
  tail.bytes_per_sec = bytes_per_sec;
  return tail;
}

TailLength TailLengthShown(const RecordingTail& tail) {
  TailLength shown;
  if (tail.bytes_per_sec == 0) return shown;
  shown.seconds = static_cast<double>(tail.bytes) / tail.bytes_per_sec;
  if (shown.seconds < kShortestTailInSeconds) {
    shown.in_milliseconds = true;
    const uint64_t thousandths = uint64_t{tail.bytes} * 1000 + tail.bytes_per_sec - 1;
    shown.milliseconds = static_cast<unsigned long>(thousandths / tail.bytes_per_sec);
  }
  return shown;
}

bool RepairWaveFile(ByteSource& file, uint64_t length) {
  const RepairPlan plan = PlanWaveRepair(file, length);
  return plan.repairable && WriteU32(file, plan.data_size_offset, plan.data_size) &&
         WriteU32(file, 4, plan.riff_size);
}
