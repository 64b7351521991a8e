#include "sound_files/mmio_riff_file_win32.h"

#include "base/app_state_win32.h"
#include "base/file_names_win32.h"
#include "sound_files/current_file_win32.h"

namespace {

MMCKINFO& SlotChunk(ChunkSlot slot) { return slot == RIFF_SLOT ? OwnedCurrentFile().riff_chunk : OwnedCurrentFile().inner_chunk; }

}  // namespace

uint32_t MmioRiffFile::Read(void* buffer, uint32_t count) {
  if (count > 0x7FFFFFFFu) count = 0x7FFFFFFFu;
  const LONG n = mmioRead(file_, static_cast<HPSTR>(buffer), static_cast<LONG>(count));
  return n > 0 ? static_cast<uint32_t>(n) : 0;
}

bool MmioRiffFile::Seek(uint32_t offset) {
  if (offset > 0x7FFFFFFFu) return false;
  return mmioSeek(file_, static_cast<LONG>(offset), SEEK_SET) != -1;
}

uint32_t MmioRiffFile::Position() {
  const LONG position = mmioSeek(file_, 0, SEEK_CUR);
  return position > 0 ? static_cast<uint32_t>(position) : 0;
}

uint32_t MmioRiffFile::Size() {
  // mmioSeek counts in LONG, so from 2 GB on the end of the file is past what
  // it can tell; the file system knows. Beyond 4 GB only the first 4 GB count,
  // as data lengths are 32-bit.
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (name_ && FileAttributesNamed(name_, data))
    return data.nFileSizeHigh != 0 ? 0xFFFFFFFFu : data.nFileSizeLow;
  const LONG position = mmioSeek(file_, 0, SEEK_CUR);
  const LONG end = mmioSeek(file_, 0, SEEK_END);
  mmioSeek(file_, position, SEEK_SET);
  return end > 0 ? static_cast<uint32_t>(end) : 0;
}

bool MmioRiffFile::Descend(ChunkSlot slot, uint32_t id) {
  MMCKINFO& chunk = SlotChunk(slot);
  chunk = MMCKINFO();
  // The chunk's header is at the position (the portable walk found it), so the
  // search ends at once; no parent is given because a wrong RIFF size must
  // not hide the chunk.
  if (slot == RIFF_SLOT) {
    chunk.fccType = 0;  // any form type, read back
    return mmioDescend(file_, &chunk, nullptr, MMIO_FINDRIFF) == MMSYSERR_NOERROR;
  }
  chunk.ckid = id;
  return mmioDescend(file_, &chunk, nullptr, MMIO_FINDCHUNK) == MMSYSERR_NOERROR;
}

bool MmioRiffFile::Ascend(ChunkSlot slot) { return mmioAscend(file_, &SlotChunk(slot), 0) == MMSYSERR_NOERROR; }

ChunkInfo MmioRiffFile::Chunk(ChunkSlot slot) {
  const MMCKINFO& chunk = SlotChunk(slot);
  ChunkInfo info;
  info.id = chunk.ckid;
  info.size = chunk.cksize;
  info.form_type = chunk.fccType;
  info.data_offset = chunk.dwDataOffset;
  return info;
}
