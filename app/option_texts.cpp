#include "app/option_texts.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "audio/transport_math.h"
#include "base/settings.h"
#include "resources/ja_dialogs.h"

namespace {

constexpr DeltaTimeEntry kDeltaTimes[DELTA_TIME_ENTRIES] = {
    {32768, "3 sec  ", ja::kTiming3s, ja::kTiming3s},
    {16384, "1.5 sec", ja::kTiming1_5s, ja::kTiming1_5s},
    {8192, "1 sec  ", ja::kTiming1s, ja::kTiming1s},
    {4096, "1/3 sec", ja::kTiming1_3, ja::kTiming1_3Spelled},
    {2048, "1/5 sec", ja::kTiming1_5, ja::kTiming1_5Spelled},
    {1024, "1/11sec", ja::kTiming1_11, ja::kTiming1_11Spelled},
    {512, "1/22sec", ja::kTiming1_22, ja::kTiming1_22Spelled},
};

int ClampRate(int steps) {
  if (steps < RATE_STEPS_MIN) return RATE_STEPS_MIN;
  if (steps > RATE_STEPS_MAX) return RATE_STEPS_MAX;
  return steps;
}

}  // namespace

int ScrollRateSteps(int steps, int code, int thumb) {
  switch (code) {
    case RATE_LINE_LEFT: steps -= 1; break;
    case RATE_LINE_RIGHT: steps += 1; break;
    case RATE_PAGE_LEFT: steps -= 10; break;
    case RATE_PAGE_RIGHT: steps += 10; break;
    case RATE_THUMB_POSITION:
    case RATE_THUMB_TRACK: steps = thumb; break;
    default: break;
  }
  return ClampRate(steps);
}

void FormatRatePercent(int steps, char* out, size_t size) {
  snprintf(out, size, "%.1f%%", 100.0 * RateFactor(steps));
}

void FormatRatePitch(int steps, bool japanese, bool levelwarning, char* out, size_t size) {
  if (japanese && levelwarning && steps / 10 == 0) {
    snprintf(out, size, ja::kSpelledPitchFormat, steps < 0 ? '-' : '+', std::abs(steps / 10), std::abs(steps % 10));
  } else if (japanese) {
    snprintf(out, size, ja::kPitchFormat, steps / 10.0);
  } else {
    snprintf(out, size, "%+5.1f", steps / 10.0);
  }
}

const DeltaTimeEntry& DeltaTimeAt(int index) { return kDeltaTimes[index]; }

const char* DeltaTimeLabel(int index, bool japanese, bool levelwarning) {
  const DeltaTimeEntry& entry = kDeltaTimes[index];
  if (!japanese) return entry.english;
  return levelwarning ? entry.japanese_spelled : entry.japanese;
}

int DeltaTimeIndex(uint32_t deltatime) {
  for (int i = 0; i < DELTA_TIME_ENTRIES; ++i)
    if (kDeltaTimes[i].deltatime == deltatime) return i;
  return -1;
}

int ParseMemSize(const char* text) {
  char digits[4] = {};
  strncpy(digits, text ? text : "", 3);
  return atoi(digits);
}

void FormatMemoryTime(int megabytes, uint32_t rec_freq, int rec_channel, int rec_bits, bool japanese,
                      char* out, size_t size) {
  // Only a hand-edited settings file holds such a format; the time cannot be
  // computed, so say so rather than divide by zero.
  if (!IsUsableRecordingFormat(rec_freq, rec_channel, rec_bits)) {
    snprintf(out, size, "%s", japanese ? ja::kMemoryTimeUnknown : "Recording format invalid");
    return;
  }
  uint32_t bytes = megabytes > 0 ? static_cast<uint32_t>(megabytes) * 1048576u : 0;
  uint32_t seconds = bytes / rec_freq / static_cast<uint32_t>(rec_channel) / static_cast<uint32_t>(rec_bits / 8);
  const char* channels = rec_channel == 2 ? (japanese ? ja::kStereo : "Stereo") : (japanese ? ja::kMonaural : "Monaural");
  snprintf(out, size, japanese ? ja::kMemoryTimeFormat : "%lukHz %dbit %s : %ld sec",
           static_cast<unsigned long>(rec_freq / 1000), rec_bits, channels, static_cast<long>(seconds));
}

OptionLayout ComputeOptionLayout(int arrow_metric, int char_width) {
  int arrow = 2 * char_width + 1;
  if (arrow_metric > arrow) arrow = arrow_metric;
  OptionLayout layout;
  layout.list_width = 7 * char_width + arrow;
  layout.list_height = 46;
  if (4 * char_width >= arrow)
    layout = {layout.list_width, layout.list_height, 156, 38, 38, 12};
  else
    layout = {layout.list_width, layout.list_height, 125, 50, 25, 12};
  return layout;
}
