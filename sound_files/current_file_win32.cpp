// The current file's handle and its format record in memory.
#include "sound_files/current_file_win32.h"

#include "base/app_state_win32.h"
#include "base/ui_text_win32.h"
#include "meter/status_win32.h"
#include "resources/ja_sound_files.h"
#include "resources/resource_ids.h"

namespace jf = ja::files;

namespace {

// The memory of the format record pFormat.
HLOCAL format_handle = nullptr;

CurrentFile state;

}  // namespace

const CurrentFile& current_file = state;

CurrentFile& OwnedCurrentFile() { return state; }

void NameCurrentFile(const char* name) { lstrcpynA(state.file_name, name, sizeof state.file_name); }

void TakeCurrentFormat() {
  if (state.pFormat == nullptr) return;
  state.format = CurrentFormatOf(reinterpret_cast<const uint8_t*>(state.pFormat), state.format_size);
  ShowNewFormat(state.format);
}

bool HasCurrentFormat() { return state.format.rate != 0; }

void ForgetCurrentFormat() {
  state.format = CurrentFormat();
  ShowNewFormat(state.format);
}

void CloseSoundFile() {
  if (current_file.file_mmio) mmioClose(current_file.file_mmio, 0);
  OwnedCurrentFile().file_mmio = nullptr;
}

WORD AllocFormatRecord(WORD size) {
  FreeFormatRecord();
  // The block is never shorter than the fields every reader may look at, and
  // zeroed, so a short chunk's missing fields (bits, cbSize) read as 0.
  const UINT bytes = size < sizeof(FormatRecord) ? sizeof(FormatRecord) : size;
  format_handle = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, bytes);
  if (!format_handle) {
    ShowFailure(PickId(IDS_NO_MEMORY, jf::kRecordNoMemory));
    CloseSoundFile();
    return 0;
  }
  OwnedCurrentFile().pFormat = static_cast<FormatRecord*>(LocalLock(format_handle));
  if (!current_file.pFormat) {
    LocalFree(format_handle);
    format_handle = nullptr;
    ShowFailure(PickId(IDS_MEMORY_LOCK_FAILED, jf::kRecordLockFailed));
    CloseSoundFile();
    return 0;
  }
  OwnedCurrentFile().format_size = size;
  return size;
}

void FreeFormatRecord() {
  if (format_handle) {
    LocalUnlock(format_handle);
    LocalFree(format_handle);
  }
  format_handle = nullptr;
  OwnedCurrentFile().pFormat = nullptr;
  OwnedCurrentFile().format_size = 0;
}

void CountSoundTaken(DWORD bytes) { state.data_count -= bytes; }

void EndSoundData() { state.data_count = 0; }

void CountSoundWritten(DWORD bytes) { state.data_count += bytes; }

void SetRecordingCapacity(DWORD bytes) { state.data_total = bytes; }

void TakeRecordingForPlay() { state.data_total = state.data_count; }

void CloseFileChunks() {
  mmioAscend(state.file_mmio, &state.inner_chunk, 0);
  mmioAscend(state.file_mmio, &state.riff_chunk, 0);
}

void RefreshFileCapacity(bool recording) {
  CapacityFigures figures;
  figures.BytesPerSec = state.format.BytesPerSec;
  figures.recording = recording;
  figures.free_room = state.free_room;
  figures.data_total = state.data_total;
  RefreshCapacity(figures, state.format.sample_class);
}
