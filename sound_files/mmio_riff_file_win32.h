// The current file (file_mmio) as a RiffFile for the portable parsers: reads
// and seeks through mmioRead/mmioSeek, and enters and leaves chunks with
// mmioDescend/mmioAscend into current_file.riff_chunk and current_file.inner_chunk.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include "sound_files/riff_file.h"

class MmioRiffFile : public RiffFile {
 public:
  // `name` is the file's name, for its size.
  MmioRiffFile(HMMIO file, const char* name) : file_(file), name_(name) {}
  uint32_t Read(void* buffer, uint32_t count) override;
  bool Seek(uint32_t offset) override;
  uint32_t Position() override;
  uint32_t Size() override;
  bool Descend(ChunkSlot slot, uint32_t id) override;
  bool Ascend(ChunkSlot slot) override;
  ChunkInfo Chunk(ChunkSlot slot) override;

 private:
  HMMIO file_;
  const char* name_;
};
