// Drawing of the level meter: the bars, the labels and the meter's messages.
#pragma once
#include <windows.h>

// The two meters: left (or mono) and right. Each keeps its own peak hold.
enum MeterChannel { LEFT_METER, RIGHT_METER };
// Draws one meter at row_y, row_height high, and updates its hold.
void DrawChannelMeter(HDC dc, MeterChannel channel, DWORD level, int row_y, int row_height, DWORD delta);
// The labels of the meter's scale for the current format's sample class
// (drawn once a file is open).
void DrawMeterLabels(HDC dc, int sample_class);
// Blacks out the meter area: (w, 13h), 35w by 5h.
void ClearMeterArea(HDC dc);
void ShowMeterMessage(const char* text);
