// The level meter's state: holds, maximum, clip count and the sampling stride.
// Portable, so the measurement arithmetic can be tested anywhere.
#pragma once
#include <cstdint>

struct MeterState {
  uint32_t meter_stride = 4;      // examine every meter_stride-th frame
  uint32_t hold_left = 0;         // peak hold of the left (or mono) channel, level units
  uint32_t hold_right = 0;
  uint32_t max_level = 0;         // highest level of the run, any channel
  int32_t over_count = 0;         // measured blocks whose peak reached the clip threshold
  uint32_t last_buffer_time = 0;  // start time of the block of the previous AdaptStride
  long metered_end = 0;           // end of the memory-block window measured by the last tick
};
