#include "sound_files/riff_file.h"

namespace {

constexpr uint32_t kRiff = FourCC("RIFF");
constexpr uint32_t kList = FourCC("LIST");
// "RIFF", its size and the form type.
constexpr uint32_t kRiffHeaderSize = 12;

}  // namespace

bool ReadChunkHeader(ByteSource& file, uint64_t offset, ChunkHeader& header) {
  uint8_t bytes[8];
  if (!ReadAt(file, offset, bytes, sizeof bytes)) return false;
  ByteCursor cursor(bytes, sizeof bytes);
  header.id = cursor.U32LE();
  header.size = cursor.U32LE();
  header.offset = offset;
  return cursor.ok();
}

uint64_t RiffWalkEnd(uint64_t riff_offset, uint32_t riff_size, uint32_t file_size) {
  if (riff_size < kRiffHeaderSize) return file_size;
  const uint64_t riff_end = riff_offset + 8 + riff_size;
  return riff_end < file_size ? riff_end : file_size;
}

bool FindChunk(ByteSource& file, uint64_t offset, uint64_t end, uint32_t id, ChunkHeader& found) {
  while (offset + 8 <= end) {
    if (!ReadChunkHeader(file, offset, found)) return false;
    if (found.id == id) return true;
    offset = found.Next();
  }
  return false;
}

bool DescendToRiff(RiffFile& file) {
  // At the top level there is no RIFF size yet: the file's end bounds the
  // search, and a RIFF header needs its form type too.
  ChunkHeader riff;
  return FindChunk(file, 0, file.Size(), kRiff, riff) && riff.offset + kRiffHeaderSize <= file.Size() &&
         file.Seek(static_cast<uint32_t>(riff.offset)) && file.Descend(RIFF_SLOT, kRiff);
}

bool DescendToChunk(RiffFile& file, uint32_t id) {
  ChunkHeader chunk;
  return FindChunk(file, file.Position(), file.Size(), id, chunk) && file.Seek(static_cast<uint32_t>(chunk.offset)) &&
         file.Descend(INNER_SLOT, id);
}

bool MemoryRiffFile::Descend(ChunkSlot slot, uint32_t id) {
  const uint32_t start = source_.Position();
  uint8_t bytes[12];
  const bool with_type = id == kRiff || id == kList;
  if (!ReadExact(source_, bytes, with_type ? 12 : 8)) return false;
  ByteCursor cursor(bytes, with_type ? 12 : 8);
  ChunkInfo chunk;
  chunk.id = cursor.U32LE();
  chunk.size = cursor.U32LE();
  chunk.form_type = with_type ? cursor.U32LE() : 0;
  chunk.data_offset = start + 8;
  if (!cursor.ok() || chunk.id != id) return false;
  chunks_[slot] = chunk;
  return true;
}

bool MemoryRiffFile::Ascend(ChunkSlot slot) {
  const ChunkInfo& chunk = chunks_[slot];
  const uint64_t end = static_cast<uint64_t>(chunk.data_offset) + chunk.size + (chunk.size & 1u);
  return source_.Seek(end > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(end));
}
