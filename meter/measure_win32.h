// Level measurement of the wave blocks (or the mixer's peak meter).
#pragma once
#include <windows.h>

#include <cstddef>

#include "meter/levels.h"
#include "meter/stride.h"

// What the meter measures a run's sound with, handed over by the transport
// with every measurement: the meter reads no transport state of its own.
struct MeterRun {
  // How the samples are read (the current format's): PCM of 8 to 32 bits and
  // float directly; the levels of any other format come from the mixer or
  // the decoded sound.
  PcmLayout layout;
  int sample_class = 0;     // of the current format: mono or stereo bars
  uint32_t unit_size = 0;   // bytes of sound of one display unit
  bool levelwarning = false;
  StridePeriodInputs period;  // the time between two handled blocks
};

// Fills a data area with the silence of samples of sample_bits bits.
void FillSilence(char* data, DWORD bytes, int sample_bits);
// Measures and draws the levels of a stretch of sound (null: nothing to
// scan; compressed formats: the mixer's peak meter).
void MeasureLevelsOf(HDC dc, const char* sound, long bytes, const MeterRun& run);
// Adapts the meter's stride to the time the handler that began at `start`
// took against the time between buffers.
void AdaptStride(DWORD start, const StridePeriodInputs& period);
// True when the levels come from the decoded sound. On memory they are then
// measured by sound time: the block is converted from metered_end on until
// the converted sound reaches the position (ms of the file's time), as the
// bytes of a variable rate stream do not follow its nominal byte rate.
bool MetersDecodedSound(const PcmLayout& layout);
void MeasureDecodedUntil(HDC dc, const char* block, long size, double position_ms, int sample_class);
// The meter's stride (every stride-th frame is examined) a run starts with.
void SetMeterStride(uint32_t stride);
// A run starts: its maximum level and clip count start from nothing.
void ResetRunLevels();
// The holds are let go (a run starts).
void ClearMeterHolds();
// The on-memory window starts again at the block's beginning.
void RestartMeterWindow();
// When the decoded sound is the level source, the failure texts the mixer
// wrote over the status lines are painted over.
void ForgetMixerNotices();
