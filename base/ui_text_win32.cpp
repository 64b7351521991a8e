#include "base/ui_text_win32.h"

#include <cstdio>
#include <cstdlib>

#include "base/app_state_win32.h"
#include "resources/ja_app.h"

const char* LoadText(UINT id) {
  static char buffer[256];  // what it returns, valid until the next call
  buffer[0] = '\0';
  LoadStringA(app.instance, id, buffer, sizeof buffer);
  return buffer;
}

const char* Pick(const char* english, const char* japanese) { return app.japanese_ui ? japanese : english; }

const char* PickId(UINT english_id, const char* japanese) {
  return app.japanese_ui ? japanese : LoadText(english_id);
}

namespace {

// Japanese Windows runs on code page 932; the Japanese caption is in it too.
constexpr UINT kJapaneseCodePage = 932;

}  // namespace

int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT style) {
  // The caption Windows gives a box without one follows the system's language,
  // not the program's (/E keeps it), so the test is the system's code page.
  if (!caption) caption = GetACP() == kJapaneseCodePage ? ja::kErrorCaption : "Error";
  return MessageBoxA(owner, text, caption, style);
}

void ShowFailure(const char* text) { ShowMessageBox(app.main_window, text, nullptr, MB_ICONEXCLAMATION | MB_OK); }

void ShowBare(const char* text) { ShowMessageBox(app.main_window, text, nullptr, MB_OK); }

namespace {

// The large layout's status font, made once for its cell height: it is
// selected for every buffer and every display tick.
struct StatusFont {
  HFONT font = nullptr;
  int height = 0;  // the cell height it was made for
};
StatusFont large_status_font;

HFONT LargeStatusFont() {
  if (large_status_font.font && large_status_font.height == app.cell_height) return large_status_font.font;
  ReleaseStatusFont();
  LOGFONTA font = {};
  font.lfHeight = -2 * app.cell_height;
  font.lfCharSet = SHIFTJIS_CHARSET;
  font.lfPitchAndFamily = FIXED_PITCH;
  large_status_font = StatusFont{CreateFontIndirectA(&font), app.cell_height};
  return large_status_font.font;
}

}  // namespace

HFONT SelectStatusFont(HDC dc) {
  HFONT font = app.ui_scale == 2 ? LargeStatusFont() : nullptr;
  if (!font) font = static_cast<HFONT>(GetStockObject(OEM_FIXED_FONT));
  return static_cast<HFONT>(SelectObject(dc, font));
}

void RestoreStatusFont(HDC dc, HFONT previous) { SelectObject(dc, previous); }

void ReleaseStatusFont() {
  if (large_status_font.font) DeleteObject(large_status_font.font);
  large_status_font.font = nullptr;
}

void ApplyTextColours(HDC dc) {
  if (app.dark_background) {
    SetTextColor(dc, RGB(255, 255, 255));
    SetBkColor(dc, RGB(0, 0, 0));
  }
}

MainWindowDc::MainWindowDc() : dc_(GetDC(app.main_window)), previous_font_(nullptr) {
  ApplyTextColours(dc_);
  previous_font_ = SelectStatusFont(dc_);
}

MainWindowDc::~MainWindowDc() {
  RestoreStatusFont(dc_, previous_font_);
  ReleaseDC(app.main_window, dc_);
}
