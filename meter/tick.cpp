#include "meter/tick.h"

#include <algorithm>

#include "base/format_record.h"
#include "base/playing_rate.h"
#include "base/windows_version.h"

TickPosition ConvertDevicePosition(bool query_ok, unsigned type, uint32_t value, uint32_t now,
                                   uint32_t run_start_time, uint32_t BytesPerSec, uint32_t rate) {
  TickPosition position;
  if (query_ok && type == TICK_TIME_MS) {
    position.ms = value;
  } else if (query_ok && type == TICK_TIME_BYTES && BytesPerSec != 0) {
    position.ms = value * 1000.0 / BytesPerSec;
    position.file_time = true;
  } else if (query_ok && type == TICK_TIME_SAMPLES && rate != 0) {
    position.ms = value * 1000.0 / rate;
    position.file_time = true;
  } else {
    // A start time just ahead of the clock counts as no time.
    int32_t elapsed = static_cast<int32_t>(now - run_start_time);
    position.ms = elapsed > 0 ? elapsed : 0;
    position.estimated = true;
  }
  return position;
}

double CompensateStalledPosition(StalledPositionState& state, double position_ms, uint32_t now) {
  if (position_ms == state.last_position) return position_ms + static_cast<double>(now - state.last_time);
  state.last_position = position_ms;
  state.last_time = now;
  return position_ms;
}

double FileTimeOfPlayback(double clock_ms, int rate_steps) { return clock_ms * RateFactor(rate_steps); }

TickFrame ComputeTickFrame(const TickInputs& in, TickPosition position) {
  TickFrame frame;
  frame.position_ms = position.ms;
  // A playback shows time in the file, as the streaming position does; the
  // device opened at the rate counts its ms as the clock does.
  if (!in.recording && !position.file_time) frame.position_ms = FileTimeOfPlayback(position.ms, in.rate_steps);
  if (in.BytesPerSec == 0) return frame;
  if (in.recording) {
    // Frames the converter holds before the device reports them.
    long long latency_frames;
    if (in.windows_version < kWindows312) {
      latency_frames = position.estimated ? 4096 : 1856;
    } else {
      latency_frames = position.estimated ? 2432 : 1344;
    }
    // What earlier fillings of the memory block already wrote.
    long long written = static_cast<long long>(in.data_total) - in.buffer_size;
    if (!position.estimated) frame.position_ms += written * 1000.0 / in.BytesPerSec;
    // The latency grows with the rate: frames of 8000 or 11025 Hz.
    long long k = In11025Family(in.rate) ? in.rate / 11025 : in.rate / 8000;
    frame.offset = static_cast<long long>(in.BytesPerSec * frame.position_ms / 1000.0) - in.unit_size -
                   latency_frames * in.blockalign * k - written;
    if (in.BytesPerSec * frame.position_ms / 1000.0 > in.free_bytes) frame.position_ms = in.free_bytes * 1000.0 / in.BytesPerSec;
  } else {
    frame.offset = static_cast<long long>(in.BytesPerSec * frame.position_ms / 1000.0);
  }
  frame.has_offset = true;
  return frame;
}

LevelWindow ComputeLevelWindow(long long offset, uint32_t buffer_size, uint32_t unit_size, int blockalign, bool pcm,
                               long long metered_end) {
  LevelWindow window;
  long long g = offset;
  if (blockalign > 1) g -= g % blockalign;
  long long remaining = static_cast<long long>(buffer_size) - g;
  if (remaining <= 0) return window;
  long long length = unit_size;
  if (g < 0) {
    length += g;
    g = 0;
  }
  if (length <= 0) return window;
  length = std::min(length, remaining);
  if (pcm && blockalign > 1) length -= length % blockalign;
  long long end = g + length;
  if (end > metered_end) {
    window.start = metered_end;
  } else {
    window.start = 0;
    if (metered_end != 0) return window;
  }
  window.end = end;
  window.measure = true;
  return window;
}
