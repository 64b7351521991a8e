// Level measurement of the wave blocks (or the mixer's peak meter).
#pragma once
#include <windows.h>

void FillSilence(int block, DWORD bytes);
// Measures and draws the levels of the first bytes of wave block `block`.
// Returns the ms clock read after the scan (0 for mixer readings).
DWORD MeasureLevels(HDC dc, int block, long bytes);
// The same for any stretch of sound (null: nothing to scan).
DWORD MeasureLevelsOf(HDC dc, const char* sound, long bytes);
void AdaptStride(DWORD start, HDC dc);
