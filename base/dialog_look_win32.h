// The three-dimension look shared by every dialog, and small fonts for long
// texts.
#pragma once
#include <windows.h>

// A dialog's hook that re-creates its bordered controls in the current look.
using RecreateControls = void (*)(HWND dialog);

// At WM_INITDIALOG: recreate becomes the dialog's re-creation hook (null for
// a dialog without bordered controls); from 3.95 on, the style bit from
// dialog3d, the hook, and the "&Three dimension" system-menu item.
void SetUpThreeD(HWND dialog, RecreateControls recreate);
// At WM_DESTROY of a dialog that set a hook or a small font: deletes the font
// (if any) and drops the hook.
void ReleaseDialogLook(HFONT& small_font);
// Sent to the main window to turn the dialog3d setting over (the setting is
// the program's, written by the window alone).
constexpr UINT kThreeDToggleMessage = WM_APP + 3;
// WM_SYSCOMMAND 100: flips dialog3d and redraws the dialog in the new look.
void ToggleThreeD(HWND dialog);
// A dialog's WM_SYSCOMMAND: TRUE after ToggleThreeD for the "Three dimension"
// item, FALSE for every other command (the system carries it out).
BOOL OnThreeDCommand(HWND dialog, WPARAM command);
// Re-creates one bordered control with the current look.
void RecreateControl(HWND dialog, int id, const char* class_name);
// Gives control id a font two thirds of the screen font's height, for a text
// that is long for its box. The caller deletes the font when the dialog goes.
HFONT GiveSmallFont(HWND dialog, int id, BYTE charset);
