// The transport: data areas of a run, control states, priority, pacing, the
// display timer of on-memory runs and the ends of a run.
#include "audio/transport_win32.h"

#include <cstdio>
#include <optional>
#include <string>

#include "audio/converted_output_win32.h"
#include "audio/transport_internal_win32.h"
#include "audio/transport_math.h"
#include "audio/run_display_win32.h"
#include "audio/transport_state_win32.h"
#include "base/app_state_win32.h"
#include "base/file_names_win32.h"
#include "base/ui_text_win32.h"
#include "base/wait_cursor_win32.h"
#include "meter/decoded_levels_win32.h"
#include "meter/level_report_win32.h"
#include "meter/measure_win32.h"
#include "meter/status_win32.h"
#include "resources/ja_audio.h"
#include "resources/resource_ids.h"
#include "sound_files/current_file_win32.h"
#include "sound_files/recording_file_win32.h"
#include "sound_files/repair_win32.h"

namespace {

constexpr UINT kShareableMemory = GMEM_MOVEABLE | GMEM_DDESHARE;  // 0x2002

bool Active() { return GetActiveWindow() == app.main_window; }

void EnableCommand(UINT id, bool enable) {
  if (app.main_menu) EnableMenuItem(app.main_menu, id, MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED));
}

void EnableButton(HWND button, bool enable) {
  if (button) EnableWindow(button, enable ? TRUE : FALSE);
}

// Unlocks and frees data area i and forgets it.
void ReleaseDataBlock(int i) {
  RunRecord& run = OwnedRun();
  if (!run.data_handle[i]) return;
  if (run.block_data[i] && GlobalUnlock(run.data_handle[i])) ShowBare("GlobalUnlock");
  if (GlobalFree(run.data_handle[i])) ShowBare("GlobalFree");
  run.data_handle[i] = nullptr;
  run.block_data[i] = nullptr;
}

// A device that was lost before it handed its headers back (Wine: the sound
// server went away, so the reset fails and the close keeps them queued) may
// still hold them. Such a header and its data area are left to it, never
// freed or used again; the next start makes a fresh header in its place
// (AllocateHeaderBlocks), and tries again at every start until it has one.
void LeaveHeldBlocksToDevice() {
  TransportState& owned = OwnedTransport();
  RunRecord& run = owned.run;
  for (int i = 0; i < kBlockCount; ++i) {
    WAVEHDR* header = owned.block_header[i];
    if (!header || !(header->dwFlags & WHDR_INQUEUE)) continue;
    for (int k = 0; k < kBlockCount; ++k) {
      // On memory a compressed file's pieces point inside the memory block.
      if (run.block_data[k] && header->lpData >= run.block_data[k] &&
          static_cast<SIZE_T>(header->lpData - run.block_data[k]) < GlobalSize(run.data_handle[k])) {
        run.block_data[k] = nullptr;
        run.data_handle[k] = nullptr;
      }
    }
    owned.header_handle[i] = nullptr;
    owned.block_header[i] = nullptr;
  }
}

// Closes the input or the output device of the run, which the wave functions
// of its kind are handed: reset, unprepare every header still prepared (so
// no data area is freed while the device can use it), close.
template <typename Device>
void CloseWaveDevice(Device& device, MMRESULT(WINAPI* reset)(Device),
                     MMRESULT(WINAPI* unprepare)(Device, LPWAVEHDR, UINT), MMRESULT(WINAPI* close)(Device)) {
  if (!device) return;
  OwnedRun().Close();  // the notices of the reset are not handled
  reset(device);
  for (WAVEHDR* header : transport.block_header) {
    if (header && (header->dwFlags & WHDR_PREPARED)) unprepare(device, header, sizeof(WAVEHDR));
  }
  close(device);
  device = nullptr;
  LeaveHeldBlocksToDevice();
}

void CloseInputDevice() { CloseWaveDevice(OwnedRun().wave_in, waveInReset, waveInUnprepareHeader, waveInClose); }

// Writes what the input device captured into blocks whose notices the run
// will not handle (handed back by a stop's reset, or kept by a lost device),
// oldest first, whole frames only, on into the next file of the series as
// any block; none that was queued while paused or on standby. The reset
// first makes the device hand back what it still fills. A write that fails
// (or a next file that cannot be made) ends the writing: its text to show.
std::string WriteHeldInputBlocks() {
  std::string failure;
  const RunRecord& run = transport.run;
  if (!run.wave_in || !current_file.file_mmio) return failure;
  waveInReset(run.wave_in);
  std::optional<WaitCursor> wait;
  if (run.buffer_count == ON_MEMORY) wait.emplace();
  for (int k = 0; k < kBlockCount; ++k) {
    WAVEHDR* header = transport.block_header[(run.current_block + k) % kBlockCount];
    if (!header || !header->lpData || !(header->dwFlags & WHDR_PREPARED) || header->dwBytesRecorded == 0) continue;
    if (IsPausedBlock(static_cast<uint32_t>(header->dwUser))) continue;
    // On memory only the memory block is sound to keep, not the monitor block.
    if (run.buffer_count == ON_MEMORY && header->lpData != run.block_data[kMemoryBlock]) continue;
    RecordingWrite write = WriteRecordedSound(header->lpData, header->dwBytesRecorded);
    if (!write.whole) {
      failure = write.failure;
      break;
    }
  }
  MainWindowDc dc;
  ShowRunPosition(dc.get());
  return failure;
}

// Closes the current file; a recording's chunks are closed first, which
// writes their sizes.
void CloseRunFile() {
  if (!current_file.file_mmio) return;
  if (transport.mode == MODE_REC) {
    CloseFileChunks();
  }
  CloseSoundFile();
}

void RestoreScreenSaver() {
  RunRecord& run = OwnedRun();
  if (!run.screensaver_switched_off) return;
  SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, static_cast<UINT>(run.saved_screensaver), nullptr, 0);
  run.screensaver_switched_off = false;
}

}  // namespace

void CloseOutputDevice() {
  CloseWaveDevice(OwnedRun().wave_out, waveOutReset, waveOutUnprepareHeader, waveOutClose);
  CloseConvertedOutput();
}

// ---- shared pieces ----

bool AllocateHeaderBlocks() {
  TransportState& owned = OwnedTransport();
  for (int i = 0; i < kBlockCount; ++i) {
    if (owned.block_header[i]) continue;
    HGLOBAL handle = GlobalAlloc(kShareableMemory, sizeof(WAVEHDR));
    if (!handle) {
      ShowFailure(PickId(IDS_HEADER_ALLOC_FAILED, ja::audio::kHeaderAllocFailed));
      return false;
    }
    auto* header = static_cast<WAVEHDR*>(GlobalLock(handle));
    if (!header) {
      GlobalFree(handle);
      ShowFailure(PickId(IDS_HEADER_LOCK_FAILED, ja::audio::kHeaderLockFailed));
      return false;
    }
    ZeroMemory(header, sizeof(WAVEHDR));
    owned.header_handle[i] = handle;
    owned.block_header[i] = header;
  }
  return true;
}

void FreeHeaderBlocks() {
  TransportState& owned = OwnedTransport();
  for (int i = 0; i < kBlockCount; ++i) {
    if (owned.header_handle[i]) {
      if (owned.block_header[i]) GlobalUnlock(owned.header_handle[i]);
      GlobalFree(owned.header_handle[i]);
    }
    owned.header_handle[i] = nullptr;
    owned.block_header[i] = nullptr;
  }
}

bool IsOwnHeader(const WAVEHDR* header) {
  if (!header) return false;
  for (WAVEHDR* own : transport.block_header) {
    if (own == header) return true;
  }
  return false;
}

void SetPauseButtonText(const char* text) {
  if (app.pause_button) SetWindowTextA(app.pause_button, text);
}

void SwitchScreenSaverOff() {
  RunRecord& run = OwnedRun();
  BOOL active = FALSE;
  SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &active, 0);
  run.saved_screensaver = active;
  SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, FALSE, nullptr, 0);
  run.screensaver_switched_off = true;
}

// ---- interface ----

bool ComputeBufferSizes(const FormatRecord* format) {
  RunRecord& run = OwnedRun();
  BufferSizingInput in;
  in.format_tag = format->wf.wFormatTag;
  in.samples_per_sec = format->wf.nSamplesPerSec;
  in.avg_bytes_per_sec = format->wf.nAvgBytesPerSec;
  in.format_block_align = format->wf.nBlockAlign;
  // nBlockSize sits 6 bytes into the Layer-3 extension, which needs 12 bytes.
  if (current_file.format_size >= 30 && format->cbSize >= 12) {
    const uint8_t* extension = format->extension;
    in.mpeg_block_size = extension[6] | (extension[7] << 8);
  }
  in.shift_down = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
  in.control_down = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
  in.buffer_count = run.buffer_count;
  in.deltatime = app.settings.deltatime;
  in.data_total = current_file.data_total;
  in.mem_size = app.settings.MemSize;
  in.windows_version = app.windows_version;
  in.blockalign = static_cast<int16_t>(format->wf.nBlockAlign);
  in.recording = transport.mode == MODE_REC;

  const BufferSizing sizing = ComputeBufferSizing(in);
  switch (sizing.refusal) {
    case SizingRefusal::kNone:
      break;
    case SizingRefusal::kFormat:
      ShowFailure(transport.mode == MODE_REC ? PickId(IDS_NO_SUPPORT, ja::audio::kCantRecordFormat)
                                       : PickId(IDS_NO_SUPPORT, ja::audio::kNoPlayDriver));
      return false;
    case SizingRefusal::kDeltatime:
      ShowFailure(Pick(en::audio::kBadDeltatime, ja::audio::kBadDeltatime));
      return false;
    case SizingRefusal::kNoRoom:
      if (transport.mode == MODE_REC) {
        ShowFailure(PickId(IDS_DISK_FULL, ja::audio::kDiskFull));
      } else {
        ShowFailure(PickId(IDS_NOT_ENOUGH_MEMORY, ja::audio::kNotEnoughMemory));
      }
      return false;
  }
  // The block size an MPEG stream is cut into (sizing.blockalign) is the
  // buffers' own; the current format keeps the file's.
  run.unit_size = sizing.unit_size;
  run.buffer_size = sizing.buffer_size;
  run.piece_align = sizing.piece_align;
  return true;
}

bool AllocateDataBlocks() {
  RunRecord& run = OwnedRun();
  const bool on_memory = run.buffer_count == ON_MEMORY;
  const int count = on_memory ? 2 : kBlockCount;
  std::optional<WaitCursor> wait;
  if (on_memory) wait.emplace();
  for (int i = 0; i < count; ++i) {
    const DWORD size = (on_memory && i == kMonitorBlock) ? run.unit_size : run.buffer_size;
    HGLOBAL handle = GlobalAlloc(kShareableMemory, size);
    char* data = handle ? static_cast<char*>(GlobalLock(handle)) : nullptr;
    if (!data) {
      if (!handle) {
        ShowFailure(PickId(IDS_NOT_ENOUGH_MEMORY, ja::audio::kNotEnoughMemory));
      } else {
        char format[256];
        lstrcpynA(format, PickId(IDS_DATA_LOCK_FAILED, ja::audio::kDataLockFailed), sizeof format);
        char text[300];
        snprintf(text, sizeof text, format, i, static_cast<long>(run.buffer_size));
        ShowFailure(text);
        GlobalFree(handle);
      }
      for (int k = i - 1; k >= 0; --k) ReleaseDataBlock(k);
      return false;
    }
    run.data_handle[i] = handle;
    run.block_data[i] = data;
    FillBlockSilence(i, size);
  }
  return true;
}

void FreeDataBlocks() {
  for (int i = 0; i < kBlockCount; ++i) ReleaseDataBlock(i);
}

void SetRunControls(bool enable) {
  EnableButton(app.stop_button, enable);
  EnableButton(app.pause_button, enable);
  EnableCommand(IDM_STOP, enable);
  EnableCommand(IDM_PAUSE, enable);
  if (enable && Active() && app.pause_button) SetFocus(app.pause_button);
}

void SetIdleControls(bool enable) {
  OwnedRun().idle_controls_off = !enable;
  if (enable) {
    if (transport.mode == MODE_PLAY) {
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
  if (transport.mode == MODE_PLAY) EnableCommand(IDM_INFO, enable && HasCurrentFormat());
}

void SetRunPriority(RunPriority priority) {
  SetPriorityClass(GetCurrentProcess(), priority == RunPriority::kRaised ? REALTIME_PRIORITY_CLASS : NORMAL_PRIORITY_CLASS);
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_NORMAL);
}

void PaceBuffer(DWORD minimum_ms) {
  RunRecord& run = OwnedRun();
  DWORD now = timeGetTime();
  while (now - run.pacing_mark < minimum_ms) {
    Sleep(1);
    now = timeGetTime();
  }
  run.pacing_mark = now;
}

void StartDisplayTimer() {
  RunRecord& run = OwnedRun();
  run.timer_interval = DisplayTimerInterval(app.settings.deltatime, current_file.format.rate);
  SetTimer(app.main_window, kDisplayTimer, run.timer_interval, nullptr);
  run.run_start_time = run.pause_time = timeGetTime();
}

RecordingWrite WriteRecordedSound(const char* data, DWORD bytes) {
  const RecordingWrite write = AppendRecording(data, bytes);
  OwnedRun().recording.recorded_bytes += write.written;
  if (write.next_file) RedrawNameLine();
  return write;
}

void BeginRunRecord() {
  RunRecord& run = OwnedRun();
  if (!run.active()) run = RunRecord();
}

void EndRun(RunEnding ending) {
  TransportState& owned = OwnedTransport();
  RunRecord& run = owned.run;
  const bool had_run = run.active();
  const bool had_file = current_file.file_mmio != nullptr;
  const bool recorded = had_run && owned.mode == MODE_REC;
  // No tick and no bounded stop wait outlives the run.
  if (app.main_window) {
    KillTimer(app.main_window, kDisplayTimer);
    KillTimer(app.main_window, kStopWaitTimer);
    KillTimer(app.main_window, kPlayWatchTimer);
    KillTimer(app.main_window, kRecordWatchTimer);
  }
  if (had_run) SetRunControls(false);
  SetRunPriority(RunPriority::kNormal);
  std::string held_failure;
  if (had_run && owned.mode == MODE_REC && ending.write_held_blocks) held_failure = WriteHeldInputBlocks();
  CloseInputDevice();
  CloseOutputDevice();
  CloseDecodedLevels();
  run.Close();
  CloseRunFile();
  RestoreScreenSaver();
  FreeDataBlocks();
  run.End();
  // What the run leaves to the steps below; then nothing of it is kept.
  const bool give_back_idle_controls = run.idle_controls_off;
  const DropoutTally dropouts = recorded ? run.recording.dropouts.tally() : DropoutTally();
  run = RunRecord();
  // A run that ended while paused leaves no "Cont" behind for the next one.
  if (had_run) SetPauseButtonText(en::audio::kPause);
  if (owned.mode == MODE_REC && (had_run || had_file)) {
    if (current_file.data_count == 0) {
      RemoveEmptyFile();
      // The last file of a series that got nothing went: the one before is
      // the recording's last.
      StepBackInSeries();
    }
    if (current_file.data_count != 0) {
      // The recording just made is the current file for playing.
      owned.mode = MODE_PLAY;
      TakeRecordingForPlay();
    }
  }
  if (ending.repair) RepairWave();
  if (give_back_idle_controls) SetIdleControls(true);
  // What the blocks a stop handed back could not keep is said once the run
  // has ended and its last file is the current one (with no owner when the
  // window is going, as the report).
  if (!held_failure.empty()) {
    ShowMessageBox(ending.report == RunReport::kNoOwner ? nullptr : app.main_window, held_failure.c_str(), nullptr,
                   MB_ICONEXCLAMATION | MB_OK);
  }
  // The level report, with the dropouts of a recording; with the report off
  // (or after a failure's own message), the dropouts alone, unless the
  // program is ending by itself.
  const bool levels = had_run && app.settings.levelwarning && ending.report != RunReport::kNone;
  if (dropouts.count != 0) RedrawNameLine();
  if (levels || (dropouts.count != 0 && !ending.program_ends)) {
    ShowLevelReport(ending.report == RunReport::kNoOwner ? nullptr : app.main_window, levels, dropouts, current_file.format,
                    !ending.program_ends);
  }
  if (had_run && ending.next_in_play_list && app.play_at_start) {
    PostMessageA(app.main_window, kPlayListNextMessage, 0, 0);
  }
}

void AbandonTransport() {
  RunEnding ending;
  ending.write_held_blocks = false;
  ending.report = RunReport::kNone;
  EndRun(ending);
}

void RemoveEmptyFile() {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!FileAttributesNamed(current_file.file_name, data)) return;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return;
  const int64_t size = (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  if (IsEmptyRecordingFile(size)) DeleteFileNamed(current_file.file_name);
}

void ShutdownTransport() {
  RunEnding ending;
  ending.report = RunReport::kNoOwner;
  ending.program_ends = true;
  EndRun(ending);
}

void SelectMode(int mode) { OwnedTransport().mode = mode; }
