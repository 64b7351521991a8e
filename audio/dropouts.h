// Counting the sound a streaming recording lost: stretches of input the
// device captured that never reached a block (the program, held up, gave the
// device nothing to fill; the sound server or the driver fell behind). Each
// block the device hands back while the recording runs is an observation:
// - the device's position against the clock: a device that delivers what it
//   captures (Wine's does) falls behind the clock by what it lost; the clock
//   is the system's, so the lag is judged only over a few blocks at a time,
//   and a slow creep (the sound card's clock against the system's) is taken
//   as the new normal, never counted;
// - the device's position against the blocks it handed back: a device that
//   counts everything it captured is ahead of them, beyond what the blocks
//   still queued can hold, by what it lost;
// - a block handed back with no other queued behind it: the device ran with
//   nothing to fill, so the next observation is judged at once.
// Without a device position the blocks handed back stand in for it. Portable.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/dropout_tally.h"

struct DropoutObservation {
  uint32_t now_ms = 0;           // the ms clock when the block was taken back
  bool has_position = false;     // device_frames holds the device's position
  uint32_t device_frames = 0;    // frames the device delivered since it was started (wraps at 2^32)
  uint32_t block_frames = 0;     // frames of this block (a full one)
  uint32_t waiting_frames = 0;   // frames of other blocks the device handed back, not yet taken
  uint64_t run_frames = 0;       // frames the run had recorded before this block
  bool starved = false;          // no block is left queued in the device
};

class DropoutCounter {
 public:
  // Places kept in at_seconds.
  static constexpr size_t kMaxPlaces = 8;
  // Observations a lag must last to count (a lag of one or two is the
  // device or the program late, not sound lost).
  static constexpr size_t kWindow = 3;
  // The least loss counted: less is within what a device's delivery varies
  // by on a busy machine (Wine's, in packets of 10 ms, late by one or two).
  static constexpr double kLeastLossMs = 20.0;

  // A new run at this rate: nothing counted.
  void Reset(uint32_t frames_per_second);
  // The device was reset (pause, continue) or the run was paused: position
  // and clock are taken afresh at the next observation.
  void Restart();
  // True when this observation counted a dropout.
  bool Observe(const DropoutObservation& seen);

  const DropoutTally& tally() const { return tally_; }

 private:
  // A measure that stays at its floor while nothing is lost, up to some lag
  // that passes, and steps up by what is lost: judged by the least of its
  // last kWindow values against the floor.
  class Lag {
   public:
    void Clear() {
      window_.clear();
      floor_ = 0.0;
    }
    // The frames lost when the least recent value is above the floor by more
    // than `threshold` (0: none); `at` is then the run position of the first
    // value of the window. Whatever the least value is, it is the floor from
    // then on. `now`: judged on this value alone.
    double Judge(double value, uint64_t run_frames, double threshold, bool now, uint64_t* at);

   private:
    struct Value {
      double frames;
      uint64_t run_frames;
    };
    std::vector<Value> window_;
    double floor_ = 0.0;
  };

  void Count(double frames, uint64_t run_frames);

  uint32_t rate_ = 0;
  DropoutTally tally_;
  // Since the last restart.
  bool anchored_ = false;
  bool had_position_ = false;
  uint32_t last_ms_ = 0, last_position_ = 0;
  uint64_t elapsed_ms_ = 0;
  uint64_t delivered_ = 0;  // device frames since the anchor
  uint64_t received_ = 0;   // frames of the blocks taken back since the anchor
  uint32_t anchor_waiting_ = 0;
  bool starved_ = false;
  Lag behind_clock_;   // the device (or the blocks) against the clock
  Lag ahead_of_blocks_;  // the device's position against the blocks
};
