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

namespace {

constexpr int MEM_SIZE_DIGITS = 3;

// One open dialog: the choice being made (a copy; nothing outside changes
// until OK), and the small font of the "monochrome" box in the English
// interface.
struct OptionDialog {
  OptionChoice choice;
  HFONT small_font;
};

OptionDialog& StateOf(HWND dialog) { return *reinterpret_cast<OptionDialog*>(GetWindowLongPtrA(dialog, DWLP_USER)); }

bool IsChecked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

void SetChecked(HWND dialog, int id, int on) { CheckDlgButton(dialog, id, on ? BST_CHECKED : BST_UNCHECKED); }

void ShowRateTexts(HWND dialog) {
  const OptionChoice& c = StateOf(dialog).choice;
  char text[32];
  FormatRatePercent(c.rate_steps, text, sizeof text);
  SetDlgItemTextA(dialog, IDC_OPT_PERCENT, text);
  FormatRatePitch(c.rate_steps, app.japanese_ui, c.options.levelwarning, text, sizeof text);
  SetDlgItemTextA(dialog, IDC_OPT_PITCH, text);
}

void SetRateBar(HWND dialog) {
  HWND bar = GetDlgItem(dialog, IDC_OPT_RATE);
  SetScrollRange(bar, SB_CTL, RATE_STEPS_MIN, RATE_STEPS_MAX, FALSE);
  SetScrollPos(bar, SB_CTL, StateOf(dialog).choice.rate_steps, TRUE);
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
  const RecordingSettings& s = StateOf(dialog).choice.recording;
  char text[128];
  FormatMemoryTime(ReadMemSizeField(dialog), s.rec_freq, s.rec_channel, s.rec_bits, app.japanese_ui, text,
                   sizeof text);
  SetDlgItemTextA(dialog, IDC_OPT_MEMTIME, text);
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

void OnRateScroll(HWND dialog, int code, int thumb) {
  int& rate_steps = StateOf(dialog).choice.rate_steps;
  rate_steps = ScrollRateSteps(rate_steps, code, thumb);
  HWND bar = GetDlgItem(dialog, IDC_OPT_RATE);
  SetScrollPos(bar, SB_CTL, rate_steps, TRUE);
  if (code != SB_THUMBPOSITION && app.windows_version >= kWindows310)
    RedrawWindow(bar, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME);
  ShowRateTexts(dialog);
}

BOOL OnOptionInit(HWND dialog, OptionDialog& state) {
  SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&state));
  const OptionSettings& s = state.choice.options;
  if (app.windows_version >= kWindows395) LayoutOptionDialog(dialog);
  SetUpThreeD(dialog, RecreateOptionControls);
  if (app.japanese_ui)
    LocalizeOptionDialog(dialog);
  else
    state.small_font = GiveSmallFont(dialog, IDC_OPT_MONOCHROME, ANSI_CHARSET);  // the English text is long

  SetRateBar(dialog);
  ShowRateTexts(dialog);

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
  OptionSettings& s = StateOf(dialog).choice.options;
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
    case IDCANCEL: EndDialog(dialog, 0); break;
    case IDC_OPT_ONMEM: EnableMemoryRows(dialog, IsChecked(dialog, IDC_OPT_ONMEM)); break;
    case IDC_OPT_MEMSIZE:
      if (code == EN_CHANGE) ShowMemoryTime(dialog);
      break;
    default: break;
  }
}

void OnOptionDestroy(HWND dialog) { ReleaseDialogLook(StateOf(dialog).small_font); }



// "Option": non-zero when the user pressed OK.
INT_PTR CALLBACK OPTION(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  // Nothing to do before WM_INITDIALOG has stored the dialog's state.
  if (message != WM_INITDIALOG && !GetWindowLongPtrA(dialog, DWLP_USER)) return FALSE;
  switch (message) {
    case WM_INITDIALOG: return OnOptionInit(dialog, *reinterpret_cast<OptionDialog*>(lparam));
    case WM_COMMAND: OnOptionCommand(dialog, LOWORD(wparam), HIWORD(wparam)); return TRUE;
    case WM_HSCROLL: OnRateScroll(dialog, LOWORD(wparam), static_cast<short>(HIWORD(wparam))); return TRUE;
    case WM_SYSCOMMAND: return OnThreeDCommand(dialog, wparam);
    case WM_WININICHANGE:
      if (app.windows_version >= kWindows395) LayoutOptionDialog(dialog);
      return FALSE;
    case WM_DESTROY: OnOptionDestroy(dialog); return FALSE;
    default: return FALSE;
  }
}

}  // namespace

bool OpenOptionDialog(HWND owner, const OptionChoice& in, OptionChoice* out) {
  OptionDialog state{in, nullptr};
  if (DialogBoxParamA(app.instance, "Option", owner, OPTION, reinterpret_cast<LPARAM>(&state)) <= 0) return false;
  *out = state.choice;
  return true;
}
