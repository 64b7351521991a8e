// The file information dialogs.
#pragma once
#include <windows.h>

// "InfoBox": result 1 when Detail was pressed, 0 on OK or Cancel.
INT_PTR CALLBACK INFOBOX(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
// "InfoDetail": always ends with 1.
INT_PTR CALLBACK InfoDetailProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
// Opens "InfoBox" over the main window, and "InfoDetail" after it when its
// Detail button was pressed.
void OpenInfoDialogs();
