// The Option dialog: playing rate, meter display, on-memory operation and the
// level report.
#include "app/option_dialog_win32.h"

#include <cstdio>

#include "app/option_texts.h"
#include "app/owned_app_win32.h"
#include "base/app_state_win32.h"
#include "base/dialog_look_win32.h"
#include "base/settings.h"
#include "base/ui_text_win32.h"
#include "base/windows_version.h"
#include "resources/ja_dialogs.h"
#include "resources/resource_ids.h"

void OnRateScroll(HWND dialog, int code, int thumb);
void LayoutOptionDialog(HWND dialog);

namespace {

constexpr int MEM_SIZE_DIGITS = 3;

// Dialog state: the rate to put back on Cancel, and the small font of the
// "monochrome" box in the English interface.
int rate_at_open = 0;
HFONT small_font = nullptr;

bool IsChecked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

void SetChecked(HWND dialog, int id, int on) { CheckDlgButton(dialog, id, on ? BST_CHECKED : BST_UNCHECKED); }

void ShowRateTexts(HWND dialog) {
  char text[32];
  FormatRatePercent(app.rate_steps, text, sizeof text);
  SetDlgItemTextA(dialog, IDC_OPT_PERCENT, text);
  FormatRatePitch(app.rate_steps, app.japanese_ui, app.settings.levelwarning, text, sizeof text);
  SetDlgItemTextA(dialog, IDC_OPT_PITCH, text);
}

void SetRateBar(HWND dialog) {
  HWND bar = GetDlgItem(dialog, IDC_OPT_RATE);
  SetScrollRange(bar, SB_CTL, RATE_STEPS_MIN, RATE_STEPS_MAX, FALSE);
  SetScrollPos(bar, SB_CTL, app.rate_steps, TRUE);
}

// The Option dialog's hook for a change of look: the memory size and the
// rate bar are made again, in their old places in the keyboard order.
void RecreateOptionControls(HWND dialog) {
  RecreateControl(dialog, IDC_OPT_MEMSIZE, "edit");
  RecreateControl(dialog, IDC_OPT_RATE, "scrollbar");
  HWND memory = GetDlgItem(dialog, IDC_OPT_MEMSIZE);
  HWND bar = GetDlgItem(dialog, IDC_OPT_RATE);
  SetWindowPos(memory, GetDlgItem(dialog, IDC_OPT_MEMLABEL), 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  SetWindowPos(bar, GetDlgItem(dialog, IDC_OPT_RATELABEL), 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  SendMessageA(memory, EM_LIMITTEXT, MEM_SIZE_DIGITS, 0);  // a new edit has no limit
  SetRateBar(dialog);
  RedrawWindow(bar, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME);
  UpdateWindow(bar);
}

void LocalizeOptionDialog(HWND dialog) {
  static const ControlText kTexts[] = {
      {IDC_OPT_RATELABEL, ja::kPlayingRate},  {IDC_OPT_PITCHLABEL, ja::kPitch},
      {IDC_OPT_TIMINGLABEL, ja::kDisplayTiming}, {IDC_OPT_SMOOTH, ja::kSmooth},
      {IDC_OPT_HOLD_DECAY, ja::kHoldDecay},   {IDC_OPT_HOLD_CONST, ja::kHoldConst},
      {IDC_OPT_DBDISP, ja::kDbDisplay},       {IDC_OPT_ONMEM, ja::kOnMemory},
      {IDC_OPT_MEMLABEL, ja::kMaxMemory},     {IDC_OPT_MONOCHROME, ja::kMonochrome},
      {IDC_OPT_LEVELWARNING, ja::kLevelWarning}, {IDCANCEL, ja::kCancel},
  };
  SetDialogTexts(dialog, ja::kOptionTitle, kTexts);
}

void EnableMemoryRows(HWND dialog, bool on) {
  for (int id : {IDC_OPT_MEMSIZE, IDC_OPT_MEMLABEL, IDC_OPT_MB, IDC_OPT_MEMTIME})
    EnableWindow(GetDlgItem(dialog, id), on);
}

int ReadMemSizeField(HWND dialog) {
  char text[MEM_SIZE_DIGITS + 1] = {};
  GetDlgItemTextA(dialog, IDC_OPT_MEMSIZE, text, sizeof text);
  return ParseMemSize(text);
}

void ShowMemoryTime(HWND dialog) {
  const Settings& s = app.settings;
  char text[128];
  FormatMemoryTime(ReadMemSizeField(dialog), s.rec_freq, s.rec_channel, s.rec_bits, app.japanese_ui, text,
                   sizeof text);
  SetDlgItemTextA(dialog, IDC_OPT_MEMTIME, text);
}

BOOL OnOptionInit(HWND dialog) {
  Settings& s = OwnedApp().settings;
  if (app.windows_version >= kWindows395) LayoutOptionDialog(dialog);
  SetUpThreeD(dialog, RecreateOptionControls);
  if (app.japanese_ui)
    LocalizeOptionDialog(dialog);
  else
    small_font = GiveSmallFont(dialog, IDC_OPT_MONOCHROME, ANSI_CHARSET);  // the English text is long

  SetRateBar(dialog);
  ShowRateTexts(dialog);
  rate_at_open = app.rate_steps;

  if (s.PeakHold >= 0 && s.PeakHold <= 2)
    CheckRadioButton(dialog, IDC_OPT_HOLD_OFF, IDC_OPT_HOLD_CONST, IDC_OPT_HOLD_OFF + s.PeakHold);

  HWND timing = GetDlgItem(dialog, IDC_OPT_TIMING);
  for (int i = 0; i < DELTA_TIME_ENTRIES; ++i)
    SendMessageA(timing, CB_ADDSTRING, 0,
                 reinterpret_cast<LPARAM>(DeltaTimeLabel(i, app.japanese_ui, s.levelwarning)));
  SendMessageA(timing, CB_SETCURSEL, static_cast<WPARAM>(DeltaTimeIndex(s.deltatime)), 0);

  SendDlgItemMessageA(dialog, IDC_OPT_MEMSIZE, EM_LIMITTEXT, MEM_SIZE_DIGITS, 0);
  char number[16];
  snprintf(number, sizeof number, "%d", s.MemSize);
  SetDlgItemTextA(dialog, IDC_OPT_MEMSIZE, number);  // its change notice fills the time line

  SetChecked(dialog, IDC_OPT_ONMEM, s.OnMem);
  if (!s.OnMem) EnableMemoryRows(dialog, false);
  SetFocus(GetDlgItem(dialog, s.OnMem ? IDC_OPT_MEMSIZE : IDC_OPT_ONMEM));

  SetChecked(dialog, IDC_OPT_SMOOTH, s.smooth);
  SetChecked(dialog, IDC_OPT_DBDISP, s.display);
  SetChecked(dialog, IDC_OPT_MONOCHROME, s.monochrome);
  SetChecked(dialog, IDC_OPT_LEVELWARNING, s.levelwarning);
  return FALSE;  // the focus is set
}

void OnOptionOk(HWND dialog) {
  Settings& s = OwnedApp().settings;
  s.PeakHold = IsChecked(dialog, IDC_OPT_HOLD_DECAY) ? 1 : IsChecked(dialog, IDC_OPT_HOLD_CONST) ? 2 : 0;
  s.levelwarning = IsChecked(dialog, IDC_OPT_LEVELWARNING);
  s.smooth = IsChecked(dialog, IDC_OPT_SMOOTH);
  s.display = IsChecked(dialog, IDC_OPT_DBDISP);
  s.monochrome = IsChecked(dialog, IDC_OPT_MONOCHROME);
  LRESULT selected = SendDlgItemMessageA(dialog, IDC_OPT_TIMING, CB_GETCURSEL, 0, 0);
  if (selected >= 0 && selected < DELTA_TIME_ENTRIES) s.deltatime = DeltaTimeAt(static_cast<int>(selected)).deltatime;
  s.OnMem = IsChecked(dialog, IDC_OPT_ONMEM);
  s.MemSize = ReadMemSizeField(dialog);
  ClampMemSize(s, app.windows_version);
  EndDialog(dialog, 1);
}

void OnOptionCommand(HWND dialog, int id, int code) {
  switch (id) {
    case IDOK: OnOptionOk(dialog); break;
    case IDCANCEL:
      OwnedApp().rate_steps = rate_at_open;
      EndDialog(dialog, 0);
      break;
    case IDC_OPT_ONMEM: EnableMemoryRows(dialog, IsChecked(dialog, IDC_OPT_ONMEM)); break;
    case IDC_OPT_MEMSIZE:
      if (code == EN_CHANGE) ShowMemoryTime(dialog);
      break;
    default: break;
  }
}

void OnOptionDestroy() { ReleaseDialogLook(small_font); }

}  // namespace

void OnRateScroll(HWND dialog, int code, int thumb) {
  OwnedApp().rate_steps = ScrollRateSteps(app.rate_steps, code, thumb);
  HWND bar = GetDlgItem(dialog, IDC_OPT_RATE);
  SetScrollPos(bar, SB_CTL, app.rate_steps, TRUE);
  if (code != SB_THUMBPOSITION && app.windows_version >= kWindows310)
    RedrawWindow(bar, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME);
  ShowRateTexts(dialog);
}

// The list and the "Smth" box follow the scroll-arrow width, measured in the
// dialog's own character cells.
void LayoutOptionDialog(HWND dialog) {
  RECT cell = {0, 0, 4, 8};
  MapDialogRect(dialog, &cell);
  OptionLayout layout = ComputeOptionLayout(GetSystemMetrics(SM_CXVSCROLL), cell.right);
  RECT list = {0, 0, 0, layout.list_height};
  MapDialogRect(dialog, &list);
  SetWindowPos(GetDlgItem(dialog, IDC_OPT_TIMING), nullptr, 0, 0, layout.list_width, list.bottom,
               SWP_NOMOVE | SWP_NOZORDER);
  RECT smooth = {layout.smooth_x, layout.smooth_y, layout.smooth_x + layout.smooth_width,
                 layout.smooth_y + layout.smooth_height};
  MapDialogRect(dialog, &smooth);
  SetWindowPos(GetDlgItem(dialog, IDC_OPT_SMOOTH), nullptr, smooth.left, smooth.top, smooth.right - smooth.left,
               smooth.bottom - smooth.top, SWP_NOZORDER);
}

INT_PTR CALLBACK OPTION(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: return OnOptionInit(dialog);
    case WM_COMMAND: OnOptionCommand(dialog, LOWORD(wparam), HIWORD(wparam)); return TRUE;
    case WM_HSCROLL: OnRateScroll(dialog, LOWORD(wparam), static_cast<short>(HIWORD(wparam))); return TRUE;
    case WM_SYSCOMMAND: return OnThreeDCommand(dialog, wparam);
    case WM_WININICHANGE:
      if (app.windows_version >= kWindows395) LayoutOptionDialog(dialog);
      return FALSE;
    case WM_DESTROY: OnOptionDestroy(); return FALSE;
    default: return FALSE;
  }
}

bool OpenOptionDialog() { return DialogBoxParamA(app.instance, "Option", app.main_window, OPTION, 0) > 0; }
