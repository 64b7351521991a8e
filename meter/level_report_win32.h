// The level report at the end of a run (levelwarning on).
#pragma once
#include <windows.h>

void ShowLevelReport(HWND owner);
