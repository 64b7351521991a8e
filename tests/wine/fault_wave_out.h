// Forced into every source of the test build TAPEON_drop_fault.exe (never
// shipped): the program's calls of waveOutWrite go to DroppingWaveOutWrite,
// which loses one buffer in twenty. The playback tests must catch it.
#pragma once
#include <windows.h>
#include <mmsystem.h>

MMRESULT WINAPI DroppingWaveOutWrite(HWAVEOUT device, LPWAVEHDR header, UINT size);
#define waveOutWrite DroppingWaveOutWrite
