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

// Buffers written to the output device and not yet returned. When a file
// turns out shorter than its data chunk said, no block carries the end mark,
// and the run ends when the last queued block is back.
int queued_blocks = 0;
// Data bytes queued in each block.
DWORD block_length[kBlockCount] = {};
// The pause before a returned block is refilled, fixed for the run (0: none).
DWORD pacing_wait = 0;
// When the device last showed it was playing (handed a block back, moved
// its position, or the run started or was paused), its position then, and
// how long it may go without before the run counts as stalled.
DWORD last_sign_of_life = 0;
uint64_t last_position = 0;
DWORD stall_limit_ms = 0;

bool OnMemory() { return transport.buffer_count == ON_MEMORY; }

DWORD Elapsed(DWORD since) { return timeGetTime() - since; }

// Refuses a failed open of the output device with its message: that of the
// open's format query, except that a device in use is named as sound in use.
void ReportOpenFailure(MMRESULT result) {
  FailureText text = PlayQueryFailureText(result);
  if (result == MMSYSERR_ALLOCATED) text.japanese = ja::audio::kOutputInUse;
  ShowFailure(FailureMessage(text));
}

// What the output device is opened with: the file's format record at the
// playing rate, and the steps a device may need (48000 -> 44100 Hz, mono on
// old systems). The transport's own: the file's record stays as it was read.
std::vector<uint8_t> device_record;

FormatRecord* DeviceFormat() { return reinterpret_cast<FormatRecord*>(device_record.data()); }

// The device record starts as the file's (an extensible one as a device
// takes it), at least as long as the fields a reader may look at (zeroed
// past the file's).
void TakeDeviceRecord() {
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(current_file.pFormat);
  device_record = DeviceRecordOf(bytes, current_file.format_size);
  if (device_record.size() < sizeof(FormatRecord)) device_record.resize(sizeof(FormatRecord), 0);
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
  // Wide PCM goes to a device that takes it as it is, else narrowed here, not
  // through the mapper's conversions: Wine's narrows plain 24-bit PCM to 16
  // bits, and tries for several seconds before it refuses 32-bit PCM.
  const DWORD direct = IsWidePcm(file_record.data(), file_record.size()) ? WAVE_FORMAT_DIRECT : 0;
  for (;;) {
    const MMRESULT result =
        waveOutOpen(&OwnedTransport().wave_out, WAVE_MAPPER, reinterpret_cast<const WAVEFORMATEX*>(DeviceFormat()),
                    reinterpret_cast<DWORD_PTR>(app.main_window), 0, CALLBACK_WINDOW | direct);
    if (FormatRefused(result)) {
      // Opened so, or the device's own failure (in use, no memory) is the
      // answer; only a format no codec converts tries the next rate.
      const MMRESULT converted = OpenConvertedOutput(file_record, DeviceFormat()->wf.nSamplesPerSec);
      if (converted != WAVERR_BADFORMAT) return converted;
    }
    // The steps the open of the file made when it asked the device.
    const QueryStep step = NextPlayQueryStep(result, device_record, app.windows_version);
    if (step == QueryStep::RETRY_44100) {
      DeviceFormat()->wf.nSamplesPerSec = 44100;
      continue;
    }
    if (step == QueryStep::RETRY_MONO) {
      DeviceFormat()->wf.nChannels = 1;
      continue;
    }
    if (result != MMSYSERR_NOERROR) OwnedTransport().wave_out = nullptr;
    return result;
  }
}

// Refills a returned block from the file and queues it again. A read that
// comes up short means the file is shorter than its data chunk: what was read
// is played and nothing more is read.
void RefillBlock(WAVEHDR* header, int index, DWORD bytes) {
  const LONG got = mmioRead(current_file.file_mmio, transport.block_data[index], static_cast<LONG>(bytes));
  if (got < static_cast<LONG>(bytes)) {
    EndSoundData();
    bytes = got > 0 ? static_cast<DWORD>(got) : 0;
    if (current_file.format.format_tag == WAVE_TAG_PCM) bytes = WholeBlocks(bytes, current_file.format.blockalign);
    block_length[index] = bytes;
    if (bytes == 0) return;
  }
  header->lpData = transport.block_data[index];
  header->dwBufferLength = block_length[index];
  header->dwFlags = 0;
  if (current_file.data_count == 0) header->dwUser |= END_MARK;
  if (PrepareOutputHeader(header) != MMSYSERR_NOERROR) {
    header->lpData = nullptr;
    return;
  }
  if (waveOutWrite(transport.wave_out, header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
    waveOutUnprepareHeader(transport.wave_out, header, sizeof(WAVEHDR));
    header->lpData = nullptr;
    return;
  }
  ++queued_blocks;
}

// Where the output device stands in what it was given (in whatever unit it
// answers in), or ~0 when it does not say.
uint64_t DevicePosition() {
  MMTIME time = {};
  time.wType = TIME_BYTES;
  if (!transport.wave_out || waveOutGetPosition(transport.wave_out, &time, sizeof time) != MMSYSERR_NOERROR) return ~0ull;
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
  const DWORD consumed = current_file.format.format_tag == WAVE_TAG_PCM ? current_file.format.rate * current_file.format.blockalign
                                                        : current_file.format.BytesPerSec;
  const DWORD block = OnMemory() && MemoryPieceSize() > 0 ? MemoryPieceSize() : transport.buffer_size;
  stall_limit_ms = PlaybackStallLimitMs(block, consumed, app.rate_steps);
  last_sign_of_life = timeGetTime();
  last_position = DevicePosition();
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
  if (transport.wave_out && OnMemory()) ShowMeterMessage(nullptr);  // "Reading file"
  RunEnding ending;
  ending.report = RunReport::kNone;
  EndRun(ending);
}

// Sizes the run's buffers and puts the playing rate into the format record.
bool PreparePlaybackRun() {
  OwnedTransport().buffer_count = ChooseBufferCount(app.settings.OnMem, current_file.disk_bytes);
  OwnedTransport().played_bytes = 0;
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
  std::optional<WaitCursor> wait;
  if (OnMemory()) wait.emplace();
  const DWORD t0 = timeGetTime();
  for (int i = 0; i < transport.buffer_count; ++i) {
    block_length[i] = 0;
    transport.block_header[i]->lpData = nullptr;
  }
  for (int i = 0; i < transport.buffer_count; ++i) {
    const DWORD bytes = current_file.data_count <= transport.buffer_size ? current_file.data_count : transport.buffer_size;
    CountSoundTaken(bytes);
    block_length[i] = bytes;
    const LONG got = bytes > 0 ? mmioRead(current_file.file_mmio, transport.block_data[i], static_cast<LONG>(bytes)) : 0;
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
  if (OnMemory()) {
    OwnedTransport().timer_interval = DisplayTimerInterval(app.settings.deltatime, current_file.format.rate);
    OwnedTransport().run_start_time = OwnedTransport().pause_time = timeGetTime();
    ShowMeterMessage(nullptr);
    RestartMeterWindow();
    SetMeterStride(1);
    RunDisplayTick(dc, transport.run_start_time);
    DrawRunLabels(dc);
  } else if (i == 0) {
    SetMeterStride(1);
    const DWORD before = timeGetTime();
    costs.other = before - mark;
    MeasureBlock(dc, 0, static_cast<long>(block_length[0]));
    costs.meter = Elapsed(before);
  }
}

// Hands the blocks read to the device, the last one marked. The text of the
// failure, or nullptr.
const char* QueueFirstBlocks(FirstBlockCosts& costs) {
  const DWORD t1 = timeGetTime();
  MainWindowDc window_dc;
  HDC dc = window_dc.get();
  for (int i = 0; i < transport.buffer_count && block_length[i] > 0; ++i) {
    WAVEHDR* header = transport.block_header[i];
    ZeroMemory(header, sizeof(WAVEHDR));
    header->lpData = transport.block_data[i];
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
    if (waveOutWrite(transport.wave_out, header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
      return PickId(IDS_WAVEOUTWRITE_FAILED, ja::audio::kWaveOutWriteFailed);
    }
    ++queued_blocks;
    costs.write = Elapsed(before_write);

    if (OnMemory()) {
      if (!QueueFurtherMemoryPieces()) return PickId(IDS_WAVEOUTWRITE_FAILED, ja::audio::kWaveOutWriteFailed);
      SetTimer(app.main_window, kDisplayTimer, transport.timer_interval, nullptr);
      OwnedTransport().run_start_time = OwnedTransport().pause_time = timeGetTime();
    } else if (i == 0) {
      SetMeterStride(InitialPlayStride(app.settings.deltatime, current_file.format.rate, app.rate_steps, costs));
    }
  }
  return nullptr;
}

}  // namespace

void StartPlayback() {
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
  OwnedTransport().current_block = 0;
  queued_blocks = 0;
  // Layer-3 blocks are not paced: the codec asks for them at its own pace.
  pacing_wait = PlayPacingWait(app.settings.deltatime, current_file.format.rate, app.rate_steps, app.windows_version);
  if (!WorthPacing(pacing_wait) || current_file.format.format_tag == WAVE_TAG_MPEGLAYER3) pacing_wait = 0;
  if (!current_file.format.layout.direct && app.windows_version >= kWindows395) {
    OpenMixerMeter();
    ForgetMixerNotices();
  }

  FirstBlockCosts costs;
  char read_failure[300];
  const char* failure = ReadFirstBlocks(costs, read_failure, sizeof read_failure);
  if (!failure) {
    OwnedTransport().run.Start(false);
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
  if (!transport.run.takes_blocks()) return;
  if (!IsOwnHeader(header)) return;
  last_sign_of_life = timeGetTime();
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

  if (pacing_wait != 0) PaceBuffer(pacing_wait);
  const DWORD start = timeGetTime();

  const int index = BlockIndexOf(static_cast<uint32_t>(header->dwUser));
  if (index >= kBlockCount) return;
  const bool last = IsLastBlock(static_cast<uint32_t>(header->dwUser)) || OnMemory();
  OwnedTransport().current_block = (transport.current_block + 1) % kBlockCount;
  OwnedTransport().played_bytes += block_length[index];
  if (queued_blocks > 0) --queued_blocks;

  const DWORD bytes = current_file.data_count < transport.buffer_size ? current_file.data_count : transport.buffer_size;
  block_length[index] = bytes;

  if (!transport.wave_out) return;
  waveOutUnprepareHeader(transport.wave_out, header, sizeof(WAVEHDR));
  header->lpData = nullptr;

  {
    MainWindowDc window_dc;
    HDC dc = window_dc.get();
    if (OnMemory()) {
      char text[64];
      FormatMemoryPlayPosition(text, sizeof text, current_file.format.blockalign, transport.buffer_size, current_file.format.BytesPerSec);
      TextOutA(dc, 9 * app.cell_width, 7 * app.cell_height, text, lstrlenA(text));
    } else {
      ShowRunPosition(dc);
    }
    CountSoundTaken(bytes);

    if (!last) {
      MeasureBlock(dc, transport.current_block, static_cast<long>(block_length[transport.current_block]));
      if (bytes > 0) {
        RefillBlock(header, index, bytes);
        AdaptRunStride(start);
      }
      if (queued_blocks > 0) return;
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
  if (transport.mode != MODE_PLAY || !transport.run.under_way() || !transport.wave_out) {
    KillTimer(app.main_window, kPlayWatchTimer);
    return;
  }
  const DWORD now = timeGetTime();
  // A paused device holds its blocks by right; a device whose position
  // moves is playing them.
  const uint64_t position = DevicePosition();
  if (transport.run.paused() || (position != last_position && position != ~0ull)) last_sign_of_life = now;
  last_position = position;
  if (now - last_sign_of_life <= stall_limit_ms) return;
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
