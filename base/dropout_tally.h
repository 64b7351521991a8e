// What a recording run lost: how many dropouts, the frames lost in all, and
// where the first of them are. Counted by the recording (audio/dropouts.h),
// shown by the status line and the report at the end. Portable.
#pragma once
#include <cstdint>
#include <vector>

struct DropoutTally {
  uint32_t count = 0;
  uint64_t frames = 0;
  // Seconds of sound the run had recorded before each of the first dropouts.
  std::vector<uint32_t> at_seconds;
};
