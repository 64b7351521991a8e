// The main window: layout, menu, buttons, commands and the file name display.
#pragma once
#include <windows.h>

// The window procedure keeps its historical name, which the system headers
// also use for the procedure pointer type; a namespace keeps them apart.
namespace tapeon {
LRESULT CALLBACK WNDPROC(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
}
LRESULT CALLBACK CONTROLPROC(HWND button, UINT message, WPARAM wparam, LPARAM lparam);

void OnCommand(HWND window, int id, LPARAM lparam, int code);
void LayoutMainWindow();
void CreateButtonFont();
void UpdateDarkBackground();
void LocalizeMenu(HWND window);
void SubclassButtons();

// Switch the mode after a file was chosen; each returns the open's result
// (true ready, false failed).
bool PrepareForPlay();
bool PrepareForRecord();

// The two name lines and the window title.
void DrawFileName(HDC dc);
void RefreshFileName();

void OnDropFiles(HDROP drop);

// Text of a button, chosen by the interface language.
void SetStartButtonText(const char* english, const char* japanese);
