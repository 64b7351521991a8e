// The level report box at the end of a run.
#include "meter/level_report_win32.h"

#include <string>

#include "base/app_state_win32.h"
#include "base/ui_text_win32.h"
#include "meter/level_report.h"
#include "meter/meter_record_win32.h"

void ShowLevelReport(HWND owner, bool levels, const DropoutTally& dropouts, const CurrentFormat& format,
                     bool dropouts_alone) {
  const MeterState& meter = level_meter;
  LevelReport report =
      ComposeLevelReport(meter.max_level, meter.over_count, format.sample_class, format.format_tag, app.japanese_ui != 0);
  const uint32_t frames_per_second = format.blockalign > 0 ? format.BytesPerSec / static_cast<uint32_t>(format.blockalign) : 0;
  const std::string lost = ComposeDropoutText(dropouts, frames_per_second, app.japanese_ui != 0);
  UINT style = MB_OK;
  std::string text;
  const char* caption = kDropoutCaption;
  if (levels && report.show) {
    text = report.text;
    caption = report.caption;
    if (report.verdict == LEVEL_OVER) style = MB_ICONEXCLAMATION;
    if (report.verdict == LEVEL_UNDER) style = MB_ICONINFORMATION;
  }
  if (!lost.empty() && (dropouts_alone || !text.empty())) {
    text += (text.empty() ? "" : "\n") + lost;
    style = MB_ICONEXCLAMATION;  // sound was lost, whatever the levels
  }
  if (text.empty()) return;
  ShowMessageBox(owner, text.c_str(), caption, style);
}
