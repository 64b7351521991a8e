#include "audio/sound_trigger.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace {

// Magnitudes are on one full scale for every width, 2^31 (a full-scale
// negative sample), so one threshold serves them all and wider samples keep
// their precision.
constexpr double kFullScale = 2147483648.0;

uint32_t SampleMagnitude(const uint8_t* sample, unsigned bytes_per_sample) {
  switch (bytes_per_sample) {
    case 1: {
      const int value = int{sample[0]} - 128;
      return static_cast<uint32_t>(value < 0 ? -value : value) << 24;
    }
    default: {
      const int value = static_cast<int16_t>(static_cast<uint16_t>(sample[0] | sample[1] << 8));
      return static_cast<uint32_t>(value < 0 ? -value : value) << 16;
    }
  }
}

uint32_t PeakOf(const uint8_t* data, size_t frames, const TriggerFormat& format) {
  uint32_t peak = 0;
  const size_t samples = frames * format.channels;
  for (size_t k = 0; k < samples; ++k) {
    peak = std::max(peak, SampleMagnitude(data + k * format.bytes_per_sample, format.bytes_per_sample));
  }
  return peak;
}

// The greatest magnitude at or below the level: a peak counts as above the
// level when it is greater than this.
uint32_t ThresholdOf(double dbfs) {
  const double level = std::floor(kFullScale * std::pow(10.0, dbfs / 20.0));
  return level >= kFullScale ? 0x80000000u : static_cast<uint32_t>(level);
}

}  // namespace

bool IsTriggerFormat(const TriggerFormat& format) {
  return format.rate >= 1000 && format.rate <= 384000 && format.channels >= 1 && format.channels <= 8 &&
         (format.bytes_per_sample == 1 || format.bytes_per_sample == 2);
}

bool AreValidTriggerSettings(const TriggerSettings& settings) {
  return settings.start_db >= -90.0 && settings.start_db <= -1.0 && settings.stop_db >= -96.0 &&
         settings.stop_db <= settings.start_db && settings.run_ms >= 10 && settings.run_ms <= 5000 &&
         settings.hang_ms >= 100 && settings.hang_ms <= 600000 && settings.preroll_ms <= kMaxPrerollMs;
}

bool SoundTrigger::Arm(const TriggerSettings& settings, const TriggerFormat& format) {
  if (!IsTriggerFormat(format) || !AreValidTriggerSettings(settings)) return false;
  *this = SoundTrigger();
  armed_ = true;
  format_ = format;
  window_frames_ = format.rate / 100;
  run_windows_ = (settings.run_ms + 9) / 10;
  preroll_frames_ = uint64_t{settings.preroll_ms} * format.rate / 1000;
  hang_frames_ = uint64_t{settings.hang_ms} * format.rate / 1000;
  start_threshold_ = ThresholdOf(settings.start_db);
  stop_threshold_ = ThresholdOf(settings.stop_db);
  return true;
}

bool SoundTrigger::JudgeWindow() {
  const uint32_t peak = window_peak_;
  window_peak_ = 0;
  window_fill_ = 0;
  if (in_event_) {
    // The window ends at fed_, within the event: it continues it.
    if (peak > stop_threshold_) event_end_ = fed_ + hang_frames_;
    return false;
  }
  run_ = peak > start_threshold_ ? run_ + 1 : 0;
  if (run_ < run_windows_) return false;
  run_ = 0;
  onset_ = fed_ - uint64_t{run_windows_} * window_frames_;
  file_start_ = std::max(onset_ > preroll_frames_ ? onset_ - preroll_frames_ : 0, written_to_);
  event_end_ = fed_ + hang_frames_;
  in_event_ = true;
  ++events_;
  return true;
}

TriggerStep SoundTrigger::Feed(const uint8_t* data, size_t frames) {
  TriggerStep step;
  if (!armed_) {
    step.frames_taken = frames;
    return step;
  }
  const size_t frame_bytes = format_.frame_bytes();
  size_t taken = 0;
  while (taken < frames) {
    // Up to the end of the window, or of the event (so an end is met exactly).
    size_t part = std::min<size_t>(frames - taken, window_frames_ - window_fill_);
    if (in_event_) part = static_cast<size_t>(std::min<uint64_t>(part, event_end_ - fed_));
    window_peak_ = std::max(window_peak_, PeakOf(data + taken * frame_bytes, part, format_));
    taken += part;
    fed_ += part;
    window_fill_ += static_cast<uint32_t>(part);
    if (window_fill_ == window_frames_ && JudgeWindow()) {
      step.began = true;
      written_to_ = file_start_;
      break;
    }
    if (in_event_ && fed_ == event_end_) {
      in_event_ = false;
      step.ended = true;
      step.end = fed_;
      break;
    }
  }
  step.frames_taken = taken;
  if (in_event_ || step.ended) {
    step.file_start = file_start_;
    step.onset = onset_;
    step.write_first = written_to_;
    step.write_end = fed_;
    written_to_ = fed_;
  }
  return step;
}

bool PrerollRing::Arm(uint64_t frames, size_t frame_bytes) {
  const uint64_t bytes = frames * frame_bytes;
  if (frames == 0 || frame_bytes == 0 || bytes / frame_bytes != frames || bytes > SIZE_MAX) return false;
  if (bytes > capacity_bytes_ || !bytes_) {
    bytes_.reset(new (std::nothrow) uint8_t[static_cast<size_t>(bytes)]);
    capacity_bytes_ = bytes_ ? static_cast<size_t>(bytes) : 0;
    if (!bytes_) return false;
  }
  capacity_frames_ = frames;
  frame_bytes_ = frame_bytes;
  pushed_ = 0;
  return true;
}

void PrerollRing::Push(const uint8_t* data, size_t frames) {
  if (capacity_frames_ == 0) return;
  const uint64_t first = pushed_;
  pushed_ += frames;
  // Only the last capacity's worth can be kept.
  const uint64_t kept = std::min<uint64_t>(frames, capacity_frames_);
  data += static_cast<size_t>(frames - kept) * frame_bytes_;
  uint64_t at = (first + frames - kept) % capacity_frames_;
  uint64_t left = kept;
  while (left > 0) {
    const uint64_t part = std::min(left, capacity_frames_ - at);
    std::memcpy(bytes_.get() + at * frame_bytes_, data, static_cast<size_t>(part) * frame_bytes_);
    data += static_cast<size_t>(part) * frame_bytes_;
    left -= part;
    at = 0;
  }
}

BytePieces PrerollRing::Pieces(uint64_t first, uint64_t end, const uint8_t* block, uint64_t block_first,
                               size_t block_frames) const {
  BytePieces pieces;
  if (first > end) return pieces;
  const uint64_t oldest = pushed_ - std::min(pushed_, capacity_frames_);
  const uint64_t ring_end = std::min(end, block_first);
  if (first < ring_end && (first < oldest || ring_end > pushed_)) return pieces;
  const uint64_t block_start = std::max(first, block_first);
  if (block_start < end && end > block_first + block_frames) return pieces;
  for (uint64_t at = first; at < ring_end;) {
    const uint64_t index = at % capacity_frames_;
    const uint64_t part = std::min(ring_end - at, capacity_frames_ - index);
    pieces.data[pieces.count] = bytes_.get() + index * frame_bytes_;
    pieces.size[pieces.count++] = static_cast<size_t>(part) * frame_bytes_;
    at += part;
  }
  if (block_start < end) {
    pieces.data[pieces.count] = block + static_cast<size_t>(block_start - block_first) * frame_bytes_;
    pieces.size[pieces.count++] = static_cast<size_t>(end - block_start) * frame_bytes_;
  }
  pieces.ok = true;
  return pieces;
}
