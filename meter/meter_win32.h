// The level meter, the timer tick and the status lines of the main window.
#pragma once
#include <windows.h>

#include "sound_files/format_record.h"

// Status display.
void SetDisplayFormat(const FormatRecord* format);
void RefreshCapacity();
void ShowFormatLine(HDC dc);
void ShowCapacity(HDC dc);
void ShowPosition(HDC dc);
void MeterTick(HDC dc, DWORD now);

// Level measurement and drawing.
void FillSilence(int block, DWORD bytes);
// Returns the ms clock read after the scan (0 for mixer readings).
DWORD MeasureLevels(HDC dc, int block, long bytes);
void DrawChannelMeter(HDC dc, DWORD level, int row_y, int row_height, DWORD delta);
void AdaptStride(DWORD start, HDC dc);
void DrawMeterLabels(HDC dc);
// Blacks out the meter area: (w, 13h), 35w by 5h.
void ClearMeterArea(HDC dc);
void ShowMeterMessage(const char* text);

// Level report at the end of a run (levelwarning on).
void ShowLevelReport(HWND owner);

// Mixer level source for compressed playback.
void OpenMixerMeter();
// Closes the mixer and frees its library at program end.
void CloseMixerMeter();
