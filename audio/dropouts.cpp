#include "audio/dropouts.h"

#include <algorithm>
#include <cmath>

void DropoutCounter::Reset(uint32_t frames_per_second) {
  rate_ = frames_per_second;
  tally_ = DropoutTally();
  lost_frames_ = 0.0;
  Restart();
}

void DropoutCounter::Restart() {
  anchored_ = false;
  starved_ = false;
}

void DropoutCounter::Count(const Lag::Loss& loss) {
  if (loss.starts) {
    ++tally_.count;
    if (tally_.at_seconds.size() < kMaxPlaces && rate_ != 0) {
      tally_.at_seconds.push_back(static_cast<uint32_t>(loss.at / rate_));
    }
  }
  lost_frames_ = std::max(0.0, lost_frames_ + loss.frames);
  tally_.frames = static_cast<uint64_t>(std::llround(lost_frames_));
}

void DropoutCounter::CountSilence(uint64_t frames, uint64_t run_frames, bool continues) {
  Lag::Loss loss;
  loss.frames = static_cast<double>(frames);
  loss.starts = !continues || tally_.count == 0;
  loss.at = run_frames;
  Count(loss);
  Restart();
}

void DropoutCounter::Lag::Clear() {
  window_.clear();
  floor_ = level_ = earlier_level_ = crept_ = takeable_ = 0.0;
  rising_ = counted_ = false;
  since_count_ = 0;
}

DropoutCounter::Lag::Loss DropoutCounter::Lag::Judge(double value, uint64_t run_frames, double threshold, double creep,
                                                     bool now) {
  Loss loss;
  window_.push_back(Value{value, run_frames});
  if (window_.size() > kWindow || (now && window_.size() > 1)) window_.erase(window_.begin(), window_.end() - (now ? 1 : kWindow));
  if (window_.size() < kWindow && !now) return loss;
  double level = window_.front().frames;
  for (const Value& v : window_) level = std::min(level, v.frames);
  // A stretch is the judgements, one after the other, whose level rose above
  // the lower of the two before (the jitter may hide a small loss from one
  // judgement to the next, not over two).
  rising_ = level - std::min(level_, earlier_level_) > creep;
  earlier_level_ = level_;
  level_ = level;
  ++since_count_;

  const double rise = level - floor_;
  if (rise <= creep) {
    // Nothing lost: a creep is the new normal, and a fall is followed at
    // once. A dropout ends here, once its stretch has: what the level held
    // above the floor until now was its own. A fall soon after a count was
    // the jitter of the level it was judged at: taken back from it.
    if (!rising_) counted_ = false;
    if (rise < 0.0 && since_count_ <= 2 * kWindow && takeable_ > 0.0) {
      const double back = std::min(-rise, takeable_);
      takeable_ -= back;
      loss.frames = -back;
    }
    floor_ = level;
    crept_ = 0.0;
    return loss;
  }
  if (rise <= threshold) {
    // Not yet a loss: the floor creeps up towards the level, and what it
    // took is counted with the rise should this become one.
    floor_ += creep;
    crept_ += creep;
    return loss;
  }
  loss.frames = rise + crept_;
  loss.starts = !counted_;
  loss.at = window_.front().run_frames;
  counted_ = true;
  floor_ = level;
  crept_ = 0.0;
  takeable_ = rise;
  since_count_ = 0;
  return loss;
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
    behind_clock_.Judge(0.0, seen.run_frames, 0.0, 0.0, false);
    ahead_of_blocks_.Judge(0.0, seen.run_frames, 0.0, 0.0, false);
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
  // The creep one judgement allows: its share of the time since the last.
  const double creep = kCreep * rate_ * clock_moved / 1000.0;
  bool counted = false;

  // The device against the clock, read at the same moment: what it delivers
  // falls behind by what it lost. Without a position the blocks handed back
  // stand in for it, short by the part of a block being filled: the least
  // lag that counts is then a block.
  const double delivered = seen.has_position ? static_cast<double>(delivered_) : received;
  const double clock = static_cast<double>(rate_) * static_cast<double>(elapsed_ms_) / 1000.0;
  const double least = rate_ * kLeastLossMs / 1000.0;
  const double threshold = seen.has_position ? least : std::max(least, static_cast<double>(seen.block_frames));
  const Lag::Loss late = behind_clock_.Judge(clock - delivered, seen.run_frames, threshold, creep, now);
  if (late.frames != 0.0) {
    Count(late);
    counted = late.frames > 0.0;
  }
  // A device that counts all it captured runs ahead of the blocks by what it
  // lost; the part of a block being filled may be anywhere in a block.
  if (seen.has_position) {
    const Lag::Loss ahead = ahead_of_blocks_.Judge(static_cast<double>(delivered_) - received, seen.run_frames,
                                                   static_cast<double>(seen.block_frames), creep, now);
    if (ahead.frames != 0.0) {
      Count(ahead);
      counted = counted || ahead.frames > 0.0;
    }
  }
  return counted;
}
