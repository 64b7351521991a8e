// The three-dimension look shared by every dialog, and small fonts for long
// texts.
#pragma once
#include <windows.h>

// At WM_INITDIALOG (3.95 and later): the style bit from dialog3d, the
// dialog's re-creation hook, and the "&Three dimension" system-menu item.
void SetUpThreeD(HWND dialog);
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
