// Drawing of the level meter: the four styles, the channel captions and the
// one-line messages of the meter area. The rectangles come from the portable
// layouts; this side only fills them.
#include "meter/meter_draw_win32.h"

#include <cstring>

#include "base/app_state_win32.h"
#include "base/ui_text_win32.h"
#include "meter/levels.h"
#include "meter/meter_record_win32.h"
#include "meter/meter_styles.h"

namespace {

constexpr COLORREF kCaptionYellow = RGB(255, 255, 0);

// Fills the layout with pattern fills. A brush is created only when the
// colour changes from one fill to the next (at most once per zone).
void FillMeter(HDC dc, const MeterFills& fills) {
  HGDIOBJ original = nullptr;
  HBRUSH brush = nullptr;
  COLORREF brush_colour = 0;
  for (int i = 0; i < fills.count; ++i) {
    const MeterFill& f = fills.fill[i];
    if (f.white) {
      PatBlt(dc, f.x, f.y, f.width, f.height, WHITENESS);
      continue;
    }
    if (brush == nullptr || brush_colour != f.colour) {
      HBRUSH next = CreateSolidBrush(f.colour);
      HGDIOBJ replaced = next ? SelectObject(dc, next) : nullptr;
      if (replaced == nullptr) {
        // No brush in this colour: the fill is left out, and the brush that
        // stays selected is neither deleted nor taken for the original.
        if (next) DeleteObject(next);
        continue;
      }
      if (brush == nullptr) {
        original = replaced;
      } else {
        DeleteObject(brush);
      }
      brush = next;
      brush_colour = f.colour;
    }
    PatBlt(dc, f.x, f.y, f.width, f.height, PATCOPY);
  }
  if (brush != nullptr) {
    SelectObject(dc, original);
    DeleteObject(brush);
  }
}

// The peak hold of a channel (mono draws as the left one).
uint32_t& HoldOf(MeterChannel channel) {
  return channel == LEFT_METER ? OwnedMeter().hold_left : OwnedMeter().hold_right;
}

MeterRowInput RowInput(DWORD level, uint32_t hold, int row_y, int row_height, DWORD delta) {
  MeterRowInput in;
  in.w = app.cell_width;
  in.row_y = row_y;
  in.row_height = row_height;
  in.level = level;
  in.hold = hold;
  in.delta = delta;
  in.peak_hold = app.settings.PeakHold != PEAK_HOLD_OFF;
  in.monochrome = app.settings.monochrome != 0;
  return in;
}

}  // namespace

void DrawChannelMeter(HDC dc, MeterChannel channel, DWORD level, int row_y, int row_height, DWORD delta) {
  MeterState& meter = OwnedMeter();
  if (level > meter.max_level) meter.max_level = level;
  uint32_t& hold = HoldOf(channel);
  hold = UpdatedHold(hold, level, delta, app.settings.PeakHold, app.settings.display != 0);
  const MeterRowInput in = RowInput(level, hold, row_y, row_height, delta);
  FillMeter(dc, LayoutMeterRow(in, app.settings.display != 0, app.settings.smooth != 0));
}

void DrawMeterLabels(HDC dc, int sample_class) {
  MeterLabelLayout layout = LayoutMeterLabels(sample_class, app.ui_scale, app.windows_version,
                                              app.cell_width, app.cell_height, app.japanese_ui != 0);
  COLORREF previous_colour = SetTextColor(dc, kCaptionYellow);
  int previous_mode = SetBkMode(dc, TRANSPARENT);
  HFONT created = nullptr;
  HGDIOBJ previous_font;
  if (layout.font_height != 0) {
    LOGFONTA font = {};
    font.lfHeight = layout.font_height;
    font.lfWeight = 700;
    font.lfCharSet = SHIFTJIS_CHARSET;
    created = CreateFontIndirectA(&font);
    previous_font = SelectObject(dc, created);
  } else {
    previous_font = SelectObject(dc, GetStockObject(OEM_FIXED_FONT));
  }
  for (int i = 0; i < layout.count; ++i) {
    const MeterLabel& label = layout.label[i];
    TextOutA(dc, label.x, label.y, label.text, label.length);
  }
  SelectObject(dc, previous_font);
  if (created) DeleteObject(created);
  SetBkMode(dc, previous_mode);
  SetTextColor(dc, previous_colour);
}

void ClearMeterArea(HDC dc) {
  MeterRect area = MeterArea(app.cell_width, app.cell_height);
  BitBlt(dc, area.x, area.y, area.width, area.height, nullptr, 0, 0, BLACKNESS);
}

void ShowMeterMessage(const char* text) {
  if (!app.main_window) return;
  const int w = app.cell_width, h = app.cell_height;
  HDC dc = GetDC(app.main_window);
  ClearMeterArea(dc);
  if (text) {
    HFONT previous = SelectStatusFont(dc);
    SetTextColor(dc, kCaptionYellow);
    SetBkMode(dc, TRANSPARENT);
    TextOutA(dc, 3 * w, 14 * h + h / 4, text, static_cast<int>(strlen(text)));
    RestoreStatusFont(dc, previous);
  }
  ReleaseDC(app.main_window, dc);
}
