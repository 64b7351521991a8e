// The report shown at the end of a run: the run's maximum level in dB, how
// often it clipped, and whether the level was too high or too low.
#pragma once
#include <cstdint>
#include <string>

#include "base/dropout_tally.h"

enum LevelVerdict {
  LEVEL_OVER,    // reached full scale: "Level Over", exclamation icon
  LEVEL_FINE,    // within 6 dB of full scale: "Level", no icon
  LEVEL_UNDER,   // more than 6 dB below: "Level Under", information icon
};

struct LevelReport {
  bool show = false;  // nothing was measured: no report
  double decibels = 0.0;
  std::string text;
  const char* caption = "";
  LevelVerdict verdict = LEVEL_FINE;
};

// 8-bit PCM is measured against 127, 16-bit PCM and mixer readings (any tag
// other than PCM) against 32767.
LevelReport ComposeLevelReport(uint32_t max_level, int32_t over_count, int sample_class, uint16_t format_tag,
                               bool japanese);

// The dropouts of a recording for the report at its end ("" when there were
// none): how many, the frames and the time lost, and where the first of them
// are in the recording.
std::string ComposeDropoutText(const DropoutTally& dropouts, uint32_t frames_per_second, bool japanese);
// The caption of the box that shows the dropouts alone (English in both
// languages, as the level report's).
inline constexpr char kDropoutCaption[] = "Dropouts";

// Replaces the first occurrence of `from` in text by `to`.
void ReplaceFirst(std::string& text, const char* from, const char* to);
