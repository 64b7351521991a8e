// The About box: version, author, build and the wave devices found.
#include "app/about_dialog_win32.h"

#include "app/about_texts.h"
#include "audio/transport_state_win32.h"
#include "base/app_state_win32.h"
#include "base/dialog_look_win32.h"
#include "resources/resource_ids.h"

namespace {

BOOL OnAboutInit(HWND dialog) {
  const bool japanese = app.japanese_ui;
  SetUpThreeD(dialog, nullptr);  // no bordered controls here

  SetWindowTextA(dialog, "About TAPEON");
  SetDlgItemTextA(dialog, IDC_ABOUT_VERSION, kAboutVersion);
  SetDlgItemTextA(dialog, IDC_ABOUT_AUTHOR, AboutAuthorLine(japanese));
  SetDlgItemTextA(dialog, IDC_ABOUT_BITS, AboutWordSize(japanese));
  char text[128];
  FormatCompilerLine(BuildCompilerName(), BuildCompilerVersion(), japanese, text, sizeof text);
  SetDlgItemTextA(dialog, IDC_ABOUT_COMPILER, text);
  SetDlgItemTextA(dialog, IDC_ABOUT_FREE, AboutFreeSoftware(japanese));
  FormatDeviceCounts(static_cast<int>(waveInGetNumDevs()), static_cast<int>(waveOutGetNumDevs()), japanese, text,
                     sizeof text);
  SetDlgItemTextA(dialog, IDC_ABOUT_DEVICES, text);
  return TRUE;
}

// Result of WM_SYSCOMMAND: TRUE when handled here.
BOOL OnAboutSysCommand(HWND dialog, WPARAM command) {
  if ((command & 0xFFF0) == SC_MOVE && IsRecordingLive()) return TRUE;
  return OnThreeDCommand(dialog, command);
}

// "ABOUT": always ends with 1.
INT_PTR CALLBACK ABOUTBOX(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: return OnAboutInit(dialog);
    case WM_COMMAND:
      if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) EndDialog(dialog, 1);
      return TRUE;
    case WM_SYSCOMMAND: return OnAboutSysCommand(dialog, wparam);
    case WM_INITMENU:
      EnableMenuItem(GetSystemMenu(dialog, FALSE), SC_MOVE, MF_BYCOMMAND | (IsRecordingLive() ? MF_GRAYED : MF_ENABLED));
      return TRUE;
    case WM_GETMINMAXINFO: return IsRecordingLive();
    default: return FALSE;
  }
}

}  // namespace

void OpenAboutBox(HWND owner) { DialogBoxParamA(app.instance, "ABOUT", owner, ABOUTBOX, 0); }
