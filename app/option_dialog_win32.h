// The Option dialog.
#pragma once
#include <windows.h>

// "Option": non-zero when the user pressed OK.
INT_PTR CALLBACK OPTION(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
// Opens "Option" over the main window; true when the settings were changed
// with OK.
bool OpenOptionDialog();
