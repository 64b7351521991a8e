// The About box.
#pragma once
#include <windows.h>

// Opens "ABOUT" over owner: the version, the build and the wave devices the
// system has now.
void OpenAboutBox(HWND owner);
