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
// Without a device position the blocks handed back stand in for it. A
// dropout is a stretch of judgements, one after the other, in which the lag
// rose; all it lost is counted, however little each judgement lost. Portable.
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
  // Observations a lag must last to be judged (a lag of one or two is the
  // device or the program late, not sound lost).
  static constexpr size_t kWindow = 3;
  // The least lag counted: a lag up to this that comes and goes (the
  // device's delivery late on a busy machine, up to 30 ms) or stays (its
  // latency moved, by 10 ms) is not sound lost. More is counted, whether it
  // came in one step or in several small ones, each judgement after the
  // other (a machine that loses a few ms at every block).
  static constexpr double kLeastLossMs = 40.0;
  // A lag that grows no faster than this share of the time is the sound
  // card's clock against the system's (a slow creep), never sound lost.
  static constexpr double kCreep = 0.001;

  // A new run at this rate: nothing counted.
  void Reset(uint32_t frames_per_second);
  // The device was reset (pause, continue) or the run was paused: position
  // and clock are taken afresh at the next observation.
  void Restart();
  // True when this observation counted a dropout or added to one.
  bool Observe(const DropoutObservation& seen);
  // The input delivered nothing for a while (it stopped and was started
  // again): `frames` of it are lost, at this run position; one dropout, or
  // more of the last one (`continues`). The next observation is taken afresh.
  void CountSilence(uint64_t frames, uint64_t run_frames, bool continues = false);

  const DropoutTally& tally() const { return tally_; }

 private:
  // A measure that stays at its floor while nothing is lost, up to some lag
  // that passes, and rises by what is lost: its level is the least of its
  // last kWindow values. The floor follows the level down at once, and up
  // by the creep a judgement allows; a level above the floor by more than a
  // threshold is sound lost, and the floor is moved up to it.
  class Lag {
   public:
    void Clear();
    // What one judgement found.
    struct Loss {
      double frames = 0.0;     // to add to what was lost (less than 0: to take back)
      bool starts = false;     // they begin a new dropout
      uint64_t at = 0;         // the run position of the first value judged
    };
    // `creep`: the rise this judgement allows as creep (frames); `now`:
    // judged on this value alone (the device ran with nothing to fill).
    Loss Judge(double value, uint64_t run_frames, double threshold, double creep, bool now);

   private:
    struct Value {
      double frames;
      uint64_t run_frames;
    };
    std::vector<Value> window_;
    double floor_ = 0.0;
    double level_ = 0.0;       // at the last judgement (the first value of a window is 0)
    double earlier_level_ = 0.0;  // at the one before
    bool rising_ = false;      // the last judgement's level rose: a stretch is under way
    bool counted_ = false;     // the dropout it belongs to has been counted
    double crept_ = 0.0;       // creep the floor took while the level stayed above it
    // What the last count added that a fall of the level soon after may
    // take back: a count is judged at a level that holds the jitter of that
    // moment, and the jitter passes.
    double takeable_ = 0.0;
    size_t since_count_ = 0;   // judgements since the last count
  };

  void Count(const Lag::Loss& loss);

  uint32_t rate_ = 0;
  DropoutTally tally_;
  double lost_frames_ = 0.0;
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
