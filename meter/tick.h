// The arithmetic of the display timer's tick in on-memory runs: the device
// position in ms, the byte offset of the sound now passing the converters and
// the stretch of the memory block to meter.
#pragma once
#include <cstdint>

#include "base/windows_version.h"

// Position types of the wave device (the wType of a system MMTIME).
constexpr unsigned TICK_TIME_MS = 0x0001;
constexpr unsigned TICK_TIME_SAMPLES = 0x0002;
constexpr unsigned TICK_TIME_BYTES = 0x0004;

struct TickPosition {
  double ms = 0.0;
  bool estimated = false;  // elapsed clock time instead of a device position
  // Counted in the file's bytes or samples. Otherwise the ms run with the
  // clock (the device's ms too), faster or slower than the file at a rate.
  bool file_time = false;
};

// The device's answer as ms. A failed query, an unknown type, or bytes or
// samples without a byte rate or sample rate to convert them with fall back
// to the time since the run started.
TickPosition ConvertDevicePosition(bool query_ok, unsigned type, uint32_t value, uint32_t now,
                                   uint32_t run_start_time, uint32_t BytesPerSec, uint32_t rate);

// Time played in the file after clock_ms of playback at the playing rate.
double FileTimeOfPlayback(double clock_ms, int rate_steps);

// Very old systems report a position that does not move between their
// updates; the tick then adds the clock time since it last saw it change.
struct StalledPositionState {
  double last_position = -1.0;
  uint32_t last_time = 0;
};
double CompensateStalledPosition(StalledPositionState& state, double position_ms, uint32_t now);

struct TickInputs {
  bool recording = false;
  unsigned windows_version = kWindows400;
  int rate_steps = 0;
  uint32_t BytesPerSec = 0;
  uint32_t rate = 0;  // samples per second
  int blockalign = 1;
  uint32_t unit_size = 0;
  uint32_t buffer_size = 0;
  uint32_t data_total = 0;
  uint32_t free_bytes = 0;
};

struct TickFrame {
  double position_ms = 0.0;  // to display and to test the time limit with
  long long offset = 0;      // byte offset in the memory block of the sound to meter
  bool has_offset = false;   // false without a byte rate
};

// Steps from the device position to the displayed position and the offset:
// a recording adds what earlier memory blocks already wrote and looks back by
// the device's latency; a playback position in clock time follows the rate.
TickFrame ComputeTickFrame(const TickInputs& in, TickPosition position);

struct LevelWindow {
  bool measure = false;  // false: nothing to meter on this tick
  long long start = 0;
  long long end = 0;
};

// The stretch of the memory block to meter: one display unit ending at the
// offset, joined to what the previous tick metered (metered_end). While the
// position runs backwards nothing is metered until it passes metered_end.
LevelWindow ComputeLevelWindow(long long offset, uint32_t buffer_size, uint32_t unit_size, int blockalign, bool pcm,
                               long long metered_end);
