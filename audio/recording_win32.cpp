// Recording from the wave input into the current file: streaming through four
// buffers, or into one memory block that is written when it comes back.
#include "audio/recording_win32.h"

#include <optional>
#include <string>

#include "audio/recorded_sound_win32.h"
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
#include "sound_files/wave_file_win32.h"

namespace {

// Buffers handed to the input device and not yet returned; a run whose
// buffers are all back (for example after a failed re-queue) must still end
// on a stop.
int queued_blocks = 0;
// position_ms of the display tick at the last on-memory estimate.
double record_mark_ms = 0.0;
// The handler is running (a message box inside it lets messages through).
int handler_depth = 0;
// The pause before a full block is handled, fixed for the run (0: none).
DWORD pacing_wait = 0;
// A recording started from the command line reached its time limit: the
// stop it asked for ends the program.
bool stop_ends_program = false;
// The watch for an input that stops (WatchRecordingRun): when the input last
// showed it was delivering (a block back, its position moved, the run
// started, paused or continued), its position then, how long it may go
// without, and whether the watch has started it again since.
DWORD last_sign_of_life = 0;
uint64_t last_position = 0;
DWORD stall_limit_ms = 0;
bool restarted_by_watch = false;

bool OnMemory() { return transport.buffer_count == ON_MEMORY; }

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
  MMTIME time = {};
  time.wType = TIME_SAMPLES;
  if (!transport.wave_in || waveInGetPosition(transport.wave_in, &time, sizeof time) != MMSYSERR_NOERROR) return ~0ull;
  return static_cast<uint64_t>(time.wType) << 32 | time.u.sample;
}

// A block the device has handed back whose notice the handler has not yet
// taken (the handler is behind, the input is not).
bool AnyBlockWaiting() { return AnotherBlockWaiting(nullptr); }

bool QueueBlock(WAVEHDR* header) {
  if (waveInPrepareHeader(transport.wave_in, header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
    ShowBare("waveInPrepareHeader");
    return false;
  }
  if (waveInAddBuffer(transport.wave_in, header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
    waveInUnprepareHeader(transport.wave_in, header, sizeof(WAVEHDR));
    ShowBare("waveInAddBuffer");
    return false;
  }
  ++queued_blocks;
  return true;
}

// How the run ends when the blocks come back: as a stop, unless the stop
// was a start that failed.
RunEnding pending_ending;

// A write that fell short (disk full, I/O error) or a next file of the series
// that could not be made: what was written stays and the run ends; nothing
// more is written to the file, and an on-memory file is repaired.
void FailWrite(HDC dc, const std::string& message) {
  ShowRunPosition(dc);
  OwnedTransport().run.Close();
  RunEnding ending;
  ending.write_held_blocks = false;
  ending.repair = OnMemory();
  ending.report = RunReport::kNone;
  // The device is closed before the message, so nothing comes back meanwhile.
  if (transport.wave_in) {
    SetRunPriority(RunPriority::kNormal);
    waveInReset(transport.wave_in);
  }
  ShowFailure(message.c_str());
  EndRun(ending);
}

// Asks the input to hand its blocks back: the first that comes back ends the
// run with `ending` (EndRun writes the others). A device that holds none, or
// that was lost and keeps them, ends the run at once; should it keep them all
// the same, the wait is bounded (OnTransportTimer).
void AskInputToStop(const RunEnding& ending) {
  pending_ending = ending;
  SetRunPriority(RunPriority::kNormal);
  SetRunControls(false);
  OwnedTransport().run.AskStop();
  const MMRESULT reset = waveInReset(transport.wave_in);
  if (queued_blocks == 0 || reset != MMSYSERR_NOERROR) {
    EndRun(pending_ending);
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
  OwnedTransport().current_block = (transport.current_block + 1) % kBlockCount;
  if (queued_blocks > 0) --queued_blocks;
  if (waveInUnprepareHeader(transport.wave_in, header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
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
  TransportState& run = OwnedTransport();
  if (bytes == 0 && run.position_ms > record_mark_ms) {
    bytes = EstimateRecordedBytes(run.position_ms, record_mark_ms, current_file.format.BytesPerSec, current_file.format.blockalign);
    if (bytes > header->dwBufferLength) bytes = WholeBlocks(header->dwBufferLength, current_file.format.blockalign);
    header->dwBytesRecorded = bytes;
    record_mark_ms = run.position_ms;
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
  SoundWrite write;
  {
    // Writing the whole memory block takes a while.
    std::optional<WaitCursor> wait;
    if (OnMemory()) {
      wait.emplace();
      if (!transport.run.paused()) SetRunControls(false);
    }
    write = WriteRecordedSound(transport.block_data[index], bytes);
    if (OnMemory() && write.whole) FillBlockSilence(kMemoryBlock, transport.buffer_size);
  }
  if (!write.whole) {
    FailWrite(dc, write.failure);
    return false;
  }
  ShowRunPosition(dc);
  if (!OnMemory()) ApplyTimeLimit(RecordedMs(RunRecordedBytes(), current_file.format.BytesPerSec), 0.0);
  return true;
}

// A full streaming block taken back while the run goes on: what the device
// delivered against the clock and against the blocks (audio/dropouts.h).
void WatchForDropouts(const WAVEHDR* header) {
  if (transport.run.state() != RunState::kRunning || IsPausedBlock(static_cast<uint32_t>(header->dwUser)) ||
      header->dwBytesRecorded < header->dwBufferLength || current_file.format.blockalign <= 0)
    return;
  const DWORD frame = static_cast<DWORD>(current_file.format.blockalign);
  DropoutObservation seen;
  seen.now_ms = timeGetTime();
  MMTIME position = {};
  position.wType = TIME_SAMPLES;
  if (waveInGetPosition(transport.wave_in, &position, sizeof position) == MMSYSERR_NOERROR) {
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
  seen.run_frames = RunRecordedBytes() / frame;
  if (RunDropouts().Observe(seen)) RedrawNameLine();
}

// Hands a block back to the device: on memory the memory block with the room
// it has left, or while paused the monitor block. False when the run has ended
// instead (a memory block filled up while pausing has no room for more).
bool RequeueBlock(WAVEHDR* header, int index, DWORD bytes) {
  int k = index;
  if (OnMemory()) {
    if (index == kMemoryBlock) {
      OwnedTransport().buffer_size -= bytes;
      if (transport.buffer_size < static_cast<DWORD>(current_file.format.blockalign > 0 ? current_file.format.blockalign : 1)) {
        EndRun(pending_ending);
        return false;
      }
    }
    k = transport.run.paused() ? kMonitorBlock : kMemoryBlock;
    OwnedTransport().current_block = k;
  }
  header->lpData = transport.block_data[k];
  header->dwUser = MakeInputUserWord(k, transport.run.paused());
  header->dwBufferLength = (OnMemory() && transport.run.paused()) ? transport.unit_size : transport.buffer_size;
  header->dwBytesRecorded = 0;
  header->dwFlags = 0;
  QueueBlock(header);
  return true;
}

void HandleFilledBlock(WAVEHDR* header) {
  // Only full buffers are paced. Buffers a reset hands back (pause, continue)
  // come all at once and must go back to the device at once: while it has
  // none, what it captures is lost. The same holds when another block is
  // already back and waiting for its notice: the handler is behind (a busy
  // machine held it up), and each wait now keeps a block from the device.
  if (pacing_wait != 0 && header->dwBytesRecorded >= header->dwBufferLength && !AnotherBlockWaiting(header)) {
    PaceBuffer(pacing_wait);
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
  if ((OnMemory() && index == kMemoryBlock && !transport.run.paused()) || !transport.run.under_way()) {
    EndRun(pending_ending);
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
  OwnedTransport().buffer_count = ChooseBufferCount(app.settings.OnMem, current_file.disk_bytes);
  SetMeterStride(InitialRecordStride(current_file.format.rate, current_file.format.channels, OnMemory()));
  if (!ComputeBufferSizes(current_file.pFormat)) {
    FreeFormatRecord();
    return false;
  }
  SetRecordingCapacity(transport.buffer_size);
  BeginRecordedSound(current_file.format.rate);
  pacing_wait = RecordPacingWait(app.settings.deltatime, current_file.format.rate);
  if (!WorthPacing(pacing_wait)) pacing_wait = 0;
  return true;
}

// Opens the wave input for the run's format; the format record is not needed
// after it.
bool OpenInputDevice() {
  const MMRESULT opened = waveInOpen(&OwnedTransport().wave_in, WAVE_MAPPER, reinterpret_cast<const WAVEFORMATEX*>(current_file.pFormat),
                                     reinterpret_cast<DWORD_PTR>(app.main_window), 0, CALLBACK_WINDOW);
  FreeFormatRecord();
  if (opened == MMSYSERR_NOERROR) return true;
  OwnedTransport().wave_in = nullptr;
  ShowFailure(PickId(IDS_CANT_OPEN_WAVEIN, ja::audio::kCantOpenWaveIn));
  return false;
}

// Queues the run's first blocks: all four when streaming; on memory the memory
// block, or on standby the monitor block. Each is marked with whether what it
// captures is kept.
bool QueueFirstBlocks(bool standby) {
  OwnedTransport().current_block = 0;
  queued_blocks = 0;
  for (int i = 0; i < 4; ++i) {
    WAVEHDR* header = transport.block_header[i];
    ZeroMemory(header, sizeof(WAVEHDR));
    header->lpData = transport.block_data[i];
    header->dwBufferLength = (i == kMemoryBlock || !OnMemory()) ? transport.buffer_size : transport.unit_size;
    header->dwUser = MakeInputUserWord(i, standby);
    const bool queue = !OnMemory() || i == (standby ? kMonitorBlock : kMemoryBlock);
    if (!queue) continue;
    if (waveInPrepareHeader(transport.wave_in, header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
      ShowFailure(PickId(IDS_HEADER_FAILED, ja::audio::kHeaderFailed));
      return false;
    }
    if (waveInAddBuffer(transport.wave_in, header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
      waveInUnprepareHeader(transport.wave_in, header, sizeof(WAVEHDR));
      ShowFailure(PickId(IDS_ADDBUFFER_FAILED, ja::audio::kAddBufferFailed));
      return false;
    }
    ++queued_blocks;
  }
  return true;
}

// Starts the input. A device that cannot start ends the run as a stop does:
// through the blocks its reset hands back, or at once when it is lost and
// keeps them.
bool StartInput() {
  SetRunPriority(RunPriority::kRaised);
  if (waveInStart(transport.wave_in) == MMSYSERR_NOERROR) return true;
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
      OwnedTransport().pause_time = timeGetTime();
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
    if (OnMemory()) OwnedTransport().current_block = kMonitorBlock;
  }
}

}  // namespace

void StartRecording(bool standby) {
  ResetRunLevels();
  OwnedTransport().time_limit = app.settings.time_limit;
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

  OwnedTransport().run.Start(standby);
  pending_ending = RunEnding{};
  stop_ends_program = false;
  record_mark_ms = 0.0;
  OwnedTransport().position_ms = 0.0;  // no tick of this run has run yet
  if (OnMemory()) ShowMeterMessage(standby ? nullptr : Pick(en::audio::kRecording, ja::audio::kRecording));
  if (StartInput()) {
    ShowRunStarted(standby);
    WatchRecordingRun();
  }
}

void OnRecordBlockFilled(WAVEHDR* header) {
  if (!transport.run.takes_blocks()) return;
  if (!IsOwnHeader(header) || !transport.wave_in) return;
  if (handler_depth > 0) ShowBare(ja::audio::kReentered);
  // After a stop the first block back is kept and ends the run; the rest the
  // reset hands back are not handled.
  if (transport.run.state() == RunState::kStopping) OwnedTransport().run.Close();
  // A block with sound is a sign of life; a full one shows the input
  // delivers again after the watch started it (a reset hands back partial
  // ones).
  if (header->dwBytesRecorded > 0) last_sign_of_life = timeGetTime();
  if (header->dwBytesRecorded > 0 && header->dwBytesRecorded >= header->dwBufferLength) restarted_by_watch = false;
  ++handler_depth;
  HandleFilledBlock(header);
  --handler_depth;
}

void ApplyTimeLimit(double recorded_ms, double margin) {
  const TimeLimitAction action = TimeLimitActionAt(recorded_ms, transport.time_limit, margin,
                                                   app.record_at_start != 0, transport.run.paused());
  if (action == TimeLimitAction::kNone) return;
  if (action == TimeLimitAction::kStopAndExit) {
    stop_ends_program = true;
    PostMessageA(app.main_window, WM_COMMAND, IDM_STOP, 0);
    PostMessageA(app.main_window, WM_COMMAND, IDM_EXIT, 0);
    return;
  }
  if (action == TimeLimitAction::kPause) PostMessageA(app.main_window, WM_COMMAND, IDM_PAUSE, 0);
  OwnedTransport().time_limit += app.settings.EndTime;
}

void StopRecording() {
  RunEnding ending;
  ending.program_ends = stop_ends_program;
  AskInputToStop(ending);
}

void EndStoppedRecording() {
  if (transport.mode == MODE_REC && transport.run.state() == RunState::kStopping) EndRun(pending_ending);
}

void WatchRecordingRun() {
  // On memory no block comes back until the end: the position, which moves
  // as the device fills the memory block, is the sign of life; a unit of it
  // is the block whose time counts.
  const DWORD block = OnMemory() && transport.unit_size > 0 ? transport.unit_size : transport.buffer_size;
  stall_limit_ms = RecordStallLimitMs(block, current_file.format.BytesPerSec);
  last_sign_of_life = timeGetTime();
  last_position = InputPosition();
  restarted_by_watch = false;
  SetTimer(app.main_window, kRecordWatchTimer, kPlayWatchMs, nullptr);
}

void OnRecordingWatchTimer() {
  if (transport.mode != MODE_REC || !transport.run.under_way() || !transport.wave_in) {
    KillTimer(app.main_window, kRecordWatchTimer);
    return;
  }
  const DWORD now = timeGetTime();
  const uint64_t position = InputPosition();
  if ((position != last_position && position != ~0ull) || AnyBlockWaiting()) {
    last_sign_of_life = now;
    restarted_by_watch = false;
  }
  last_position = position;
  if (now - last_sign_of_life <= stall_limit_ms) return;
  // What the input did not deliver meanwhile is lost while recording: a
  // dropout at the place the recording had reached (the same one when the
  // input stays silent after the watch started it again).
  if (transport.run.state() == RunState::kRunning) {
    const uint32_t frame = current_file.format.blockalign > 0 ? static_cast<uint32_t>(current_file.format.blockalign) : 1;
    const uint64_t silent = static_cast<uint64_t>(now - last_sign_of_life) * current_file.format.rate / 1000;
    RunDropouts().CountSilence(silent, RunRecordedBytes() / frame, restarted_by_watch);
    RedrawNameLine();
  }
  last_sign_of_life = now;
  if (!restarted_by_watch) {
    // Started again once: the reset hands the blocks back (the handler
    // writes what they hold and queues them again), the start takes them.
    restarted_by_watch = true;
    waveInReset(transport.wave_in);
    if (waveInStart(transport.wave_in) == MMSYSERR_NOERROR) {
      last_position = InputPosition();
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
  OwnedTransport().run.Close();
  SetRunPriority(RunPriority::kNormal);
  waveInReset(transport.wave_in);
  ShowFailure(Pick(en::audio::kRecordingStalled, ja::audio::kRecordingStalled));
  RunEnding ending;
  ending.report = RunReport::kNone;
  EndRun(ending);
}
