// The flat or three-dimension look that every dialog offers in its system
// menu. Edit and scroll-bar borders cannot change in place, so the open
// dialog's hook re-creates those controls.
#include "base/dialog_look_win32.h"

#include "base/app_state_win32.h"
#include "base/file_names_win32.h"
#include "base/ui_text_win32.h"
#include "base/windows_version.h"
#include "resources/ja_dialogs.h"
#include "resources/resource_ids.h"

namespace {

// The procedure that makes the controls of the dialog with the 3-D look again
// (of the open dialog: one is open at a time).
RecreateControls recreate_controls = nullptr;

void ApplyThreeDStyle(HWND dialog) {
  LONG style = GetWindowLongA(dialog, GWL_STYLE);
  style = app.settings.dialog3d ? (style | DS_3DLOOK) : (style & ~static_cast<LONG>(DS_3DLOOK));
  SetWindowLongA(dialog, GWL_STYLE, style);
}

UINT ThreeDCheck() { return app.settings.dialog3d ? MF_CHECKED : MF_UNCHECKED; }

}  // namespace

void SetUpThreeD(HWND dialog, RecreateControls recreate) {
  recreate_controls = recreate;
  if (app.windows_version < kWindows395) return;
  ApplyThreeDStyle(dialog);
  if (recreate_controls) recreate_controls(dialog);
  HMENU menu = GetSystemMenu(dialog, FALSE);
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(menu, MF_STRING | ThreeDCheck(), IDM_THREE_D, Pick("&Three dimension", ja::kThreeDimension));
}

void ToggleThreeD(HWND dialog) {
  // The setting is the program's: the main window turns it over.
  SendMessageA(app.main_window, kThreeDToggleMessage, 0, 0);
  ApplyThreeDStyle(dialog);
  if (recreate_controls) recreate_controls(dialog);
  RedrawWindow(dialog, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN);
  CheckMenuItem(GetSystemMenu(dialog, FALSE), IDM_THREE_D, MF_BYCOMMAND | ThreeDCheck());
}

BOOL OnThreeDCommand(HWND dialog, WPARAM command) {
  if (command != IDM_THREE_D) return FALSE;
  ToggleThreeD(dialog);
  return TRUE;
}

HFONT GiveSmallFont(HWND dialog, int id, BYTE charset) {
  HDC screen = GetDC(nullptr);
  TEXTMETRICA metrics = {};
  GetTextMetricsA(screen, &metrics);
  ReleaseDC(nullptr, screen);
  LOGFONTA font = {};
  font.lfHeight = (-2 * metrics.tmHeight) / 3;
  font.lfCharSet = charset;
  HFONT small = CreateFontIndirectA(&font);
  SendDlgItemMessageA(dialog, id, WM_SETFONT, reinterpret_cast<WPARAM>(small), TRUE);
  return small;
}

void ReleaseDialogLook(HFONT& small_font) {
  if (small_font) DeleteObject(small_font);
  small_font = nullptr;
  recreate_controls = nullptr;
}

void RecreateControl(HWND dialog, int id, const char* class_name) {
  HWND old_control = GetDlgItem(dialog, id);
  if (!old_control) return;
  LONG style = GetWindowLongA(old_control, GWL_STYLE);
  LONG ex_style = GetWindowLongA(old_control, GWL_EXSTYLE);
  // The same place in the dialog's client area, whatever its frame is like.
  RECT place;
  GetWindowRect(old_control, &place);
  MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&place), 2);
  bool had_focus = GetFocus() == old_control;
  HFONT font = reinterpret_cast<HFONT>(SendMessageA(old_control, WM_GETFONT, 0, 0));

  if (app.settings.dialog3d) {
    ex_style |= WS_EX_CLIENTEDGE;
    style &= ~static_cast<LONG>(WS_BORDER);
  } else {
    ex_style &= ~static_cast<LONG>(WS_EX_CLIENTEDGE);
    style |= WS_BORDER;
  }
  // Made before the old one goes, so a failure leaves the dialog usable; a
  // name in it is kept whole.
  HWND control = CreateControlLike(old_control, id, class_name, static_cast<DWORD>(ex_style),
                                   static_cast<DWORD>(style), place, app.instance);
  if (!control) return;
  DestroyWindow(old_control);
  if (font) SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  if (had_focus) SetFocus(control);
  UpdateWindow(control);
}
