// Level measurement of the wave blocks (or the mixer's peak meter).
#pragma once
#include <windows.h>

void FillSilence(int block, DWORD bytes);
// Returns the ms clock read after the scan (0 for mixer readings).
DWORD MeasureLevels(HDC dc, int block, long bytes);
void AdaptStride(DWORD start, HDC dc);
