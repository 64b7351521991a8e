// Playback of the current file at the playing rate: streaming through four
// buffers refilled from the file, or one memory block queued once.
#include "audio/playback_win32.h"

#include <cstdio>
#include <optional>
#include <vector>

#include "audio/converted_output_win32.h"
#include "audio/memory_pieces_win32.h"
#include "audio/run_display_win32.h"
#include "audio/transport_internal_win32.h"
#include "audio/transport_math.h"
#include "audio/transport_state_win32.h"
#include "audio/transport_win32.h"
#include "base/app_state_win32.h"
#include "base/ui_text_win32.h"
#include "base/wait_cursor_win32.h"
#include "meter/decoded_levels_win32.h"
#include "meter/measure_win32.h"
#include "meter/meter_draw_win32.h"
#include "meter/meter_record_win32.h"
#include "meter/mixer_win32.h"
#include "meter/status_win32.h"
#include "resources/ja_audio.h"
#include "resources/resource_ids.h"
#include "sound_files/current_file_win32.h"
#include "sound_files/sound_file_open.h"
#include "sound_files/wave_file_win32.h"
#include "sound_files/wide_pcm.h"

namespace {

bool OnMemory() { return transport.run.buffer_count == ON_MEMORY; }

DWORD Elapsed(DWORD since) { return timeGetTime() - since; }

// Refuses a failed open of the output device with its message: that of the
// open's format query, except that a device in use is named as sound in use.
void ReportOpenFailure(MMRESULT result) {
  FailureText text = PlayQueryFailureText(result);
  if (result == MMSYSERR_ALLOCATED) text.japanese = ja::audio::kOutputInUse;
  ShowFailure(FailureMessage(text));
}

// The run's device record (PlaybackRun::device_record) as a format record.
FormatRecord* DeviceFormat() { return reinterpret_cast<FormatRecord*>(OwnedRun().playback.device_record.data()); }

// The device record starts as the file's (an extensible one as a device
// takes it), at least as long as the fields a reader may look at (zeroed
// past the file's).
void TakeDeviceRecord() {
  std::vector<uint8_t>& record = OwnedRun().playback.device_record;
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(current_file.pFormat);
  record = DeviceRecordOf(bytes, current_file.format_size);
  if (record.size() < sizeof(FormatRecord)) record.resize(sizeof(FormatRecord), 0);
}

// Applies the playing rate to the device record; false when the format
// cannot be played at a rate (a block-coded format without a block size).
bool ApplyRateToFormat() {
  WaveFormatHeader& wf = DeviceFormat()->wf;
  PlayFormat format;
  format.format_tag = wf.wFormatTag;
  format.samples_per_sec = wf.nSamplesPerSec;
  format.avg_bytes_per_sec = wf.nAvgBytesPerSec;
  format.block_align = wf.nBlockAlign;
  if (!ApplyPlayingRate(format, app.rate_steps)) return false;
  wf.nSamplesPerSec = format.samples_per_sec;
  wf.nAvgBytesPerSec = format.avg_bytes_per_sec;
  return true;
}

// Opens the output through the wave mapper; where it cannot convert a
// compressed format, with the PCM the file converts to, converted here.
// file_record: the format record as read from the file.
MMRESULT OpenOutputDevice(const std::vector<uint8_t>& file_record) {
  RunRecord& run = OwnedRun();
  // Wide PCM goes to a device that takes it as it is, else narrowed here, not
  // through the mapper's conversions: Wine's narrows plain 24-bit PCM to 16
  // bits, and tries for several seconds before it refuses 32-bit PCM.
  const DWORD direct = IsWidePcm(file_record.data(), file_record.size()) ? WAVE_FORMAT_DIRECT : 0;
  for (;;) {
    const MMRESULT result =
        waveOutOpen(&run.wave_out, WAVE_MAPPER, reinterpret_cast<const WAVEFORMATEX*>(DeviceFormat()),
                    reinterpret_cast<DWORD_PTR>(app.main_window), 0, CALLBACK_WINDOW | direct);
    if (FormatRefused(result)) {
      // Opened so, or the device's own failure (in use, no memory) is the
      // answer; only a format no codec converts tries the next rate.
      const MMRESULT converted = OpenConvertedOutput(file_record, DeviceFormat()->wf.nSamplesPerSec);
      if (converted != WAVERR_BADFORMAT) return converted;
    }
    // The steps the open of the file made when it asked the device.
    const QueryStep step = NextPlayQueryStep(result, run.playback.device_record, app.windows_version);
    if (step == QueryStep::RETRY_44100) {
      DeviceFormat()->wf.nSamplesPerSec = 44100;
      continue;
    }
    if (step == QueryStep::RETRY_MONO) {
      DeviceFormat()->wf.nChannels = 1;
      continue;
    }
    if (result != MMSYSERR_NOERROR) run.wave_out = nullptr;
    return result;
  }
}

// Refills a returned block from the file and queues it again. A read that
// comes up short means the file is shorter than its data chunk: what was read
// is played and nothing more is read.
void RefillBlock(WAVEHDR* header, int index, DWORD bytes) {
  RunRecord& run = OwnedRun();
  DWORD& length = run.playback.block_length[index];
  const LONG got = ReadSoundData(run.block_data[index], static_cast<LONG>(bytes));
  if (got < static_cast<LONG>(bytes)) {
    EndSoundData();
    bytes = got > 0 ? static_cast<DWORD>(got) : 0;
    if (current_file.format.format_tag == WAVE_TAG_PCM) bytes = WholeBlocks(bytes, current_file.format.blockalign);
    length = bytes;
    if (bytes == 0) return;
  }
  header->lpData = run.block_data[index];
  header->dwBufferLength = length;
  header->dwFlags = 0;
  if (current_file.data_count == 0) header->dwUser |= END_MARK;
  if (PrepareOutputHeader(header) != MMSYSERR_NOERROR) {
    header->lpData = nullptr;
    return;
  }
  if (waveOutWrite(run.wave_out, header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
    waveOutUnprepareHeader(run.wave_out, header, sizeof(WAVEHDR));
    header->lpData = nullptr;
    return;
  }
  ++run.queued_blocks;
}

// Where the output device stands in what it was given (in whatever unit it
// answers in), or ~0 when it does not say.
uint64_t DevicePosition() {
  const HWAVEOUT device = transport.run.wave_out;
  MMTIME time = {};
  time.wType = TIME_BYTES;
  if (!device || waveOutGetPosition(device, &time, sizeof time) != MMSYSERR_NOERROR) return ~0ull;
  return static_cast<uint64_t>(time.wType) << 32 | time.u.cb;
}

// Starts watching the run for a device that stops playing: no block handed
// back and no move of its position for as long as what one block puts on
// the device lasts (on memory a piece; a file's whole sound only where it
// goes as one block of PCM), four times over and 10 s more. A compressed
// block of silence may play for minutes; its position moves all the while.
// The device consumes a PCM format at its sample rate (whatever byte rate
// the file claims), a compressed one at about its byte rate.
void WatchPlaybackRun() {
  RunRecord& run = OwnedRun();
  const CurrentFormat& format = current_file.format;
  const DWORD consumed = format.format_tag == WAVE_TAG_PCM ? format.rate * format.blockalign : format.BytesPerSec;
  const DWORD block = OnMemory() && MemoryPieceSize() > 0 ? MemoryPieceSize() : run.buffer_size;
  run.watch.stall_limit_ms = PlaybackStallLimitMs(block, consumed, app.rate_steps);
  run.watch.last_sign_of_life = timeGetTime();
  run.watch.last_position = DevicePosition();
  SetTimer(app.main_window, kPlayWatchTimer, kPlayWatchMs, nullptr);
}

// A piece of the memory block could not be handed to the device (the
// converter refused it): the run ends with the device's message. (Falling
// through to the streaming refill would read the file into blocks that do
// not exist on memory.)
void EndRunOnRefusedPiece() {
  CloseOutputDevice();
  ShowFailure(PickId(IDS_WAVEOUTWRITE_FAILED, ja::audio::kWaveOutWriteFailed));
  RunEnding ending;
  ending.next_in_play_list = true;
  EndRun(ending);
}

// ---- the steps of a start ----

// Undoes a start that failed. An open output device is closed first, so no
// block it holds comes back while the failure shows; the controls and the
// meter the start had taken over come back.
void AbandonPlaybackStart() {
  if (transport.run.wave_out && OnMemory()) ShowMeterMessage(nullptr);  // "Reading file"
  RunEnding ending;
  ending.report = RunReport::kNone;
  EndRun(ending);
}

// Sizes the run's buffers and puts the playing rate into the format record.
bool PreparePlaybackRun() {
  OwnedRun().buffer_count = ChooseBufferCount(app.settings.OnMem, current_file.disk_bytes);
  bool ready = ComputeBufferSizes(current_file.pFormat);
  TakeDeviceRecord();
  if (ready && !ApplyRateToFormat()) {
    ShowFailure(PickId(IDS_NO_SUPPORT, ja::audio::kNoPlayDriver));
    ready = false;
  }
  if (!ready) FreeFormatRecord();
  return ready;
}

// Opens the wave output for the run's format; the format record is not
// needed after it.
bool OpenPlaybackDevice(const std::vector<uint8_t>& file_record) {
  const MMRESULT opened = OpenOutputDevice(file_record);
  FreeFormatRecord();
  if (opened == MMSYSERR_NOERROR) return true;
  ReportOpenFailure(opened);
  return false;
}

// Reads the first blocks of the file (on memory the whole of it). The text
// of the failure, or nullptr.
const char* ReadFirstBlocks(FirstBlockCosts& costs, char* failure, size_t size) {
  RunRecord& run = OwnedRun();
  DWORD* block_length = run.playback.block_length;
  std::optional<WaitCursor> wait;
  if (OnMemory()) wait.emplace();
  const DWORD t0 = timeGetTime();
  for (int i = 0; i < run.buffer_count; ++i) {
    block_length[i] = 0;
    transport.block_header[i]->lpData = nullptr;
  }
  for (int i = 0; i < run.buffer_count; ++i) {
    const DWORD bytes = current_file.data_count <= run.buffer_size ? current_file.data_count : run.buffer_size;
    CountSoundTaken(bytes);
    block_length[i] = bytes;
    const LONG got = bytes > 0 ? ReadSoundData(run.block_data[i], static_cast<LONG>(bytes)) : 0;
    if (got != static_cast<LONG>(bytes)) {
      char format[256];
      lstrcpynA(format, PickId(IDS_CANT_READ_DATA, ja::audio::kCantReadData), sizeof format);
      snprintf(failure, size, format, i, static_cast<long>(bytes));
      return failure;
    }
    if (i == 0) costs.read = Elapsed(t0);
  }
  if (OnMemory()) block_length[kMonitorBlock] = 0;
  return nullptr;
}

// Meters a block as it is queued: on memory the display clock starts, when
// streaming the first block is measured to choose the meter's stride (mark:
// when its header was prepared).
void MeterQueuedBlock(HDC dc, int i, DWORD mark, FirstBlockCosts& costs) {
  RunRecord& run = OwnedRun();
  if (OnMemory()) {
    run.timer_interval = DisplayTimerInterval(app.settings.deltatime, current_file.format.rate);
    run.run_start_time = run.pause_time = timeGetTime();
    ShowMeterMessage(nullptr);
    RestartMeterWindow();
    SetMeterStride(1);
    RunDisplayTick(dc, run.run_start_time);
    DrawRunLabels(dc);
  } else if (i == 0) {
    SetMeterStride(1);
    const DWORD before = timeGetTime();
    costs.other = before - mark;
    MeasureBlock(dc, 0, static_cast<long>(run.playback.block_length[0]));
    costs.meter = Elapsed(before);
  }
}

// Hands the blocks read to the device, the last one marked. The text of the
// failure, or nullptr.
const char* QueueFirstBlocks(FirstBlockCosts& costs) {
  RunRecord& run = OwnedRun();
  const DWORD* block_length = run.playback.block_length;
  const DWORD t1 = timeGetTime();
  MainWindowDc window_dc;
  HDC dc = window_dc.get();
  for (int i = 0; i < run.buffer_count && block_length[i] > 0; ++i) {
    WAVEHDR* header = transport.block_header[i];
    ZeroMemory(header, sizeof(WAVEHDR));
    header->lpData = run.block_data[i];
    header->dwBufferLength = OnMemory() ? BeginMemoryPieces(block_length[0]) : block_length[i];
    const bool last =
        ((i < 3 && block_length[i + 1] == 0) || (i == 3 && current_file.data_count == 0)) && !MemoryPiecesLeft();
    header->dwUser = MakeUserWord(i, last);
    if (PrepareOutputHeader(header) != MMSYSERR_NOERROR) {
      return PickId(IDS_HEADER_FAILED, ja::audio::kHeaderFailed);
    }
    costs.prepare = Elapsed(t1);
    MeterQueuedBlock(dc, i, timeGetTime(), costs);

    const DWORD before_write = timeGetTime();
    if (waveOutWrite(run.wave_out, header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
      return PickId(IDS_WAVEOUTWRITE_FAILED, ja::audio::kWaveOutWriteFailed);
    }
    ++run.queued_blocks;
    costs.write = Elapsed(before_write);

    if (OnMemory()) {
      if (!QueueFurtherMemoryPieces()) return PickId(IDS_WAVEOUTWRITE_FAILED, ja::audio::kWaveOutWriteFailed);
      SetTimer(app.main_window, kDisplayTimer, run.timer_interval, nullptr);
      run.run_start_time = run.pause_time = timeGetTime();
    } else if (i == 0) {
      SetMeterStride(InitialPlayStride(app.settings.deltatime, current_file.format.rate, app.rate_steps, costs));
    }
  }
  return nullptr;
}

}  // namespace

void StartPlayback() {
  BeginRunRecord();
  ResetRunLevels();
  if (!AllocateHeaderBlocks()) return;
  if (!current_file.file_mmio || !current_file.pFormat) {
    CloseSoundFile();
    if (!OpenForPlay()) {
      // The open has cleaned up after itself; Info has nothing left to show.
      SetIdleControls(true);
      return;
    }
  }
  // The meter (and a playback that converts the file itself) converts the
  // file's own format; the rate changes the record.
  const uint8_t* record = reinterpret_cast<const uint8_t*>(current_file.pFormat);
  const std::vector<uint8_t> file_record(record, record + current_file.format_size);
  OpenDecodedLevels(file_record.data(), file_record.size());
  if (!PreparePlaybackRun() || !OpenPlaybackDevice(file_record)) {
    AbandonPlaybackStart();
    return;
  }

  if (OnMemory()) ShowMeterMessage(PickId(IDS_READING_FILE, ja::audio::kReadingFile));
  SetIdleControls(false);
  if (!AllocateDataBlocks()) {
    AbandonPlaybackStart();
    return;
  }
  RunRecord& run = OwnedRun();
  // Layer-3 blocks are not paced: the codec asks for them at its own pace.
  run.pacing_wait = PlayPacingWait(app.settings.deltatime, current_file.format.rate, app.rate_steps, app.windows_version);
  if (!WorthPacing(run.pacing_wait) || current_file.format.format_tag == WAVE_TAG_MPEGLAYER3) run.pacing_wait = 0;
  if (!current_file.format.layout.direct && app.windows_version >= kWindows395) {
    OpenMixerMeter();
    ForgetMixerNotices();
  }

  FirstBlockCosts costs;
  char read_failure[300];
  const char* failure = ReadFirstBlocks(costs, read_failure, sizeof read_failure);
  if (!failure) {
    run.Start(false);
    SetRunPriority(RunPriority::kRaised);
    failure = QueueFirstBlocks(costs);
  }
  if (failure) {
    AbandonPlaybackStart();
    ShowFailure(failure);
    return;
  }
  SetRunControls(true);
  WatchPlaybackRun();
}

void OnPlayBlockDone(WAVEHDR* header) {
  RunRecord& run = OwnedRun();
  if (!run.takes_blocks()) return;
  if (!IsOwnHeader(header)) return;
  run.watch.last_sign_of_life = timeGetTime();
  if (OnMemory()) {
    switch (MemoryPieceReturned(header)) {
      case PieceReturn::kPlaying:
        return;
      case PieceReturn::kFailed:
        EndRunOnRefusedPiece();
        return;
      case PieceReturn::kEnded:
        break;  // the end of the run: on memory nothing is refilled
    }
  }

  if (run.pacing_wait != 0) PaceBuffer(run.pacing_wait);
  const DWORD start = timeGetTime();

  const int index = BlockIndexOf(static_cast<uint32_t>(header->dwUser));
  if (index >= kBlockCount) return;
  DWORD* block_length = run.playback.block_length;
  const bool last = IsLastBlock(static_cast<uint32_t>(header->dwUser)) || OnMemory();
  run.current_block = (run.current_block + 1) % kBlockCount;
  run.played_bytes += block_length[index];
  if (run.queued_blocks > 0) --run.queued_blocks;

  const DWORD bytes = current_file.data_count < run.buffer_size ? current_file.data_count : run.buffer_size;
  block_length[index] = bytes;

  if (!run.wave_out) return;
  waveOutUnprepareHeader(run.wave_out, header, sizeof(WAVEHDR));
  header->lpData = nullptr;

  {
    MainWindowDc window_dc;
    HDC dc = window_dc.get();
    if (OnMemory()) {
      char text[64];
      FormatMemoryPlayPosition(text, sizeof text, current_file.format.blockalign, run.buffer_size, current_file.format.BytesPerSec);
      TextOutA(dc, 9 * app.cell_width, 7 * app.cell_height, text, lstrlenA(text));
    } else {
      ShowRunPosition(dc);
    }
    CountSoundTaken(bytes);

    if (!last) {
      MeasureBlock(dc, run.current_block, static_cast<long>(block_length[run.current_block]));
      if (bytes > 0) {
        RefillBlock(header, index, bytes);
        AdaptRunStride(start);
      }
      if (run.queued_blocks > 0) return;
    }
  }
  RunEnding ending;
  ending.next_in_play_list = true;
  EndRun(ending);
}

void StopPlayback() {
  EndRun(RunEnding{});
}

void OnPlaybackWatchTimer() {
  RunRecord& run = OwnedRun();
  if (transport.mode != MODE_PLAY || !run.under_way() || !run.wave_out) {
    KillTimer(app.main_window, kPlayWatchTimer);
    return;
  }
  DeviceWatch& watch = run.watch;
  const DWORD now = timeGetTime();
  // A paused device holds its blocks by right; a device whose position
  // moves is playing them.
  const uint64_t position = DevicePosition();
  if (run.paused() || (position != watch.last_position && position != ~0ull)) watch.last_sign_of_life = now;
  watch.last_position = position;
  if (now - watch.last_sign_of_life <= watch.stall_limit_ms) return;
  KillTimer(app.main_window, kPlayWatchTimer);
  if (OnMemory()) KillTimer(app.main_window, kDisplayTimer);
  // Closed first, so that nothing the device does while the message shows
  // counts; a lost device keeps the blocks it holds (CloseOutputDevice).
  CloseOutputDevice();
  ShowFailure(Pick(en::audio::kPlaybackStalled, ja::audio::kPlaybackStalled));
  RunEnding ending;
  ending.next_in_play_list = true;
  EndRun(ending);
}
