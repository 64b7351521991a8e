// Texts and message boxes shared by every window-side part of the program.
#pragma once
#include <windows.h>

#include <cstddef>

// The English string-table text with this id, in one shared 256-byte buffer
// that the next call overwrites.
const char* LoadText(UINT id);

// The text rule: the Japanese form on a Japanese interface, else the English one.
const char* Pick(const char* english, const char* japanese);
// Same, with the English form taken from the string table.
const char* PickId(UINT english_id, const char* japanese);

// Every message box of the program goes through here. A box without a caption
// (null) is titled "Error", "エラー" on a Japanese system, as Windows titles
// it; Wine would take string 0 of the program's string table instead.
int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT style);

// A failure box owned by the main window: no caption, exclamation icon, OK.
void ShowFailure(const char* text);
// A plain box owned by the main window with a bare text: no caption, no icon.
void ShowBare(const char* text);

// A control of a dialog and the text it shows.
struct ControlText {
  int id;
  const char* text;
};
// Gives a dialog its title and its controls their texts (a dialog's Japanese
// wording over its English template).
template <size_t N>
void SetDialogTexts(HWND dialog, const char* title, const ControlText (&texts)[N]) {
  SetWindowTextA(dialog, title);
  for (const ControlText& item : texts) SetDlgItemTextA(dialog, item.id, item.text);
}

// The status font: a fixed-pitch Shift-JIS font of height -2h on the large
// layout (made once per cell height), else the stock OEM fixed font. Returns
// the previous font.
HFONT SelectStatusFont(HDC dc);
// Puts the previous font back.
void RestoreStatusFont(HDC dc, HFONT previous);
// Deletes the large layout's status font (when the main window goes).
void ReleaseStatusFont();
// White text on black when the system colours are dark.
void ApplyTextColours(HDC dc);

// A device context of the main window set up for the status lines and the
// meter (text colours and status font); released when it goes out of scope.
class MainWindowDc {
 public:
  MainWindowDc();
  ~MainWindowDc();
  MainWindowDc(const MainWindowDc&) = delete;
  MainWindowDc& operator=(const MainWindowDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HDC dc_;
  HFONT previous_font_;
};
