// The current file's handle and its format record in memory.
#include "sound_files/current_file_win32.h"

#include "base/app_state_win32.h"
#include "base/ui_text_win32.h"
#include "resources/ja_sound_files.h"
#include "resources/resource_ids.h"

namespace jf = ja::files;

void CloseSoundFile() {
  if (app.file_mmio) mmioClose(app.file_mmio, 0);
  app.file_mmio = nullptr;
}

WORD AllocFormatRecord(WORD size) {
  FreeFormatRecord();
  // The block is never shorter than the fields every reader may look at, and
  // zeroed, so a short chunk's missing fields (bits, cbSize) read as 0.
  const UINT bytes = size < sizeof(FormatRecord) ? sizeof(FormatRecord) : size;
  app.hFormat = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, bytes);
  if (!app.hFormat) {
    ShowFailure(PickId(IDS_NO_MEMORY, jf::kRecordNoMemory));
    CloseSoundFile();
    return 0;
  }
  app.pFormat = static_cast<FormatRecord*>(LocalLock(app.hFormat));
  if (!app.pFormat) {
    LocalFree(app.hFormat);
    app.hFormat = nullptr;
    ShowFailure(PickId(IDS_MEMORY_LOCK_FAILED, jf::kRecordLockFailed));
    CloseSoundFile();
    return 0;
  }
  app.format_size = size;
  return size;
}

void FreeFormatRecord() {
  if (app.hFormat) {
    LocalUnlock(app.hFormat);
    LocalFree(app.hFormat);
  }
  app.hFormat = nullptr;
  app.pFormat = nullptr;
  app.format_size = 0;
}
