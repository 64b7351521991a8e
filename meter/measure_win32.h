// Level measurement of the wave blocks (or the mixer's peak meter).
#pragma once
#include <windows.h>

void FillSilence(int block, DWORD bytes);
// Measures and draws the levels of the first bytes of wave block `block`
// (compressed formats: the mixer's peak meter).
void MeasureLevels(HDC dc, int block, long bytes);
// The same for any stretch of sound (null: nothing to scan).
void MeasureLevelsOf(HDC dc, const char* sound, long bytes);
// Adapts the meter's stride to the time the handler that began at `start`
// took against the time between buffers.
void AdaptStride(DWORD start);
