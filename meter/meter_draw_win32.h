// Drawing of the level meter: the bars, the labels and the meter's messages.
#pragma once
#include <windows.h>

void DrawChannelMeter(HDC dc, DWORD level, int row_y, int row_height, DWORD delta);
void DrawMeterLabels(HDC dc);
// Blacks out the meter area: (w, 13h), 35w by 5h.
void ClearMeterArea(HDC dc);
void ShowMeterMessage(const char* text);
