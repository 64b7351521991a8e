// The current file's handle and its format record in memory.
#include "sound_files/current_file_win32.h"

#include "base/app_state_win32.h"
#include "base/ui_text_win32.h"
#include "meter/measure_win32.h"
#include "meter/status_text.h"
#include "meter/status_win32.h"
#include "resources/ja_sound_files.h"
#include "resources/resource_ids.h"

namespace jf = ja::files;

namespace {

// The memory of the format record app.pFormat.
HLOCAL format_handle = nullptr;

}  // namespace

void TakeCurrentFormat(const FormatRecord* format) {
  if (format == nullptr) return;
  // A record of 14 bytes ends before the bits per sample; AllocFormatRecord
  // zero-fills past it, so they read 0.
  const DisplayFormat d = MakeDisplayFormat(format->wf.wFormatTag, format->wf.nChannels, format->wf.nSamplesPerSec,
                                            format->wf.nAvgBytesPerSec, format->wf.nBlockAlign, format->wBitsPerSample);
  app.BytesPerSec = d.BytesPerSec;
  app.blockalign = d.blockalign;
  app.khz = d.khz;
  app.channels = d.channels;
  app.sample_bits = d.sample_bits;
  app.format_tag = d.format_tag;
  app.meter.sample_class = d.sample_class;
  SetMeterFormat(format, app.format_size);
  ShowNewFormat();
}

void CloseSoundFile() {
  if (app.file_mmio) mmioClose(app.file_mmio, 0);
  app.file_mmio = nullptr;
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
  app.pFormat = static_cast<FormatRecord*>(LocalLock(format_handle));
  if (!app.pFormat) {
    LocalFree(format_handle);
    format_handle = nullptr;
    ShowFailure(PickId(IDS_MEMORY_LOCK_FAILED, jf::kRecordLockFailed));
    CloseSoundFile();
    return 0;
  }
  app.format_size = size;
  return size;
}

void FreeFormatRecord() {
  if (format_handle) {
    LocalUnlock(format_handle);
    LocalFree(format_handle);
  }
  format_handle = nullptr;
  app.pFormat = nullptr;
  app.format_size = 0;
}
