#include "audio/dropouts.h"

#include <algorithm>
#include <cmath>

void DropoutCounter::Reset(uint32_t frames_per_second) {
  rate_ = frames_per_second;
  tally_ = DropoutTally();
  Restart();
}

void DropoutCounter::Restart() {
  anchored_ = false;
  starved_ = false;
}

void DropoutCounter::Count(double frames, uint64_t run_frames) {
  ++tally_.count;
  tally_.frames += static_cast<uint64_t>(std::llround(frames));
  if (tally_.at_seconds.size() < kMaxPlaces && rate_ != 0) {
    tally_.at_seconds.push_back(static_cast<uint32_t>(run_frames / rate_));
  }
}

double DropoutCounter::Lag::Judge(double value, uint64_t run_frames, double threshold, bool now, uint64_t* at) {
  window_.push_back(Value{value - floor_, run_frames});
  if (window_.size() > kWindow || (now && window_.size() > 1)) window_.erase(window_.begin(), window_.end() - (now ? 1 : kWindow));
  if (window_.size() < kWindow && !now) return 0.0;
  double least = window_.front().frames;
  for (const Value& v : window_) least = std::min(least, v.frames);
  *at = window_.front().run_frames;
  floor_ += least;
  for (Value& v : window_) v.frames -= least;
  return least > threshold ? least : 0.0;
}

bool DropoutCounter::Observe(const DropoutObservation& seen) {
  if (rate_ == 0) return false;
  // A device position that jumps further than the clock allows (more than
  // 10 s beyond it) was reset behind the program's back: start afresh.
  const uint32_t moved = seen.device_frames - last_position_;
  const uint32_t clock_moved = seen.now_ms - last_ms_;
  const bool position_jumped =
      anchored_ && seen.has_position && moved > (static_cast<uint64_t>(clock_moved) + 10000) * rate_ / 1000;
  if (!anchored_ || seen.has_position != had_position_ || position_jumped) {
    anchored_ = true;
    had_position_ = seen.has_position;
    last_ms_ = seen.now_ms;
    last_position_ = seen.device_frames;
    elapsed_ms_ = 0;
    delivered_ = received_ = 0;
    anchor_waiting_ = seen.waiting_frames;
    behind_clock_.Clear();
    ahead_of_blocks_.Clear();
    uint64_t unused = 0;
    behind_clock_.Judge(0.0, seen.run_frames, 0.0, false, &unused);
    ahead_of_blocks_.Judge(0.0, seen.run_frames, 0.0, false, &unused);
    starved_ = seen.starved;
    return false;
  }
  elapsed_ms_ += clock_moved;
  last_ms_ = seen.now_ms;
  received_ += seen.block_frames;
  if (seen.has_position) {
    delivered_ += moved;
    last_position_ = seen.device_frames;
  }
  const bool now = starved_;
  starved_ = seen.starved;
  const double waiting_change = static_cast<double>(seen.waiting_frames) - anchor_waiting_;
  const double received = static_cast<double>(received_) + waiting_change;
  bool counted = false;
  uint64_t at = 0;

  // The device against the clock, read at the same moment: what it delivers
  // falls behind by what it lost. Without a position the blocks handed back
  // stand in for it, short by the part of a block being filled: the least
  // lag that counts is then a block.
  const double delivered = seen.has_position ? static_cast<double>(delivered_) : received;
  const double clock = static_cast<double>(rate_) * static_cast<double>(elapsed_ms_) / 1000.0;
  const double threshold = seen.has_position ? rate_ * kLeastLossMs / 1000.0
                                             : std::max(rate_ * kLeastLossMs / 1000.0,
                                                        static_cast<double>(seen.block_frames));
  if (const double lost = behind_clock_.Judge(clock - delivered, seen.run_frames, threshold, now, &at)) {
    Count(lost, at);
    counted = true;
  }
  // A device that counts all it captured runs ahead of the blocks by what it
  // lost; the part of a block being filled may be anywhere in a block.
  if (seen.has_position) {
    if (const double lost = ahead_of_blocks_.Judge(static_cast<double>(delivered_) - received, seen.run_frames,
                                                   static_cast<double>(seen.block_frames), now, &at)) {
      Count(lost, at);
      counted = true;
    }
  }
  return counted;
}
