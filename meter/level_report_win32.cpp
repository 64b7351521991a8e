// The level report box at the end of a run.
#include "meter/level_report_win32.h"

#include "base/app_state_win32.h"
#include "base/ui_text_win32.h"
#include "meter/level_report.h"

void ShowLevelReport(HWND owner) {
  const MeterState& meter = app.meter;
  LevelReport report =
      ComposeLevelReport(meter.max_level, meter.over_count, meter.sample_class, app.format_tag, app.japanese_ui != 0);
  if (!report.show) return;
  UINT style = MB_OK;
  if (report.verdict == LEVEL_OVER) style = MB_ICONEXCLAMATION;
  if (report.verdict == LEVEL_UNDER) style = MB_ICONINFORMATION;
  ShowMessageBox(owner, report.text.c_str(), report.caption, style);
}
