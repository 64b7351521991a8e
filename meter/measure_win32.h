// Level measurement of the wave blocks (or the mixer's peak meter).
#pragma once
#include <windows.h>

#include <cstddef>

void FillSilence(int block, DWORD bytes);
// Measures and draws the levels of the first bytes of wave block `block`
// (compressed formats: the mixer's peak meter).
void MeasureLevels(HDC dc, int block, long bytes);
// The same for any stretch of sound (null: nothing to scan).
void MeasureLevelsOf(HDC dc, const char* sound, long bytes);
// Adapts the meter's stride to the time the handler that began at `start`
// took against the time between buffers.
void AdaptStride(DWORD start);

// The format whose samples the meter reads (the bytes of a format record):
// PCM of 8 to 32 bits and float are read directly; the levels of any other
// format come from the mixer or the decoded sound.
void SetMeterFormat(const void* record, size_t size);
bool MeterReadsSamples();
// True when the levels come from the decoded sound. On memory they are then
// measured by sound time: the block is converted from metered_end on until
// the converted sound reaches the position (ms of the file's time), as the
// bytes of a variable rate stream do not follow its nominal byte rate.
bool MetersDecodedSound();
void MeasureDecodedUntil(HDC dc, const char* block, long size, long& metered_end, double position_ms);
// When the decoded sound is the level source, the failure texts the mixer
// wrote over the status lines are painted over.
void ForgetMixerNotices();
