// Recorded sound into the current file and its series, the run's totals and
// its dropouts.
#include "audio/recorded_sound_win32.h"

#include "audio/transport_math.h"
#include "audio/transport_state_win32.h"
#include "base/app_state_win32.h"
#include "base/ui_text_win32.h"
#include "resources/ja_audio.h"
#include "resources/resource_ids.h"
#include "sound_files/current_file_win32.h"
#include "sound_files/recording_file_win32.h"

// The largest file of a series. The fault build (tests/wine/fault_build.h)
// lowers it, so that a test can record a series in seconds.
#ifndef TAPEON_RECORDING_FILE_LIMIT
#define TAPEON_RECORDING_FILE_LIMIT kWaveFileLimit
#endif

namespace {

uint64_t run_bytes = 0;
DWORD last_flush = 0;
DropoutCounter dropouts;

bool Streaming() { return transport.buffer_count == STREAMING; }

}  // namespace

void BeginRecordedSound(uint32_t frames_per_second) {
  run_bytes = 0;
  last_flush = timeGetTime();
  dropouts.Reset(frames_per_second);
}

SoundWrite WriteRecordedSound(const char* data, DWORD bytes) {
  SoundWrite result;
  const uint32_t limit = TAPEON_RECORDING_FILE_LIMIT;
  if (Streaming() && current_file.data_count > 0 && FitIntoWaveFile(current_file.data_count, bytes, current_file.format.blockalign, limit) < bytes) {
    result.failure = ContinueInNextFile();
    if (!result.failure.empty()) return result;
    RedrawNameLine();
  }
  // A block larger than a whole file can hold keeps what fits (only a
  // lowered limit makes one).
  const DWORD fit = Streaming() ? FitIntoWaveFile(current_file.data_count, bytes, current_file.format.blockalign, limit) : bytes;
  const LONG written = fit > 0 ? mmioWrite(current_file.file_mmio, data, static_cast<LONG>(fit)) : 0;
  if (written > 0) {
    result.written = WholeBlocks(static_cast<DWORD>(written), current_file.format.blockalign);
    if (result.written < static_cast<DWORD>(written))
      mmioSeek(current_file.file_mmio, -static_cast<LONG>(static_cast<DWORD>(written) - result.written), SEEK_CUR);
  }
  CountSoundWritten(result.written);
  run_bytes += result.written;
  // A header that cannot be kept true is an I/O error as a short write is.
  bool header_kept = true;
  if (Streaming() && result.written > 0) {
    header_kept = UpdateRecordingHeader();
    const DWORD now = timeGetTime();
    if (now - last_flush >= kFlushIntervalMs) {
      FlushRecordingFile();
      last_flush = now;
    }
  }
  result.whole = result.written == bytes && header_kept;
  if (!result.whole) result.failure = PickId(IDS_DISK_FULL, ja::audio::kDiskFull);
  return result;
}

uint64_t RunRecordedBytes() { return run_bytes; }

DropoutCounter& RunDropouts() { return dropouts; }

const DropoutTally& LiveDropouts() {
  static const DropoutTally none;
  return transport.mode == MODE_REC && transport.run.active() ? dropouts.tally() : none;
}

void RedrawNameLine() {
  if (app.main_window) PostMessageA(app.main_window, kNameLineMessage, 0, 0);
}
