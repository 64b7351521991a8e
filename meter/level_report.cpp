#include "meter/level_report.h"

#include <cmath>
#include <cstdio>

#include "base/format_record.h"
#include "meter/levels.h"
#include "resources/ja_meter.h"

namespace {

std::string Format(const char* format, double value) {
  char buffer[128];
  snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

std::string Format(const char* format, long value) {
  char buffer[128];
  snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

}  // namespace

std::string ComposeDropoutText(const DropoutTally& dropouts, uint32_t frames_per_second, bool japanese) {
  if (dropouts.count == 0) return "";
  const double seconds = frames_per_second ? static_cast<double>(dropouts.frames) / frames_per_second : 0.0;
  std::string places;
  for (uint32_t at : dropouts.at_seconds) places += (places.empty() ? "" : ", ") + std::to_string(at);
  if (dropouts.count > dropouts.at_seconds.size()) places += ", ...";
  char text[256];
  snprintf(text, sizeof text, japanese ? ja::kDropoutLine : "Dropouts %lu: %s frames lost (%.1f sec)\nat %s sec",
           static_cast<unsigned long>(dropouts.count), std::to_string(dropouts.frames).c_str(), seconds,
           places.c_str());
  return text;
}

void ReplaceFirst(std::string& text, const char* from, const char* to) {
  size_t at = text.find(from);
  if (at != std::string::npos) text.replace(at, std::char_traits<char>::length(from), to);
}

LevelReport ComposeLevelReport(uint32_t max_level, int32_t over_count, int sample_class, uint16_t format_tag,
                               bool japanese) {
  LevelReport report;
  if (max_level == 0) return report;
  report.show = true;
  double reference = IsSixteenBitClass(sample_class) || format_tag != WAVE_TAG_PCM ? 32767.0 : 127.0;
  double m = 20.0 * std::log10(max_level / reference);
  report.decibels = m;
  bool over = m >= 0.0;
  if (!japanese) {
    report.text = Format("Max level %+.1fdb", m);
    if (over) report.text += Format("\nLevel over times %ld", static_cast<long>(over_count));
  } else {
    report.text = Format(ja::kReportMaxLevel, m);
    if (over) report.text += Format(ja::kReportOverTimes, static_cast<long>(over_count));
    if (over) {
      report.text += ja::kReportTooHigh;
    } else if (m < -6.0) {
      report.text += ja::kReportTooLow;
    }
    // The number read as words. None of these marks can be the second byte of
    // a double-byte character, so a byte search finds the number's own.
    ReplaceFirst(report.text, "-", ja::kReportMinusWord);
    ReplaceFirst(report.text, "+", ja::kReportPlusWord);
    ReplaceFirst(report.text, ".", ja::kReportPointWord);
  }
  if (over) {
    report.caption = "Level Over";
    report.verdict = LEVEL_OVER;
  } else if (m < -6.0) {
    report.caption = "Level Under";
    report.verdict = LEVEL_UNDER;
  } else {
    report.caption = "Level";
    report.verdict = LEVEL_FINE;
  }
  return report;
}
