// The status lines of the main window and the timer tick that refreshes them
// and the level meter.
#pragma once
#include <windows.h>


// Shows the current format (taken by TakeCurrentFormat) on a cleared meter.
void ShowNewFormat();
void RefreshCapacity();
void ShowFormatLine(HDC dc);
void ShowCapacity(HDC dc);
void ShowPosition(HDC dc);
void MeterTick(HDC dc, DWORD now);
