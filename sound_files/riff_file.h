// The open sound file seen as RIFF chunks: a ByteSource that can also enter
// and leave chunks, keeping two chunk descriptors (the RIFF chunk and one
// inner chunk, used in turn for "fmt " and "data"). The Windows side carries
// it on the multimedia file functions; MemoryRiffFile serves tests and fuzzing.
//
// This is also the program's one chunk walk, used by the open, the repair and
// the information dialogs. It goes forward only, from one header to the next
// (header, size, pad byte for an odd size), and never past the end of the
// file, so that no size field can send it backwards or round in circles; the
// file itself is only asked to enter a chunk whose header is at the position.
//
// The rule for the RIFF size: opening a file for play searches its chunks up
// to the end of the file, whatever the RIFF size says (other recorders leave
// it stale, and the data chunk's size decides what plays); a size of 0 never
// gets that far: such a file is offered for repair. Where the structure as
// the file declares it is shown (the detail dialog), the walk ends at the end
// of the RIFF chunk or of the file, whichever comes first, except that a RIFF
// size too small to hold the form type and one chunk header (below 12) is
// known to be wrong and bounds nothing (RiffWalkEnd).
#pragma once
#include <cstdint>

#include "sound_files/byte_source.h"

// A chunk header as the walk reads it.
struct ChunkHeader {
  uint32_t id = 0;
  uint32_t size = 0;
  uint64_t offset = 0;  // of the header
  uint64_t DataOffset() const { return offset + 8; }
  // The next header: past the data and the pad byte after an odd size.
  uint64_t Next() const { return offset + 8 + size + (size & 1u); }
};

// Reads the 8-byte header at `offset`; false when fewer than 8 bytes remain.
bool ReadChunkHeader(ByteSource& file, uint64_t offset, ChunkHeader& header);

// Where the walk inside a RIFF chunk of riff_size bytes, whose header is at
// riff_offset, ends (the rule above).
uint64_t RiffWalkEnd(uint64_t riff_offset, uint32_t riff_size, uint32_t file_size);

// Walks the headers from `offset` up to `end` until one has identifier `id`.
// False when none does, or a header cannot be read.
bool FindChunk(ByteSource& file, uint64_t offset, uint64_t end, uint32_t id, ChunkHeader& found);

struct ChunkInfo {
  uint32_t id = 0;
  uint32_t size = 0;
  uint32_t form_type = 0;    // RIFF and LIST chunks only
  uint32_t data_offset = 0;  // first byte after the size field
};

enum ChunkSlot { RIFF_SLOT = 0, INNER_SLOT = 1 };

class RiffFile : public ByteSource {
 public:
  // Enters the chunk whose header starts at the current position and has the
  // identifier `id` (the caller has checked it), filling the slot. Afterwards
  // the position is the chunk's first data byte, or for "RIFF" the byte after
  // the form type. False when the chunk cannot be entered.
  virtual bool Descend(ChunkSlot slot, uint32_t id) = 0;
  // Leaves the slot's chunk: the position moves past its data and pad byte.
  virtual bool Ascend(ChunkSlot slot) = 0;
  virtual ChunkInfo Chunk(ChunkSlot slot) = 0;
};

// Finds the first RIFF chunk at the top level, searching from the start of
// the file, and enters it (RIFF_SLOT). False when there is none.
bool DescendToRiff(RiffFile& file);
// Finds the chunk `id` inside the entered RIFF chunk, searching from the
// present position up to the end of the file (the rule above), and enters it
// (INNER_SLOT). False when there is none.
bool DescendToChunk(RiffFile& file, uint32_t id);

// A RiffFile over bytes in memory (not copied).
class MemoryRiffFile : public RiffFile {
 public:
  MemoryRiffFile(const uint8_t* data, size_t size) : source_(data, size) {}
  uint32_t Read(void* buffer, uint32_t count) override { return source_.Read(buffer, count); }
  bool Seek(uint32_t offset) override { return source_.Seek(offset); }
  uint32_t Position() override { return source_.Position(); }
  uint32_t Size() override { return source_.Size(); }
  bool Descend(ChunkSlot slot, uint32_t id) override;
  bool Ascend(ChunkSlot slot) override;
  ChunkInfo Chunk(ChunkSlot slot) override { return chunks_[slot]; }

 private:
  MemorySource source_;
  ChunkInfo chunks_[2];
};
