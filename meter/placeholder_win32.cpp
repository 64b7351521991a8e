// Placeholders for the meter and status display until they are built: they
// draw nothing.
#include "app/app_state_win32.h"
#include "meter/meter_win32.h"

void SetDisplayFormat(const FormatRecord*) {}
void RefreshCapacity() {}
void ShowFormatLine(HDC) {}
void ShowCapacity(HDC) {}
void ShowPosition(HDC) {}
void MeterTick(HDC, DWORD) {}
void FillSilence(int, DWORD) {}
DWORD MeasureLevels(HDC, int, long) { return timeGetTime(); }
void DrawChannelMeter(HDC, DWORD, int, int, DWORD) {}
void AdaptStride(DWORD, HDC) {}
void DrawMeterLabels(HDC) {}
void ShowMeterMessage(const char*) {}
void ShowLevelReport(HWND) {}
void OpenMixerMeter() {}
void CloseMixerMeter() {}
