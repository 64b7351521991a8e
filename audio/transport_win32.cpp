// The transport: data areas of a run, control states, priority, pacing, the
// display timer of on-memory runs and the ends of a run.
#include "audio/transport_win32.h"

#include <cstdio>
#include <optional>

#include "audio/transport_internal_win32.h"
#include "audio/transport_math.h"
#include "base/app_state_win32.h"
#include "base/ui_text_win32.h"
#include "base/wait_cursor_win32.h"
#include "meter/level_report_win32.h"
#include "meter/measure_win32.h"
#include "resources/ja_audio.h"
#include "resources/resource_ids.h"
#include "sound_files/current_file_win32.h"

namespace {

constexpr UINT kShareableMemory = GMEM_MOVEABLE | GMEM_DDESHARE;  // 0x2002

bool screensaver_switched_off = false;

bool Active() { return GetActiveWindow() == app.main_window; }

void EnableCommand(UINT id, bool enable) {
  if (app.main_menu) EnableMenuItem(app.main_menu, id, MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED));
}

void EnableButton(HWND button, bool enable) {
  if (button) EnableWindow(button, enable ? TRUE : FALSE);
}

// Unlocks and frees data area i and forgets it.
void ReleaseDataBlock(int i) {
  if (!app.data_handle[i]) return;
  if (app.block_data[i] && GlobalUnlock(app.data_handle[i])) ShowBare("GlobalUnlock");
  if (GlobalFree(app.data_handle[i])) ShowBare("GlobalFree");
  app.data_handle[i] = nullptr;
  app.block_data[i] = nullptr;
}

// A device that was lost before it handed its headers back (Wine: the sound
// server went away, so the reset fails and the close keeps them queued) may
// still hold them. Such a header and its data area are left to it, never
// freed or used again, and the window takes a fresh header in its place; a
// header that cannot be had is reported by the next start (HeaderBlocksReady).
void LeaveHeldBlocksToDevice() {
  for (int i = 0; i < 4; ++i) {
    WAVEHDR* header = app.block_header[i];
    if (!header || !(header->dwFlags & WHDR_INQUEUE)) continue;
    for (int k = 0; k < 4; ++k) {
      // On memory a compressed file's pieces point inside the memory block.
      if (app.block_data[k] && header->lpData >= app.block_data[k] &&
          static_cast<SIZE_T>(header->lpData - app.block_data[k]) < GlobalSize(app.data_handle[k])) {
        app.block_data[k] = nullptr;
        app.data_handle[k] = nullptr;
      }
    }
    app.header_handle[i] = GlobalAlloc(kShareableMemory, sizeof(WAVEHDR));
    app.block_header[i] = app.header_handle[i] ? static_cast<WAVEHDR*>(GlobalLock(app.header_handle[i])) : nullptr;
    if (app.block_header[i]) ZeroMemory(app.block_header[i], sizeof(WAVEHDR));
  }
}

// Closes the input or the output device of the run, which the wave functions
// of its kind are handed: reset, unprepare every header still prepared (so
// no data area is freed while the device can use it), close.
template <typename Device>
void CloseWaveDevice(Device& device, MMRESULT(WINAPI* reset)(Device),
                     MMRESULT(WINAPI* unprepare)(Device, LPWAVEHDR, UINT), MMRESULT(WINAPI* close)(Device)) {
  if (!device) return;
  app.run.Close();  // the notices of the reset are not handled
  reset(device);
  for (WAVEHDR* header : app.block_header) {
    if (header && (header->dwFlags & WHDR_PREPARED)) unprepare(device, header, sizeof(WAVEHDR));
  }
  close(device);
  device = nullptr;
  LeaveHeldBlocksToDevice();
}

void ShutdownPlayback() {
  if (app.buffer_count == ON_MEMORY) KillTimer(app.main_window, kDisplayTimer);
  app.run.Close();
  CloseOutputDevice();
  CloseSoundFile();
  if (app.settings.levelwarning) ShowLevelReport(nullptr);
  FreeDataBlocks();
  app.run.End();
}

void ShutdownRecording() {
  SetRunPriority(0);
  if (app.buffer_count == ON_MEMORY) KillTimer(app.main_window, kDisplayTimer);
  KillTimer(app.main_window, kStopWaitTimer);
  app.run.Close();
  waveInReset(app.wave_in);
  WriteUnreturnedInputBlocks();
  CloseInputDevice();
  if (app.file_mmio) {
    mmioAscend(app.file_mmio, &app.inner_chunk, 0);
    mmioAscend(app.file_mmio, &app.riff_chunk, 0);
  }
  RestoreScreenSaver();
  if (app.settings.levelwarning) ShowLevelReport(nullptr);
  FreeDataBlocks();
  app.run.End();
}

}  // namespace

// ---- shared pieces ----

bool HeaderBlocksReady() {
  for (WAVEHDR* header : app.block_header) {
    if (!header) {
      ShowFailure(PickId(IDS_HEADER_ALLOC_FAILED, ja::audio::kHeaderMissing));
      return false;
    }
  }
  return true;
}

bool IsOwnHeader(const WAVEHDR* header) {
  if (!header) return false;
  for (WAVEHDR* own : app.block_header) {
    if (own == header) return true;
  }
  return false;
}

void SetPauseButtonText(const char* text) {
  if (app.pause_button) SetWindowTextA(app.pause_button, text);
}

void SwitchScreenSaverOff() {
  BOOL active = FALSE;
  SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &active, 0);
  app.saved_screensaver = active;
  SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, FALSE, nullptr, 0);
  screensaver_switched_off = true;
}

void RestoreScreenSaver() {
  if (!screensaver_switched_off) return;
  SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, static_cast<UINT>(app.saved_screensaver), nullptr, 0);
  screensaver_switched_off = false;
}

void CloseInputDevice() { CloseWaveDevice(app.wave_in, waveInReset, waveInUnprepareHeader, waveInClose); }

void CloseOutputDevice() { CloseWaveDevice(app.wave_out, waveOutReset, waveOutUnprepareHeader, waveOutClose); }

void WriteUnreturnedInputBlocks() {
  if (!app.file_mmio) return;
  std::optional<WaitCursor> wait;
  if (app.buffer_count == ON_MEMORY) wait.emplace();
  for (int k = 0; k < 4; ++k) {
    WAVEHDR* header = app.block_header[(app.current_block + k) % 4];
    if (!header || !header->lpData || !(header->dwFlags & WHDR_PREPARED) || header->dwBytesRecorded == 0) continue;
    if (IsPausedBlock(static_cast<uint32_t>(header->dwUser))) continue;
    // On memory only the memory block is sound to keep, not the monitor block.
    if (app.buffer_count == ON_MEMORY && header->lpData != app.block_data[0]) continue;
    const DWORD bytes = FitIntoWaveFile(app.data_count, header->dwBytesRecorded, app.blockalign);
    if (bytes == 0) break;
    const LONG written = mmioWrite(app.file_mmio, header->lpData, static_cast<LONG>(bytes));
    if (written <= 0) break;
    const DWORD whole = WholeBlocks(static_cast<DWORD>(written), app.blockalign);
    if (whole < static_cast<DWORD>(written)) mmioSeek(app.file_mmio, -static_cast<LONG>(written - whole), SEEK_CUR);
    app.data_count += whole;
    if (static_cast<DWORD>(written) != bytes) break;
  }
}

// ---- interface ----

bool ComputeBufferSizes(const FormatRecord* format) {
  BufferSizingInput in;
  in.format_tag = format->wf.wFormatTag;
  in.samples_per_sec = format->wf.nSamplesPerSec;
  in.avg_bytes_per_sec = format->wf.nAvgBytesPerSec;
  in.format_block_align = format->wf.nBlockAlign;
  // nBlockSize sits 6 bytes into the Layer-3 extension, which needs 12 bytes.
  if (app.format_size >= 30 && format->cbSize >= 12) {
    const uint8_t* extension = format->extension;
    in.mpeg_block_size = extension[6] | (extension[7] << 8);
  }
  in.shift_down = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
  in.control_down = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
  in.buffer_count = app.buffer_count;
  in.deltatime = app.settings.deltatime;
  in.data_total = app.data_total;
  in.mem_size = app.settings.MemSize;
  in.windows_version = app.windows_version;
  in.blockalign = app.blockalign;
  in.recording = app.mode == MODE_REC;

  const BufferSizing sizing = ComputeBufferSizing(in);
  switch (sizing.refusal) {
    case SizingRefusal::kNone:
      break;
    case SizingRefusal::kFormat:
      ShowFailure(app.mode == MODE_REC ? PickId(IDS_NO_SUPPORT, ja::audio::kCantRecordFormat)
                                       : PickId(IDS_NO_SUPPORT, ja::audio::kNoPlayDriver));
      return false;
    case SizingRefusal::kDeltatime:
      ShowFailure(Pick(en::audio::kBadDeltatime, ja::audio::kBadDeltatime));
      return false;
    case SizingRefusal::kNoRoom:
      if (app.mode == MODE_REC) {
        ShowFailure(PickId(IDS_DISK_FULL, ja::audio::kDiskFull));
      } else {
        ShowFailure(PickId(IDS_NOT_ENOUGH_MEMORY, ja::audio::kNotEnoughMemory));
      }
      return false;
  }
  app.unit_size = sizing.unit_size;
  app.buffer_size = sizing.buffer_size;
  app.blockalign = sizing.blockalign;
  return true;
}

bool AllocateDataBlocks() {
  const bool on_memory = app.buffer_count == ON_MEMORY;
  const int count = on_memory ? 2 : 4;
  std::optional<WaitCursor> wait;
  if (on_memory) wait.emplace();
  for (int i = 0; i < count; ++i) {
    const DWORD size = (on_memory && i == 1) ? app.unit_size : app.buffer_size;
    HGLOBAL handle = GlobalAlloc(kShareableMemory, size);
    char* data = handle ? static_cast<char*>(GlobalLock(handle)) : nullptr;
    if (!data) {
      if (!handle) {
        ShowFailure(PickId(IDS_NOT_ENOUGH_MEMORY, ja::audio::kNotEnoughMemory));
      } else {
        char format[256];
        lstrcpynA(format, PickId(IDS_DATA_LOCK_FAILED, ja::audio::kDataLockFailed), sizeof format);
        char text[300];
        snprintf(text, sizeof text, format, i, static_cast<long>(app.buffer_size));
        ShowFailure(text);
        GlobalFree(handle);
      }
      for (int k = i - 1; k >= 0; --k) ReleaseDataBlock(k);
      return false;
    }
    app.data_handle[i] = handle;
    app.block_data[i] = data;
    FillSilence(i, size);
  }
  return true;
}

void FreeDataBlocks() {
  for (int i = 0; i < 4; ++i) ReleaseDataBlock(i);
}

void SetRunControls(int enable) {
  EnableButton(app.stop_button, enable);
  EnableButton(app.pause_button, enable);
  EnableCommand(IDM_STOP, enable);
  EnableCommand(IDM_PAUSE, enable);
  if (enable && Active() && app.pause_button) SetFocus(app.pause_button);
}

void SetIdleControls(int enable) {
  if (enable) {
    if (app.mode == MODE_PLAY) {
      if (app.play_button) SetWindowTextA(app.play_button, Pick(en::audio::kPlay, ja::audio::kPlay));
    } else {
      EnableButton(app.pause_button, true);
      EnableCommand(IDM_PAUSE, true);
    }
  }
  EnableButton(app.play_button, enable);
  if (enable && Active() && app.play_button) SetFocus(app.play_button);
  EnableCommand(IDM_START, enable);
  EnableCommand(IDM_OPTION, enable);
  // Without an output device there is nothing to open files for.
  const bool can_play = waveOutGetNumDevs() > 0;
  EnableCommand(IDM_OPEN, enable && can_play);
  if (app.main_window) DragAcceptFiles(app.main_window, (enable && can_play) ? TRUE : FALSE);
  EnableCommand(IDM_NEW, enable && app.wave_in_devices > 0);
  if (app.mode == MODE_PLAY) EnableCommand(IDM_INFO, enable);
}

void SetRunPriority(int raise) {
  SetPriorityClass(GetCurrentProcess(), raise ? REALTIME_PRIORITY_CLASS : NORMAL_PRIORITY_CLASS);
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_NORMAL);
}

void PaceBuffer(DWORD minimum_ms) {
  DWORD now = timeGetTime();
  while (now - app.pacing_mark < minimum_ms) {
    Sleep(1);
    now = timeGetTime();
  }
  app.pacing_mark = now;
}

void StartDisplayTimer() {
  app.timer_interval = DisplayTimerInterval(app.settings.deltatime, app.khz);
  SetTimer(app.main_window, kDisplayTimer, app.timer_interval, nullptr);
  app.run_start_time = app.pause_time = timeGetTime();
}

void EndRun() {
  SetRunControls(0);
  FreeDataBlocks();
  if (app.mode == MODE_REC && app.run.active()) RestoreScreenSaver();
  app.run.End();
  // A run that ended while paused leaves no "Cont" behind for the next one.
  SetPauseButtonText(en::audio::kPause);
  if (app.file_mmio) {
    mmioAscend(app.file_mmio, &app.inner_chunk, 0);
    mmioAscend(app.file_mmio, &app.riff_chunk, 0);
    CloseSoundFile();
  }
  if (app.mode != MODE_REC) {
    SetIdleControls(1);
    return;
  }
  if (app.data_count == 0) {
    RemoveEmptyFile();
  } else {
    app.mode = MODE_PLAY;
    app.data_total = app.data_count;
  }
  SetIdleControls(1);
}

void AbandonTransport() {
  if (!app.file_mmio) return;
  CloseSoundFile();
  if (app.mode == MODE_REC && app.data_count == 0) RemoveEmptyFile();
  if (app.mode == MODE_PLAY) CloseOutputDevice();
  if (app.mode == MODE_REC) CloseInputDevice();
  SetRunPriority(0);
}

void RemoveEmptyFile() {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(app.file_name, GetFileExInfoStandard, &data)) return;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return;
  const int64_t size = (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  if (IsEmptyRecordingFile(size)) DeleteFileA(app.file_name);
}

void ShutdownTransport() {
  if (app.wave_out && app.mode == MODE_PLAY && app.run.active()) {
    ShutdownPlayback();
  } else if (app.wave_in && app.mode == MODE_REC && app.run.active()) {
    ShutdownRecording();
  }
  AbandonTransport();
}
