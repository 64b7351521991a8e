#include "sound_files/riff_file.h"

namespace {

constexpr uint32_t kRiff = FourCC("RIFF");
constexpr uint32_t kList = FourCC("LIST");

// Reads the 8-byte header at `offset`; false when fewer than 8 bytes remain.
bool ReadChunkHeader(RiffFile& file, uint64_t offset, uint32_t& id, uint32_t& size) {
  uint8_t bytes[8];
  if (offset > 0xFFFFFFFFu || !file.Seek(static_cast<uint32_t>(offset)) || !ReadExact(file, bytes, 8)) return false;
  ByteCursor cursor(bytes, sizeof bytes);
  id = cursor.U32LE();
  size = cursor.U32LE();
  return cursor.ok();
}

// Walks the chunks from `offset`, each step moving forward by its header, its
// size and a pad byte for odd sizes, until one has identifier `id`; positions
// the file at that header. The walk ends at the end of the file.
bool FindChunkFrom(RiffFile& file, uint64_t offset, uint32_t wanted, uint32_t minimum_size) {
  const uint64_t length = file.Size();
  while (offset + minimum_size <= length) {
    uint32_t id = 0, size = 0;
    if (!ReadChunkHeader(file, offset, id, size)) return false;
    if (id == wanted) return file.Seek(static_cast<uint32_t>(offset));
    offset += 8ull + size + (size & 1u);
  }
  return false;
}

}  // namespace

bool DescendToRiff(RiffFile& file) {
  // A RIFF header needs its form type too: 12 bytes.
  return FindChunkFrom(file, 0, kRiff, 12) && file.Descend(RIFF_SLOT, kRiff);
}

bool DescendToChunk(RiffFile& file, uint32_t id) {
  // The RIFF size is not trusted as a bound: a wrong one must not hide the
  // chunks after it (a size of 0 never gets here, it is offered for repair).
  return FindChunkFrom(file, file.Position(), id, 8) && file.Descend(INNER_SLOT, id);
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
