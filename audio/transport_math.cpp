#include "audio/transport_math.h"

#include <cmath>
#include <cstdio>

namespace {

constexpr uint32_t kMemoryLimitWithoutSize = 0x80000;  // MemSize 0
// Buffers beyond this cannot be allocated anyway; larger deltatimes are refused
// rather than wrapped round.
constexpr uint64_t kLargestBuffer = 0x40000000;

uint32_t Nearest(double x) { return static_cast<uint32_t>(x + 0.5); }

}  // namespace

BufferMode ChooseBufferCount(int on_mem_setting, uint32_t disk_bytes) {
  return (on_mem_setting != 0 || disk_bytes <= SMALL_DRIVE_LIMIT) ? ON_MEMORY : STREAMING;
}

uint32_t ComputeUnitSize(uint32_t avg, uint32_t sps, uint32_t deltatime) {
  uint64_t unit;
  if (avg % 11025 == 0) {
    unit = static_cast<uint64_t>(avg / 11025) * deltatime;
  } else if (sps == 12000) {
    unit = static_cast<uint64_t>(avg / 8000.0 * deltatime + 0.5);
  } else if (avg % 8000 == 0) {
    unit = static_cast<uint64_t>(avg / 8000) * deltatime;
  } else if (sps % 11025 == 0) {
    unit = static_cast<uint64_t>(avg / 11025.0 * deltatime + 0.5);
  } else {
    unit = static_cast<uint64_t>(avg / 8000.0 * deltatime + 0.5);
  }
  return unit > kLargestBuffer ? static_cast<uint32_t>(kLargestBuffer + 1) : static_cast<uint32_t>(unit);
}

BufferSizing ComputeBufferSizing(const BufferSizingInput& in) {
  BufferSizing out;
  out.blockalign = in.blockalign;
  const bool mpeg = in.format_tag == WAVE_TAG_MPEGLAYER3;
  out.piece_align = mpeg && in.mpeg_block_size > 0 ? static_cast<uint32_t>(in.mpeg_block_size)
                    : in.format_block_align > 0 ? in.format_block_align
                                                : 1;
  if (in.deltatime < kMinimumDeltatime || in.deltatime > kMaximumDeltatime) {
    out.refusal = SizingRefusal::kDeltatime;
    return out;
  }
  // A format without a byte rate (an Ogg Vorbis stream whose encoder gave no
  // nominal bitrate) is sized by its decoded rate, samples times block size:
  // exact for PCM, more than a compressed stream needs.
  uint64_t avg = in.avg_bytes_per_sec;
  if (avg == 0) avg = static_cast<uint64_t>(in.samples_per_sec) * in.format_block_align;
  if (avg == 0 || avg > 0xFFFFFFFFu) {
    out.refusal = SizingRefusal::kFormat;
    return out;
  }
  out.unit_size = ComputeUnitSize(static_cast<uint32_t>(avg), in.samples_per_sec, in.deltatime);
  if (out.unit_size == 0 || out.unit_size > kLargestBuffer) {
    out.refusal = SizingRefusal::kDeltatime;
    return out;
  }

  if (in.buffer_count == STREAMING) {
    if (mpeg) {
      int block = in.mpeg_block_size >= 0 ? in.mpeg_block_size : in.format_block_align;
      if (in.shift_down) block += 1;
      if (in.control_down) block = 512;
      out.blockalign = static_cast<int16_t>(block);
    }
    if (out.blockalign <= 0) {
      out.refusal = SizingRefusal::kFormat;
      return out;
    }
    const uint32_t align = static_cast<uint32_t>(out.blockalign);
    uint32_t size = out.unit_size;
    if (size % align != 0) {
      size -= size % align;
      if (size % 2 != 0) size += align;
      if (mpeg && (size / align) % 2 != 0) size += align;
    }
    out.buffer_size = size;
    if (size == 0) out.refusal = SizingRefusal::kDeltatime;
    return out;
  }

  if (out.blockalign <= 0) {
    out.refusal = SizingRefusal::kFormat;
    return out;
  }
  const uint64_t limit =
      in.mem_size <= 0 ? kMemoryLimitWithoutSize : static_cast<uint64_t>(in.mem_size) * 1048576;
  uint32_t size = in.data_total < limit ? in.data_total : static_cast<uint32_t>(limit);
  // A recording's memory block ends on a frame boundary, so a full block never
  // leaves half a frame in the file.
  if (in.recording) size -= size % static_cast<uint32_t>(out.blockalign);
  if (in.windows_version <= kWindows311 && (size & 0xFFFF) == 0 && size > in.format_block_align) {
    size -= in.format_block_align;
  }
  out.buffer_size = size;
  if (size == 0) out.refusal = SizingRefusal::kNoRoom;
  return out;
}

double BufferPeriodMs(uint32_t deltatime, uint32_t rate) {
  if (!In11025Family(rate)) return static_cast<double>(deltatime / 8);
  return deltatime / 11.025;
}

uint32_t RecordPacingWait(uint32_t deltatime, uint32_t rate) {
  uint32_t wait = static_cast<uint32_t>(BufferPeriodMs(deltatime, rate) * 0.78 + 0.5);
  if (wait > 400) wait = 400;
  if (wait < 100) wait /= 2;
  return wait;
}

uint32_t PlayPacingWait(uint32_t deltatime, uint32_t rate, int rate_steps, unsigned windows_version) {
  double scaled = BufferPeriodMs(deltatime, rate) * RateFactor(-rate_steps) * 0.88;
  uint32_t wait = scaled >= 400.0 ? 400 : Nearest(scaled);
  if (wait > 400) wait = 400;
  const uint32_t short_wait = windows_version < kWindows395 ? 50 : 113;
  if (wait <= short_wait) wait = static_cast<uint32_t>(wait * 0.66);
  return wait;
}

uint32_t PlaybackStallLimitMs(uint32_t block_bytes, uint32_t bytes_per_sec, int rate_steps) {
  constexpr double kSlowestStream = 1000.0;  // bytes per second: 8 kbit/s
  constexpr double kBlocks = 4.0;
  constexpr double kSlackMs = 10000.0;
  const double rate = bytes_per_sec != 0 ? bytes_per_sec : kSlowestStream;
  const double limit = kBlocks * block_bytes * 1000.0 / rate / RateFactor(rate_steps) + kSlackMs;
  return limit < 4294967295.0 ? static_cast<uint32_t>(limit) : 0xFFFFFFFFu;
}

uint32_t RecordStallLimitMs(uint32_t block_bytes, uint32_t bytes_per_sec) {
  constexpr double kBlocks = 4.0;
  constexpr double kSlackMs = 4000.0;
  const double limit = kBlocks * block_bytes * 1000.0 / (bytes_per_sec != 0 ? bytes_per_sec : 1) + kSlackMs;
  return limit < 4294967295.0 ? static_cast<uint32_t>(limit) : 0xFFFFFFFFu;
}

uint32_t DisplayTimerInterval(uint32_t deltatime, uint32_t rate) {
  if (!In11025Family(rate)) return deltatime / 8;
  return static_cast<uint32_t>(static_cast<uint64_t>(deltatime) * 1000 / 11025);
}

uint32_t InitialRecordStride(uint32_t samples_per_sec, int channels, bool on_memory) {
  if (on_memory) return 1;
  uint32_t stride;
  if (samples_per_sec >= 48000) {
    stride = 10;
  } else if (samples_per_sec >= 44100) {
    stride = 8;
  } else if (samples_per_sec >= 32000) {
    stride = 6;
  } else if (samples_per_sec >= 16000) {
    stride = 4;
  } else {
    stride = 2;
  }
  return channels == 2 ? stride * 2 : stride;
}

uint32_t InitialPlayStride(uint32_t deltatime, uint32_t rate, int rate_steps, const FirstBlockCosts& costs) {
  const double d = BufferPeriodMs(deltatime, rate);
  const double available = Nearest(d * RateFactor(-rate_steps) * 0.99);
  const double other = static_cast<double>(costs.read) + costs.prepare + costs.other + costs.write;
  const double spare = std::trunc(available - other * 1.15);
  if (spare <= 0.0) return 65535;
  const double stride = costs.meter * 2.9 / spare + 0.95;
  if (stride >= 65535.0) return 65535;
  const uint32_t result = static_cast<uint32_t>(stride);
  return result == 0 ? 1 : result;
}

bool ApplyPlayingRate(PlayFormat& format, int rate_steps) {
  const double f = RateFactor(rate_steps);
  const uint16_t tag = format.format_tag;
  const bool block_coded = IsSbcTag(tag);
  if (block_coded && format.block_align == 0) return false;

  const uint32_t rate = Nearest(f * format.samples_per_sec);
  uint32_t avg;
  if (block_coded) {
    avg = Nearest(f * (format.avg_bytes_per_sec / format.block_align)) * format.block_align;
  } else if (tag == WAVE_TAG_PCM || tag == WAVE_TAG_ALAW || tag == WAVE_TAG_MULAW) {
    avg = rate * format.block_align;
  } else {
    avg = Nearest(f * format.avg_bytes_per_sec);
  }
  if (tag == WAVE_TAG_MPEGLAYER3) avg >>= 1;
  format.samples_per_sec = rate;
  format.avg_bytes_per_sec = avg;
  return true;
}

TimeLimitAction TimeLimitActionAt(double recorded_ms, uint32_t time_limit, double margin, bool record_at_start,
                                  bool paused) {
  if (time_limit == 0 || recorded_ms / 1000 < time_limit + margin) return TimeLimitAction::kNone;
  if (record_at_start) return TimeLimitAction::kStopAndExit;
  return paused ? TimeLimitAction::kMoveOn : TimeLimitAction::kPause;
}

double RecordedMs(uint64_t bytes, uint32_t bytes_per_sec) {
  return bytes_per_sec == 0 ? 0.0 : static_cast<double>(bytes) * 1000.0 / bytes_per_sec;
}

uint32_t EstimateRecordedBytes(double position_ms, double mark_ms, uint32_t bytes_per_sec, int16_t blockalign) {
  if (!(position_ms > mark_ms)) return 0;
  const double bytes = (position_ms - mark_ms) * bytes_per_sec / 1000.0;
  const uint32_t n = bytes >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<uint32_t>(bytes);
  return WholeBlocks(n, blockalign);
}

uint32_t ResumePlayStartTime(uint32_t now, uint32_t run_start_time, uint32_t pause_time, unsigned windows_version) {
  uint32_t start = now + run_start_time - pause_time;
  if (windows_version < kWindows395) start -= 280;
  return start;
}

uint32_t ResumeRecordStartTime(uint32_t now, uint32_t data_total, uint32_t buffer_size, uint32_t bytes_per_sec) {
  const uint64_t written_ms = static_cast<uint64_t>(data_total - buffer_size) * 1000 / bytes_per_sec;
  return now - static_cast<uint32_t>(written_ms);
}

bool IsEmptyRecordingFile(int64_t size) { return size >= 0 && size <= WAVE_HEADER_SIZE; }

void FormatMemoryPlayPosition(char* out, size_t size, int16_t blockalign, uint32_t buffer_size,
                              uint32_t bytes_per_sec) {
  const uint32_t kilobytes = (static_cast<uint32_t>(blockalign) + buffer_size) >> 10;
  const double seconds = bytes_per_sec != 0 ? static_cast<double>(buffer_size) / bytes_per_sec : 0.0;
  snprintf(out, size, "Pos:  %7ld KB %6.0f sec", static_cast<long>(kilobytes), seconds);
}
