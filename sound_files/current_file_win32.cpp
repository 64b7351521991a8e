// The current file's handle and its format record in memory.
#include "sound_files/current_file_win32.h"

#include "base/app_state_win32.h"
#include "base/ui_text_win32.h"
#include "meter/status_win32.h"
#include "resources/ja_sound_files.h"
#include "resources/resource_ids.h"

namespace jf = ja::files;

namespace {

CurrentFile state;

// The one place the current format is written (TakeCurrentFormat,
// ForgetCurrentFormat and WithholdByteRate come here).
void WriteCurrentFormat(const CurrentFormat& format) { state.format = format; }

}  // namespace

const CurrentFile& current_file = state;

CurrentFile& OwnedCurrentFile() { return state; }

void NameCurrentFile(const char* name) { lstrcpynA(state.file_name, name, sizeof state.file_name); }

void TakeCurrentFormat() {
  if (state.pFormat == nullptr) return;
  WriteCurrentFormat(CurrentFormatOf(reinterpret_cast<const uint8_t*>(state.pFormat), state.format_size));
  ShowNewFormat(state.format);
}

bool HasCurrentFormat() { return state.format.rate != 0; }

void ForgetCurrentFormat() {
  WriteCurrentFormat(CurrentFormat());
  ShowNewFormat(state.format);
}

void WithholdByteRate() {
  CurrentFormat opening = state.format;
  opening.BytesPerSec = 0;
  WriteCurrentFormat(opening);
}

LONG ReadSoundData(char* into, LONG bytes) { return mmioRead(state.file_mmio, into, bytes); }

void CloseSoundFile() {
  if (state.file_mmio) mmioClose(state.file_mmio, 0);
  state.file_mmio = nullptr;
}

WORD AllocFormatRecord(WORD size) {
  FreeFormatRecord();
  // The block is never shorter than the fields every reader may look at, and
  // zeroed, so a short chunk's missing fields (bits, cbSize) read as 0.
  const UINT bytes = size < sizeof(FormatRecord) ? sizeof(FormatRecord) : size;
  state.format_handle = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, bytes);
  if (!state.format_handle) {
    ShowFailure(PickId(IDS_NO_MEMORY, jf::kRecordNoMemory));
    CloseSoundFile();
    return 0;
  }
  state.pFormat = static_cast<FormatRecord*>(LocalLock(state.format_handle));
  if (!state.pFormat) {
    LocalFree(state.format_handle);
    state.format_handle = nullptr;
    ShowFailure(PickId(IDS_MEMORY_LOCK_FAILED, jf::kRecordLockFailed));
    CloseSoundFile();
    return 0;
  }
  state.format_size = size;
  return size;
}

void FreeFormatRecord() {
  if (state.format_handle) {
    LocalUnlock(state.format_handle);
    LocalFree(state.format_handle);
  }
  state.format_handle = nullptr;
  state.pFormat = nullptr;
  state.format_size = 0;
}

void CountSoundTaken(DWORD bytes) { state.data_count -= bytes; }

void EndSoundData() { state.data_count = 0; }

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
