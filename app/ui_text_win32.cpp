#include "app/ui_text_win32.h"

#include <cstdio>
#include <cstdlib>

#include "app/app_state_win32.h"

const char* LoadText(UINT id) {
  static char buffer[256];
  buffer[0] = '\0';
  LoadStringA(app.instance, id, buffer, sizeof buffer);
  return buffer;
}

const char* Pick(const char* english, const char* japanese) { return app.japanese_ui ? japanese : english; }

const char* PickId(UINT english_id, const char* japanese) {
  return app.japanese_ui ? japanese : LoadText(english_id);
}

void ShowFailure(const char* text) { MessageBoxA(app.main_window, text, nullptr, MB_ICONEXCLAMATION | MB_OK); }

void ShowBare(const char* text) { MessageBoxA(app.main_window, text, nullptr, MB_OK); }

void AssertionFailed(const char* expression, const char* source, int line) {
  char text[512];
  snprintf(text, sizeof text, "Assertion failed: %s, file %s, line %d", expression, source, line);
  MessageBoxA(nullptr, text, nullptr, MB_OK | MB_ICONHAND);
  abort();
}

HFONT SelectStatusFont(HDC dc) {
  if (app.ui_scale == 2) {
    LOGFONTA font = {};
    font.lfHeight = -2 * app.cell_height;
    font.lfCharSet = SHIFTJIS_CHARSET;
    font.lfPitchAndFamily = FIXED_PITCH;
    return static_cast<HFONT>(SelectObject(dc, CreateFontIndirectA(&font)));
  }
  return static_cast<HFONT>(SelectObject(dc, GetStockObject(OEM_FIXED_FONT)));
}

void RestoreStatusFont(HDC dc, HFONT previous) {
  HGDIOBJ current = SelectObject(dc, previous);
  if (app.ui_scale == 2) DeleteObject(current);
}

void ApplyTextColours(HDC dc) {
  if (app.dark_background) {
    SetTextColor(dc, RGB(255, 255, 255));
    SetBkColor(dc, RGB(0, 0, 0));
  }
}
