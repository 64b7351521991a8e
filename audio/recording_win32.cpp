// Recording from the wave input into the current file: streaming through four
// buffers, or into one memory block that is written when it comes back.
#include "audio/recording_win32.h"

#include "audio/transport_internal_win32.h"
#include "audio/transport_math.h"
#include "audio/transport_win32.h"
#include "base/app_state_win32.h"
#include "base/ui_text_win32.h"
#include "meter/level_report_win32.h"
#include "meter/measure_win32.h"
#include "meter/meter_draw_win32.h"
#include "meter/status_win32.h"
#include "resources/ja_audio.h"
#include "resources/resource_ids.h"
#include "sound_files/repair_win32.h"
#include "sound_files/current_file_win32.h"
#include "sound_files/wave_file_win32.h"

namespace {

// Buffers handed to the input device and not yet returned; a run whose
// buffers are all back (for example after a failed re-queue) must still end
// on a stop.
int queued_blocks = 0;
// The handler is running (a message box inside it lets messages through).
int handler_depth = 0;
// The pause before a full block is handled, fixed for the run (0: none).
DWORD pacing_wait = 0;

bool OnMemory() { return app.buffer_count == ON_MEMORY; }

const char* RecFailedText() { return PickId(IDS_REC_FAILED, ja::audio::kRecFailed); }

// A block other than this one that the device has handed back (done, still
// prepared) and whose notice the handler has not yet taken.
bool AnotherBlockWaiting(const WAVEHDR* header) {
  for (const WAVEHDR* other : app.block_header) {
    if (other && other != header && (other->dwFlags & WHDR_DONE) && (other->dwFlags & WHDR_PREPARED)) return true;
  }
  return false;
}

bool QueueBlock(WAVEHDR* header) {
  if (waveInPrepareHeader(app.wave_in, header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
    ShowBare("waveInPrepareHeader");
    return false;
  }
  if (waveInAddBuffer(app.wave_in, header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
    waveInUnprepareHeader(app.wave_in, header, sizeof(WAVEHDR));
    ShowBare("waveInAddBuffer");
    return false;
  }
  ++queued_blocks;
  return true;
}

// The end of a run after a stop or a failed start: device closed, chunks
// closed by EndRun.
void FinishRecording() {
  KillTimer(app.main_window, kStopWaitTimer);
  CloseInputDevice();
  queued_blocks = 0;
  SetRunPriority(0);
  EndRun();
}

// The end of an on-memory recording whose memory block came back full (or
// empty at a stop).
void FinishMemoryRecording() {
  SetRunPriority(0);
  if (app.stopping == 0) app.stopping = 2;
  CloseInputDevice();
  queued_blocks = 0;
  EndRun();
  if (app.settings.levelwarning) ShowLevelReport(app.main_window);
}

// A write that fell short: disk full, I/O error or the 2 GB limit. What was
// written stays, cut back to whole blocks, and the run ends.
void FailWrite(HDC dc, LONG written) {
  if (written > 0) {
    const DWORD whole = WholeBlocks(static_cast<DWORD>(written), app.blockalign);
    if (whole < static_cast<DWORD>(written)) mmioSeek(app.file_mmio, -static_cast<LONG>(written - whole), SEEK_CUR);
    app.data_count += whole;
  }
  ShowPosition(dc);
  app.stopping = 2;
  SetRunPriority(0);
  CloseInputDevice();
  queued_blocks = 0;
  ShowFailure(PickId(IDS_DISK_FULL, ja::audio::kDiskFull));
  EndRun();
  if (OnMemory()) RepairWave();
}

// The time limit of a streaming recording: pause and move the limit on, or
// with /R stop and leave the program.
void CheckTimeLimit() {
  if (!TimeLimitReached(app.settings.time_limit, app.BytesPerSec, app.data_count)) return;
  if (app.record_at_start) {
    PostMessageA(app.main_window, WM_COMMAND, IDM_STOP, 0);
    PostMessageA(app.main_window, WM_COMMAND, IDM_EXIT, 0);
  } else {
    PostMessageA(app.main_window, WM_COMMAND, IDM_PAUSE, 0);
    app.settings.time_limit += app.settings.EndTime;
  }
}

void HandleFilledBlock(WAVEHDR* header) {
  if (OnMemory() && app.current_block == 0) KillTimer(app.main_window, kDisplayTimer);

  // Only full buffers are paced. Buffers a reset hands back (pause, continue)
  // come all at once and must go back to the device at once: while it has
  // none, what it captures is lost. The same holds when another block is
  // already back and waiting for its notice: the handler is behind (a busy
  // machine held it up), and each wait now keeps a block from the device.
  if (pacing_wait != 0 && header->dwBytesRecorded >= header->dwBufferLength && !AnotherBlockWaiting(header)) {
    PaceBuffer(pacing_wait);
  }
  const DWORD start = timeGetTime();

  const int index = BlockIndexOf(static_cast<uint32_t>(header->dwUser));
  if (index > 3) return;
  app.current_block = (app.current_block + 1) % 4;
  if (queued_blocks > 0) --queued_blocks;
  if (waveInUnprepareHeader(app.wave_in, header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
    ShowBare("waveInUnprepareHeader");
  }
  DWORD bytes = header->dwBytesRecorded;

  MainWindowDc window_dc;
  HDC dc = window_dc.get();

  // Meter.
  if (OnMemory() && index == 0) {
    MeterState& meter = app.meter;
    if (bytes == 0 && meter.position_ms > app.record_mark_ms) {
      bytes = EstimateRecordedBytes(meter.position_ms, app.record_mark_ms, app.BytesPerSec, app.blockalign);
      if (bytes > header->dwBufferLength) bytes = WholeBlocks(header->dwBufferLength, app.blockalign);
      header->dwBytesRecorded = bytes;
      app.record_mark_ms = meter.position_ms;
    }
    meter.position_ms = 0.0;
    ShowMeterMessage(nullptr);
    MeasureLevels(dc, 0, static_cast<long>(bytes));
    DrawMeterLabels(dc);
    if (bytes == 0) ShowMeterMessage(RecFailedText());
  } else {
    MeasureLevels(dc, index, static_cast<long>(bytes));
  }

  // Write.
  const bool write = bytes > 0 && ((!OnMemory() && !app.discard_input) || (OnMemory() && index == 0));
  if (write) {
    HCURSOR previous = nullptr;
    if (OnMemory()) {
      previous = SetCursor(LoadCursor(nullptr, IDC_WAIT));
      if (!app.paused) SetRunControls(0);
    } else {
      bytes = FitIntoWaveFile(app.data_count, bytes, app.blockalign);
    }
    const LONG written = bytes > 0 ? mmioWrite(app.file_mmio, app.block_data[index], static_cast<LONG>(bytes)) : 0;
    if (written != static_cast<LONG>(header->dwBytesRecorded)) {
      if (OnMemory()) SetCursor(previous);
      FailWrite(dc, written);
      return;
    }
    if (OnMemory()) {
      FillSilence(0, app.buffer_size);
      SetCursor(previous);
    }
    app.data_count += static_cast<DWORD>(written);
    ShowPosition(dc);
    if (!OnMemory()) CheckTimeLimit();
  }

  app.discard_input = app.paused;

  if (OnMemory() && index == 0 && !app.paused) {
    FinishMemoryRecording();
    return;
  }

  if (app.stopping != 0) {
    FinishRecording();
    return;
  }

  // Queue the block again.
  int k = index;
  if (OnMemory()) {
    if (index == 0) {
      app.buffer_size -= bytes;
      // A memory block filled up while pausing has no room for more.
      if (app.buffer_size < static_cast<DWORD>(app.blockalign > 0 ? app.blockalign : 1)) {
        FinishMemoryRecording();
        return;
      }
    }
    k = app.paused ? 1 : 0;
    app.current_block = k;
  }
  header->lpData = app.block_data[k];
  header->dwUser = static_cast<DWORD_PTR>(k);
  header->dwBufferLength = (OnMemory() && app.paused) ? app.unit_size : app.buffer_size;
  header->dwBytesRecorded = 0;
  header->dwFlags = 0;
  QueueBlock(header);
  AdaptStride(start, dc);
}

}  // namespace

bool StartRecording() {
  app.meter.max_level = 0;
  app.meter.over_count = 0;
  if (!HeaderBlocksReady()) return false;
  if (!app.file_mmio || !app.pFormat) {
    CloseSoundFile();
    if (!CreateForRecord()) {
      AbandonTransport();
      return false;
    }
  }
  app.buffer_count = ChooseBufferCount(app.settings.OnMem, app.disk_bytes);
  app.meter.meter_stride =
      InitialRecordStride(app.pFormat->wf.nSamplesPerSec, app.pFormat->wf.nChannels, OnMemory());
  if (!ComputeBufferSizes(app.pFormat)) {
    FreeFormatRecord();
    AbandonTransport();
    return false;
  }
  app.data_total = app.buffer_size;
  pacing_wait = RecordPacingWait(app.settings.deltatime, app.khz);
  if (!WorthPacing(pacing_wait)) pacing_wait = 0;

  const MMRESULT opened = waveInOpen(&app.wave_in, WAVE_MAPPER, reinterpret_cast<const WAVEFORMATEX*>(app.pFormat),
                                     reinterpret_cast<DWORD_PTR>(app.main_window), 0, CALLBACK_WINDOW);
  FreeFormatRecord();
  if (opened != MMSYSERR_NOERROR) {
    app.wave_in = nullptr;
    ShowFailure(PickId(IDS_CANT_OPEN_WAVEIN, ja::audio::kCantOpenWaveIn));
    AbandonTransport();
    return false;
  }

  if (OnMemory()) ShowMeterMessage(PickId(IDS_ALLOCATING_MEMORY, ja::audio::kAllocatingMemory));
  if (!AllocateDataBlocks()) {
    waveInClose(app.wave_in);
    app.wave_in = nullptr;
    AbandonTransport();
    // The failed allocation closed the file already; it holds no sound.
    if (app.data_count == 0) RemoveEmptyFile();
    return false;
  }

  SetIdleControls(0);
  app.current_block = 0;
  queued_blocks = 0;
  for (int i = 0; i < 4; ++i) {
    WAVEHDR* header = app.block_header[i];
    ZeroMemory(header, sizeof(WAVEHDR));
    header->lpData = app.block_data[i];
    header->dwBufferLength = (i == 0 || !OnMemory()) ? app.buffer_size : app.unit_size;
    header->dwUser = static_cast<DWORD_PTR>(i);
    const bool queue = !OnMemory() || (i == 0 && !app.discard_input) || (i == 1 && app.discard_input);
    if (!queue) continue;
    if (waveInPrepareHeader(app.wave_in, header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
      ReportHeaderFailure();
      AbandonTransport();
      return false;
    }
    if (waveInAddBuffer(app.wave_in, header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
      waveInUnprepareHeader(app.wave_in, header, sizeof(WAVEHDR));
      ShowFailure(PickId(IDS_ADDBUFFER_FAILED, ja::audio::kAddBufferFailed));
      CloseInputDevice();
      EndRun();
      return false;
    }
    ++queued_blocks;
  }

  app.stopping = 0;
  app.running = 1;
  app.paused = 0;
  app.record_mark_ms = 0.0;
  app.meter.position_ms = 0.0;  // no tick of this run has run yet
  if (OnMemory()) ShowMeterMessage(app.discard_input ? nullptr : Pick(en::audio::kRecording, ja::audio::kRecording));

  SetRunPriority(1);
  if (waveInStart(app.wave_in) != MMSYSERR_NOERROR) {
    ShowFailure(RecFailedText());
    SetRunPriority(0);
    // The buffers the reset returns end the run in the handler.
    app.stopping = 1;
    waveInReset(app.wave_in);
    return false;
  }

  if (OnMemory()) {
    app.meter.metered_end = 0;
    StartDisplayTimer();
    if (app.discard_input) {
      KillTimer(app.main_window, kDisplayTimer);
      app.pause_time = timeGetTime();
    }
  }
  SwitchScreenSaverOff();
  SetRunControls(1);
  {
    MainWindowDc dc;
    if (OnMemory() && !app.discard_input) ShowMeterMessage(nullptr);
    DrawMeterLabels(dc.get());
  }
  if (app.discard_input) {
    SetPauseButtonText(en::audio::kCont);
    app.paused = 1;
    if (OnMemory()) app.current_block = 1;
    return false;
  }
  return true;
}

void OnRecordBlockFilled(WAVEHDR* header) {
  if (app.stopping > 1) return;
  if (!IsOwnHeader(header) || !app.wave_in) return;
  if (handler_depth > 0) ShowBare(ja::audio::kReentered);
  if (app.stopping > 0) ++app.stopping;
  ++handler_depth;
  HandleFilledBlock(header);
  --handler_depth;
}

void StopRecording() {
  SetRunPriority(0);
  app.record_at_start = 0;
  SetRunControls(0);
  // An on-memory block in the device comes back and ends the run with its
  // own report; the report is shown once.
  const bool handler_reports = OnMemory() && app.current_block == 0;
  app.stopping = 1;
  const MMRESULT reset = waveInReset(app.wave_in);
  if (queued_blocks == 0) {
    // Nothing will come back: end the run here.
    FinishRecording();
    if (app.settings.levelwarning) ShowLevelReport(app.main_window);
    return;
  }
  if (reset != MMSYSERR_NOERROR) {
    // The device is gone (Wine: its sound server stopped) and keeps the
    // buffers: they will never come back.
    EndRecordingWithoutDevice();
    if (app.settings.levelwarning && !handler_reports) ShowLevelReport(app.main_window);
    return;
  }
  // The reset hands every buffer back at once; should the device keep them
  // all the same, the wait is bounded (OnTransportTimer).
  SetTimer(app.main_window, kStopWaitTimer, kStopWaitMs, nullptr);
  if (app.settings.levelwarning && !handler_reports) ShowLevelReport(app.main_window);
}

void EndRecordingWithoutDevice() {
  KillTimer(app.main_window, kStopWaitTimer);
  if (!app.running || !app.wave_in) return;
  const bool handler_reports = OnMemory() && app.current_block == 0;
  KillTimer(app.main_window, kDisplayTimer);
  app.stopping = 2;  // a buffer that comes back after all is ignored
  WriteUnreturnedInputBlocks();
  {
    MainWindowDc dc;
    ShowPosition(dc.get());
  }
  FinishRecording();
  if (app.settings.levelwarning && handler_reports) ShowLevelReport(app.main_window);
}

void ReportHeaderFailure() {
  ShowFailure(PickId(IDS_HEADER_FAILED, ja::audio::kHeaderFailed));
  if (OnMemory()) ShowMeterMessage(nullptr);
  CloseInputDevice();
  queued_blocks = 0;
  FreeDataBlocks();
  SetIdleControls(1);
}
