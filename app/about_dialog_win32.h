// The About box.
#pragma once
#include <windows.h>

// "ABOUT": always ends with 1.
INT_PTR CALLBACK ABOUTBOX(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
// Opens "ABOUT" over the main window.
void OpenAboutBox();
