// The Option dialog.
#pragma once
#include <windows.h>

// "Option": non-zero when the user pressed OK.
INT_PTR CALLBACK OPTION(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
