#include "meter/status_text.h"

#include <cstdio>
#include <cstring>

#include "base/format_record.h"
#include "meter/levels.h"
#include "meter/tick.h"
#include "resources/ja_meter.h"

namespace {

// Seconds of `bytes` at the byte rate, 0 without a byte rate.
double Seconds(uint32_t bytes, uint32_t BytesPerSec) {
  return BytesPerSec == 0 ? 0.0 : static_cast<double>(bytes) / BytesPerSec;
}

// A non-negative double as an unsigned long, saturating.
unsigned long ToUnsignedLong(double x) {
  if (!(x > 0.0)) return 0;
  if (x >= 4294967295.0) return 4294967295UL;
  return static_cast<unsigned long>(x);
}

StatusText SizeAndSeconds(const char* format, uint32_t bytes, uint32_t BytesPerSec) {
  StatusText out;
  snprintf(out.text, sizeof out.text, format, static_cast<long>(bytes >> 10), Seconds(bytes, BytesPerSec));
  return out;
}

}  // namespace

DisplayFormat MakeDisplayFormat(uint16_t format_tag, uint16_t channels, uint32_t samples_per_sec,
                                uint32_t avg_bytes_per_sec, uint16_t block_align, uint16_t bits_per_sample) {
  DisplayFormat d;
  d.BytesPerSec = avg_bytes_per_sec;
  d.blockalign = static_cast<int16_t>(block_align);
  d.khz = static_cast<int>((samples_per_sec + 500u) / 1000u);
  // The Ogg Vorbis tags carry no meaningful bit depth.
  d.sample_bits = IsOggVorbisTag(format_tag) ? 0 : bits_per_sample;
  d.format_tag = format_tag;
  d.sample_class = SampleClassOf(channels, bits_per_sample);
  d.channels = channels;
  return d;
}

StatusText FormatRateText(int khz) {
  StatusText out;
  snprintf(out.text, sizeof out.text, "%2d kHz  ", khz);
  return out;
}

StatusText FormatBitsText(int sample_bits, int khz, uint16_t format_tag, uint32_t BytesPerSec) {
  StatusText out;
  if (sample_bits != 0 || khz == 0) {
    snprintf(out.text, sizeof out.text, "%2d bit  ", sample_bits);
    return out;
  }
  uint64_t bits_per_sec = static_cast<uint64_t>(BytesPerSec) * 8;
  if (format_tag == 0x32) {
    snprintf(out.text, sizeof out.text, "%5ld%s ", static_cast<long>(bits_per_sec), "b");
    return out;
  }
  uint64_t kbit = bits_per_sec / 1000;
  if (kbit > 999) {
    snprintf(out.text, sizeof out.text, "%3ld%s ", static_cast<long>(BytesPerSec / 1024), "KB/s");
  } else if (kbit > 99) {
    snprintf(out.text, sizeof out.text, "%3ld%s ", static_cast<long>(kbit), "kbps");
  } else {
    snprintf(out.text, sizeof out.text, "%2ld %s ", static_cast<long>(kbit), "kbps");
  }
  return out;
}

StatusText FormatPositionText(const PositionInputs& in) {
  if (in.running && in.recording) return SizeAndSeconds("Pos:  %7ld KB %6.0f sec", in.data_count, in.BytesPerSec);
  if (in.running && !in.on_memory) return SizeAndSeconds("Pos:  %7ld KB %6.0f sec", in.played_bytes, in.BytesPerSec);
  StatusText out;
  if (in.running) {
    // On-memory playback: the time played up to the last pause, in the file
    // (the clock runs slower or faster at a rate). A pause_time from before a
    // continued run counts as no time.
    double elapsed = static_cast<double>(static_cast<int32_t>(in.pause_time - in.run_start_time));
    if (elapsed < 0.0) elapsed = 0.0;
    elapsed = FileTimeOfPlayback(elapsed, in.rate_steps);
    snprintf(out.text, sizeof out.text, "Pos:  %7lu KB %6.0f sec", ToUnsignedLong(elapsed * in.BytesPerSec / 1024000.0),
             elapsed / 1000.0);
    return out;
  }
  snprintf(out.text, sizeof out.text, "Pos:        0 KB      0 sec");
  return out;
}

StatusText FormatTickPositionText(double position_ms, uint32_t BytesPerSec) {
  StatusText out;
  if (position_ms < 0.0) position_ms = 0.0;
  snprintf(out.text, sizeof out.text, "Pos:  %7lu KB %6.0f sec",
           ToUnsignedLong(position_ms * BytesPerSec / 1024000.0 + 0.5), position_ms / 1000.0);
  return out;
}

StatusText FormatCapacityText(uint32_t BytesPerSec, bool recording, uint64_t free_room, uint32_t data_total) {
  if (BytesPerSec == 0) {
    StatusText out;
    snprintf(out.text, sizeof out.text, "Total:      0 KB      0 sec");
    return out;
  }
  if (recording) {
    // The fields' widths of the 2 GB the line once stopped at; larger figures
    // take a larger unit, never more room.
    static const char* const kSizeUnits[] = {"KB", "MB", "GB"};
    static const char* const kTimeUnits[] = {"sec", "min", "hrs"};
    static const double kTimeSteps[] = {60.0, 60.0};
    uint64_t size = free_room >> 10;
    size_t size_unit = 0;
    while (size > 9999999 && size_unit + 1 < sizeof kSizeUnits / sizeof *kSizeUnits) {
      size >>= 10;
      ++size_unit;
    }
    double time = static_cast<double>(free_room) / BytesPerSec;
    size_t time_unit = 0;
    while (time >= 999999.5 && time_unit + 1 < sizeof kTimeUnits / sizeof *kTimeUnits) {
      time /= kTimeSteps[time_unit];
      ++time_unit;
    }
    StatusText out;
    snprintf(out.text, sizeof out.text, "Free: %7lu %s %6.0f %s", static_cast<unsigned long>(size),
             kSizeUnits[size_unit], time, kTimeUnits[time_unit]);
    return out;
  }
  return SizeAndSeconds("Total:%7ld KB %6.0f sec", data_total, BytesPerSec);
}

StatusText FormatDropoutStatus(uint32_t count, uint64_t frames, uint32_t frames_per_second, bool japanese) {
  StatusText out;
  snprintf(out.text, sizeof out.text, japanese ? ja::kDropoutStatus : "Dropouts %lu", static_cast<unsigned long>(count));
  if (frames == 0 || frames_per_second == 0) return out;
  // Under a second in ms, up to 100 s in tenths, then whole seconds.
  const double seconds = static_cast<double>(frames) / frames_per_second;
  char lost[32];
  if (seconds < 0.9995) {
    snprintf(lost, sizeof lost, "%.0f ms", seconds * 1000.0);
  } else {
    snprintf(lost, sizeof lost, japanese ? ja::kDropoutSeconds : "%.1f s", seconds);
    if (seconds >= 99.95) snprintf(lost, sizeof lost, japanese ? ja::kDropoutWholeSeconds : "%.0f s", seconds);
  }
  char line[sizeof out.text];
  snprintf(line, sizeof line, "%s: %s", out.text, lost);
  if (strlen(line) <= kDropoutStatusCells) snprintf(out.text, sizeof out.text, "%s", line);
  return out;
}
