// Adaptation of the meter's sampling stride to the processing load: blocks that
// arrive late make the meter look at fewer frames, spare time makes it look at
// more.
#pragma once
#include <cstdint>

struct StridePeriodInputs {
  uint32_t deltatime = 4096;  // buffer length unit of the settings
  uint32_t rate = 0;          // samples per second (In11025Family: the buffer time)
  bool recording = false;     // otherwise playing
  int rate_steps = 0;         // playing rate, tenths of a semitone
  bool on_memory = false;     // one memory block, metered by the display timer
};

// The expected period between two handled blocks in ms, as an integer: the
// buffer duration (shortened or lengthened by the playing rate), then for
// on-memory runs 1.2 times that but at least 55. Returns 0 when the buffer
// duration rounds to 0 ms (a deltatime far below anything the Option dialog
// offers): there is then nothing to adapt to.
int ExpectedPeriodMs(const StridePeriodInputs& inputs);

// The stride after a block: `interval` is the time since the previous block's
// start, `work` the time this block's handling took (both ms, signed), `t` the
// expected period (above 0).
uint32_t AdaptedStride(uint32_t stride, int32_t interval, int32_t work, int t, bool recording);
