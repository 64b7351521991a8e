// Recording from the wave input into the current file: streaming through four
// buffers, or into one memory block that is written when it comes back.
#include "audio/recording_win32.h"

#include <optional>
#include <string>

#include "audio/transport_internal_win32.h"
#include "audio/transport_math.h"
#include "audio/run_display_win32.h"
#include "audio/transport_state_win32.h"
#include "audio/transport_win32.h"
#include "base/app_state_win32.h"
#include "base/ui_text_win32.h"
#include "base/wait_cursor_win32.h"
#include "meter/measure_win32.h"
#include "meter/meter_draw_win32.h"
#include "meter/meter_record_win32.h"
#include "meter/status_win32.h"
#include "resources/ja_audio.h"
#include "resources/resource_ids.h"
#include "sound_files/current_file_win32.h"
#include "sound_files/recording_file_win32.h"
#include "sound_files/wave_file_win32.h"

namespace {

bool OnMemory() { return transport.run.buffer_count == ON_MEMORY; }

const char* RecFailedText() { return PickId(IDS_REC_FAILED, ja::audio::kRecFailed); }

// A block other than this one that the device has handed back (done, still
// prepared) and whose notice the handler has not yet taken.
bool AnotherBlockWaiting(const WAVEHDR* header) {
  for (const WAVEHDR* other : transport.block_header) {
    if (other && other != header && (other->dwFlags & WHDR_DONE) && (other->dwFlags & WHDR_PREPARED)) return true;
  }
  return false;
}

// Where the input device stands in what it delivered (in whatever unit it
// answers in), or ~0 when it does not say.
uint64_t InputPosition() {
  const HWAVEIN device = transport.run.wave_in;
  MMTIME time = {};
  time.wType = TIME_SAMPLES;
  if (!device || waveInGetPosition(device, &time, sizeof time) != MMSYSERR_NOERROR) return ~0ull;
  return static_cast<uint64_t>(time.wType) << 32 | time.u.sample;
}

// A block the device has handed back whose notice the handler has not yet
// taken (the handler is behind, the input is not).
bool AnyBlockWaiting() { return AnotherBlockWaiting(nullptr); }

bool QueueBlock(WAVEHDR* header) {
  RunRecord& run = OwnedRun();
  if (waveInPrepareHeader(run.wave_in, header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
    ShowBare("waveInPrepareHeader");
    return false;
  }
  if (waveInAddBuffer(run.wave_in, header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
    waveInUnprepareHeader(run.wave_in, header, sizeof(WAVEHDR));
    ShowBare("waveInAddBuffer");
    return false;
  }
  ++run.queued_blocks;
  return true;
}

// A write that fell short (disk full, I/O error) or a next file of the series
// that could not be made: what was written stays and the run ends; nothing
// more is written to the file, and an on-memory file is repaired.
void FailWrite(HDC dc, const std::string& message) {
  ShowRunPosition(dc);
  RunRecord& run = OwnedRun();
  run.Close();
  RunEnding ending;
  ending.write_held_blocks = false;
  ending.repair = run.buffer_count == ON_MEMORY;
  ending.report = RunReport::kNone;
  // The device is closed before the message, so nothing comes back meanwhile.
  if (run.wave_in) {
    SetRunPriority(RunPriority::kNormal);
    waveInReset(run.wave_in);
  }
  ShowFailure(message.c_str());
  EndRun(ending);
}

// Asks the input to hand its blocks back: the first that comes back ends the
// run with `ending` (EndRun writes the others). A device that holds none, or
// that was lost and keeps them, ends the run at once; should it keep them all
// the same, the wait is bounded (OnTransportTimer).
void AskInputToStop(const RunEnding& ending) {
  RunRecord& run = OwnedRun();
  run.recording.pending_ending = ending;
  SetRunPriority(RunPriority::kNormal);
  SetRunControls(false);
  run.AskStop();
  const MMRESULT reset = waveInReset(run.wave_in);
  if (run.queued_blocks == 0 || reset != MMSYSERR_NOERROR) {
    EndRun(ending);
  } else {
    SetTimer(app.main_window, kStopWaitTimer, kStopWaitMs, nullptr);
  }
}

// ---- the steps of a block the device hands back ----

// Takes a block back from the device: the index of its data area, or -1 for
// a header that names none.
int TakeBlockBack(WAVEHDR* header) {
  const int index = BlockIndexOf(static_cast<uint32_t>(header->dwUser));
  if (index >= kBlockCount) return -1;
  RunRecord& run = OwnedRun();
  run.current_block = (run.current_block + 1) % kBlockCount;
  if (run.queued_blocks > 0) --run.queued_blocks;
  if (waveInUnprepareHeader(run.wave_in, header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
    ShowBare("waveInUnprepareHeader");
  }
  return index;
}

// Meters a returned block and says how many bytes it holds. An on-memory
// block that comes back empty (some drivers count nothing at a reset) is
// credited with what the display clock ran since the last estimate.
DWORD MeterBlock(HDC dc, WAVEHDR* header, int index) {
  DWORD bytes = header->dwBytesRecorded;
  if (!OnMemory() || index != kMemoryBlock) {
    MeasureBlock(dc, index, static_cast<long>(bytes));
    return bytes;
  }
  RunRecord& run = OwnedRun();
  const CurrentFormat& format = current_file.format;
  if (bytes == 0 && run.position_ms > run.recording.record_mark_ms) {
    bytes = EstimateRecordedBytes(run.position_ms, run.recording.record_mark_ms, format.BytesPerSec, format.blockalign);
    if (bytes > header->dwBufferLength) bytes = WholeBlocks(header->dwBufferLength, format.blockalign);
    header->dwBytesRecorded = bytes;
    run.recording.record_mark_ms = run.position_ms;
  }
  run.position_ms = 0.0;
  ShowMeterMessage(nullptr);
  MeasureBlock(dc, kMemoryBlock, static_cast<long>(bytes));
  DrawRunLabels(dc);
  if (bytes == 0) ShowMeterMessage(RecFailedText());
  return bytes;
}

// What a returned block captured is kept: the memory block of an on-memory
// run, or a streaming block that was not queued while paused.
bool IsKept(const WAVEHDR* header, int index, DWORD bytes) {
  if (bytes == 0) return false;
  return OnMemory() ? index == kMemoryBlock : !IsPausedBlock(static_cast<uint32_t>(header->dwUser));
}

// Writes a block's sound to the file; false when the write fell short and the
// run has ended.
bool KeepBlock(HDC dc, int index, DWORD bytes) {
  const RunRecord& run = transport.run;
  RecordingWrite write;
  {
    // Writing the whole memory block takes a while.
    std::optional<WaitCursor> wait;
    if (OnMemory()) {
      wait.emplace();
      if (!run.paused()) SetRunControls(false);
    }
    write = WriteRecordedSound(run.block_data[index], bytes);
    if (OnMemory() && write.whole) FillBlockSilence(kMemoryBlock, run.buffer_size);
  }
  if (!write.whole) {
    FailWrite(dc, write.failure);
    return false;
  }
  ShowRunPosition(dc);
  if (!OnMemory()) ApplyTimeLimit(RecordedMs(run.recording.recorded_bytes, current_file.format.BytesPerSec), 0.0);
  return true;
}

// A full streaming block taken back while the run goes on: what the device
// delivered against the clock and against the blocks (audio/dropouts.h).
void WatchForDropouts(const WAVEHDR* header) {
  RunRecord& run = OwnedRun();
  if (run.state() != RunState::kRunning || IsPausedBlock(static_cast<uint32_t>(header->dwUser)) ||
      header->dwBytesRecorded < header->dwBufferLength || current_file.format.blockalign <= 0)
    return;
  const DWORD frame = static_cast<DWORD>(current_file.format.blockalign);
  DropoutObservation seen;
  seen.now_ms = timeGetTime();
  MMTIME position = {};
  position.wType = TIME_SAMPLES;
  if (waveInGetPosition(run.wave_in, &position, sizeof position) == MMSYSERR_NOERROR) {
    if (position.wType == TIME_SAMPLES) {
      seen.has_position = true;
      seen.device_frames = position.u.sample;
    } else if (position.wType == TIME_BYTES) {
      seen.has_position = true;
      seen.device_frames = position.u.cb / frame;
    }
  }
  seen.block_frames = header->dwBytesRecorded / frame;
  seen.starved = true;
  for (const WAVEHDR* other : transport.block_header) {
    if (!other || other == header) continue;
    if (other->dwFlags & WHDR_INQUEUE) {
      seen.starved = false;
    } else if ((other->dwFlags & WHDR_DONE) && (other->dwFlags & WHDR_PREPARED)) {
      seen.waiting_frames += other->dwBytesRecorded / frame;
    }
  }
  seen.run_frames = run.recording.recorded_bytes / frame;
  if (run.recording.dropouts.Observe(seen)) RedrawNameLine();
}

// Hands a block back to the device: on memory the memory block with the room
// it has left, or while paused the monitor block. False when the run has ended
// instead (a memory block filled up while pausing has no room for more).
bool RequeueBlock(WAVEHDR* header, int index, DWORD bytes) {
  RunRecord& run = OwnedRun();
  int k = index;
  if (OnMemory()) {
    if (index == kMemoryBlock) {
      run.buffer_size -= bytes;
      if (run.buffer_size < static_cast<DWORD>(current_file.format.blockalign > 0 ? current_file.format.blockalign : 1)) {
        EndRun(run.recording.pending_ending);
        return false;
      }
    }
    k = run.paused() ? kMonitorBlock : kMemoryBlock;
    run.current_block = k;
  }
  header->lpData = run.block_data[k];
  header->dwUser = MakeInputUserWord(k, run.paused());
  header->dwBufferLength = (OnMemory() && run.paused()) ? run.unit_size : run.buffer_size;
  header->dwBytesRecorded = 0;
  header->dwFlags = 0;
  QueueBlock(header);
  return true;
}

void HandleFilledBlock(WAVEHDR* header) {
  const RunRecord& run = transport.run;
  // Only full buffers are paced. Buffers a reset hands back (pause, continue)
  // come all at once and must go back to the device at once: while it has
  // none, what it captures is lost. The same holds when another block is
  // already back and waiting for its notice: the handler is behind (a busy
  // machine held it up), and each wait now keeps a block from the device.
  if (run.pacing_wait != 0 && header->dwBytesRecorded >= header->dwBufferLength && !AnotherBlockWaiting(header)) {
    PaceBuffer(run.pacing_wait);
  }
  const DWORD start = timeGetTime();

  const int index = TakeBlockBack(header);
  if (index < 0) return;
  MainWindowDc window_dc;
  HDC dc = window_dc.get();
  const DWORD bytes = MeterBlock(dc, header, index);
  if (!OnMemory()) WatchForDropouts(header);
  if (IsKept(header, index, bytes) && !KeepBlock(dc, index, bytes)) return;

  // The memory block back while not paused is full, or a stop came; a
  // streaming block back after a stop is the first of those the reset hands
  // back. Either ends the run; EndRun writes the rest the device holds.
  if ((OnMemory() && index == kMemoryBlock && !run.paused()) || !run.under_way()) {
    EndRun(run.recording.pending_ending);
    return;
  }
  if (RequeueBlock(header, index, bytes)) AdaptRunStride(start);
}

// ---- the steps of a start ----

// Undoes a start that failed, after its message (EndRun: the device is closed
// first, so no block it holds comes back; the data areas are freed; the file,
// which holds no sound yet, is closed and removed; controls the start turned
// off come back), and clears the meter's "Allocating memory".
void AbandonRecordingStart(bool meter_message_shown) {
  if (meter_message_shown) ShowMeterMessage(nullptr);
  AbandonTransport();
}

// Creates the recording file when none is ready, and sizes the run's buffers
// for its format.
bool PrepareRecordingRun() {
  if (!current_file.file_mmio || !current_file.pFormat) {
    CloseSoundFile();
    if (!CreateForRecord()) return false;
  }
  RunRecord& run = OwnedRun();
  run.buffer_count = ChooseBufferCount(app.settings.OnMem, current_file.disk_bytes);
  SetMeterStride(InitialRecordStride(current_file.format.rate, current_file.format.channels, OnMemory()));
  if (!ComputeBufferSizes(current_file.pFormat)) {
    FreeFormatRecord();
    return false;
  }
  SetRecordingCapacity(run.buffer_size);
  run.recording.dropouts.Reset(current_file.format.rate);
  BeginRecordingWrites(run.buffer_count == STREAMING);
  run.pacing_wait = RecordPacingWait(app.settings.deltatime, current_file.format.rate);
  if (!WorthPacing(run.pacing_wait)) run.pacing_wait = 0;
  return true;
}

// Opens the wave input for the run's format; the format record is not needed
// after it.
bool OpenInputDevice() {
  RunRecord& run = OwnedRun();
  const MMRESULT opened = waveInOpen(&run.wave_in, WAVE_MAPPER, reinterpret_cast<const WAVEFORMATEX*>(current_file.pFormat),
                                     reinterpret_cast<DWORD_PTR>(app.main_window), 0, CALLBACK_WINDOW);
  FreeFormatRecord();
  if (opened == MMSYSERR_NOERROR) return true;
  run.wave_in = nullptr;
  ShowFailure(PickId(IDS_CANT_OPEN_WAVEIN, ja::audio::kCantOpenWaveIn));
  return false;
}

// Queues the run's first blocks: all four when streaming; on memory the memory
// block, or on standby the monitor block. Each is marked with whether what it
// captures is kept.
bool QueueFirstBlocks(bool standby) {
  RunRecord& run = OwnedRun();
  for (int i = 0; i < 4; ++i) {
    WAVEHDR* header = transport.block_header[i];
    ZeroMemory(header, sizeof(WAVEHDR));
    header->lpData = run.block_data[i];
    header->dwBufferLength = (i == kMemoryBlock || !OnMemory()) ? run.buffer_size : run.unit_size;
    header->dwUser = MakeInputUserWord(i, standby);
    const bool queue = !OnMemory() || i == (standby ? kMonitorBlock : kMemoryBlock);
    if (!queue) continue;
    if (waveInPrepareHeader(run.wave_in, header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
      ShowFailure(PickId(IDS_HEADER_FAILED, ja::audio::kHeaderFailed));
      return false;
    }
    if (waveInAddBuffer(run.wave_in, header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
      waveInUnprepareHeader(run.wave_in, header, sizeof(WAVEHDR));
      ShowFailure(PickId(IDS_ADDBUFFER_FAILED, ja::audio::kAddBufferFailed));
      return false;
    }
    ++run.queued_blocks;
  }
  return true;
}

// Starts the input. A device that cannot start ends the run as a stop does:
// through the blocks its reset hands back, or at once when it is lost and
// keeps them.
bool StartInput() {
  SetRunPriority(RunPriority::kRaised);
  if (waveInStart(transport.run.wave_in) == MMSYSERR_NOERROR) return true;
  ShowFailure(RecFailedText());
  RunEnding ending;
  ending.report = RunReport::kNone;
  AskInputToStop(ending);
  return false;
}

// The window once the input runs: display timer, controls, meter, and on
// standby the Cont button.
void ShowRunStarted(bool standby) {
  if (OnMemory()) {
    RestartMeterWindow();
    StartDisplayTimer();
    if (standby) {
      KillTimer(app.main_window, kDisplayTimer);
      OwnedRun().pause_time = timeGetTime();
    }
  }
  SwitchScreenSaverOff();
  SetRunControls(true);
  {
    MainWindowDc dc;
    if (OnMemory() && !standby) ShowMeterMessage(nullptr);
    DrawRunLabels(dc.get());
  }
  if (standby) {
    SetPauseButtonText(en::audio::kCont);
    if (OnMemory()) OwnedRun().current_block = kMonitorBlock;
  }
}

}  // namespace

void StartRecording(bool standby) {
  BeginRunRecord();
  ResetRunLevels();
  RunRecord& run = OwnedRun();
  run.time_limit = app.settings.time_limit;
  if (!AllocateHeaderBlocks()) return;
  if (!PrepareRecordingRun() || !OpenInputDevice()) {
    AbandonRecordingStart(false);
    return;
  }
  if (OnMemory()) ShowMeterMessage(PickId(IDS_ALLOCATING_MEMORY, ja::audio::kAllocatingMemory));
  if (!AllocateDataBlocks()) {
    AbandonRecordingStart(OnMemory());
    return;
  }
  SetIdleControls(false);
  if (!QueueFirstBlocks(standby)) {
    AbandonRecordingStart(OnMemory());
    return;
  }

  run.Start(standby);
  if (OnMemory()) ShowMeterMessage(standby ? nullptr : Pick(en::audio::kRecording, ja::audio::kRecording));
  if (StartInput()) {
    ShowRunStarted(standby);
    WatchRecordingRun();
  }
}

void OnRecordBlockFilled(WAVEHDR* header) {
  RunRecord& run = OwnedRun();
  if (!run.takes_blocks()) return;
  if (!IsOwnHeader(header) || !run.wave_in) return;
  // Deliberately the bare Japanese word in either language, as it always was.
  if (run.recording.handler_depth > 0) ShowBare(ja::audio::kReentered);
  // After a stop the first block back is kept and ends the run; the rest the
  // reset hands back are not handled.
  if (run.state() == RunState::kStopping) run.Close();
  // A block with sound is a sign of life; a full one shows the input
  // delivers again after the watch started it (a reset hands back partial
  // ones).
  if (header->dwBytesRecorded > 0) run.watch.last_sign_of_life = timeGetTime();
  if (header->dwBytesRecorded > 0 && header->dwBytesRecorded >= header->dwBufferLength) run.watch.restarted = false;
  ++run.recording.handler_depth;
  HandleFilledBlock(header);
  --run.recording.handler_depth;
}

void ApplyTimeLimit(double recorded_ms, double margin) {
  RunRecord& run = OwnedRun();
  const TimeLimitAction action =
      TimeLimitActionAt(recorded_ms, run.time_limit, margin, app.record_at_start != 0, run.paused());
  if (action == TimeLimitAction::kNone) return;
  if (action == TimeLimitAction::kStopAndExit) {
    run.recording.stop_ends_program = true;
    PostMessageA(app.main_window, WM_COMMAND, IDM_STOP, 0);
    PostMessageA(app.main_window, WM_COMMAND, IDM_EXIT, 0);
    return;
  }
  if (action == TimeLimitAction::kPause) PostMessageA(app.main_window, WM_COMMAND, IDM_PAUSE, 0);
  run.time_limit += app.settings.EndTime;
}

void StopRecording() {
  RunEnding ending;
  ending.program_ends = transport.run.recording.stop_ends_program;
  AskInputToStop(ending);
}

void EndStoppedRecording() {
  const RunRecord& run = transport.run;
  if (transport.mode == MODE_REC && run.state() == RunState::kStopping) EndRun(run.recording.pending_ending);
}

void WatchRecordingRun() {
  RunRecord& run = OwnedRun();
  // On memory no block comes back until the end: the position, which moves
  // as the device fills the memory block, is the sign of life; a unit of it
  // is the block whose time counts.
  const DWORD block = OnMemory() && run.unit_size > 0 ? run.unit_size : run.buffer_size;
  run.watch.stall_limit_ms = RecordStallLimitMs(block, current_file.format.BytesPerSec);
  run.watch.last_sign_of_life = timeGetTime();
  run.watch.last_position = InputPosition();
  run.watch.restarted = false;
  SetTimer(app.main_window, kRecordWatchTimer, kPlayWatchMs, nullptr);
}

void OnRecordingWatchTimer() {
  RunRecord& run = OwnedRun();
  if (transport.mode != MODE_REC || !run.under_way() || !run.wave_in) {
    KillTimer(app.main_window, kRecordWatchTimer);
    return;
  }
  DeviceWatch& watch = run.watch;
  const DWORD now = timeGetTime();
  const uint64_t position = InputPosition();
  if ((position != watch.last_position && position != ~0ull) || AnyBlockWaiting()) {
    watch.last_sign_of_life = now;
    watch.restarted = false;
  }
  watch.last_position = position;
  if (now - watch.last_sign_of_life <= watch.stall_limit_ms) return;
  // What the input did not deliver meanwhile is lost while recording: a
  // dropout at the place the recording had reached (the same one when the
  // input stays silent after the watch started it again).
  if (run.state() == RunState::kRunning) {
    const CurrentFormat& format = current_file.format;
    const uint32_t frame = format.blockalign > 0 ? static_cast<uint32_t>(format.blockalign) : 1;
    const uint64_t silent = static_cast<uint64_t>(now - watch.last_sign_of_life) * format.rate / 1000;
    run.recording.dropouts.CountSilence(silent, run.recording.recorded_bytes / frame, watch.restarted);
    RedrawNameLine();
  }
  watch.last_sign_of_life = now;
  if (!watch.restarted) {
    // Started again once: the reset hands the blocks back (the handler
    // writes what they hold and queues them again), the start takes them.
    watch.restarted = true;
    waveInReset(run.wave_in);
    if (waveInStart(run.wave_in) == MMSYSERR_NOERROR) {
      watch.last_position = InputPosition();
      return;
    }
  }
  // Still nothing: the run ends with the device's message. The device is
  // reset first, so nothing it does while the message shows counts; what its
  // blocks hold is written (EndRun).
  KillTimer(app.main_window, kRecordWatchTimer);
  {
    MainWindowDc dc;
    ShowRunPosition(dc.get());
  }
  run.Close();
  SetRunPriority(RunPriority::kNormal);
  waveInReset(run.wave_in);
  ShowFailure(Pick(en::audio::kRecordingStalled, ja::audio::kRecordingStalled));
  RunEnding ending;
  ending.report = RunReport::kNone;
  EndRun(ending);
}
