// Forced into every source of the test build TAPEON_fault.exe (never
// shipped), which fails on purpose where a test cannot make the system fail:
// - waveOutWrite loses one buffer in twenty (always): the playback tests must
//   catch it;
// - waveInStart fails at its Nth call when TAPEON_FAULT_WAVEIN_START is N;
// - the first N wave header blocks cannot be had when
//   TAPEON_FAULT_HEADER_ALLOCS is N (GlobalAlloc of a WAVEHDR's size);
// - the display timer (window timer 1) is shown to the tests as the window
//   property kDisplayTimerProperty, 1 while it runs.
#pragma once
#include <windows.h>
#include <mmsystem.h>

inline constexpr char kDisplayTimerProperty[] = "TapeonDisplayTimer";

MMRESULT WINAPI DroppingWaveOutWrite(HWAVEOUT device, LPWAVEHDR header, UINT size);
MMRESULT WINAPI FailingWaveInStart(HWAVEIN device);
HGLOBAL WINAPI FailingGlobalAlloc(UINT flags, SIZE_T bytes);
UINT_PTR WINAPI WatchedSetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC procedure);
BOOL WINAPI WatchedKillTimer(HWND window, UINT_PTR id);
#define waveOutWrite DroppingWaveOutWrite
#define waveInStart FailingWaveInStart
#define GlobalAlloc FailingGlobalAlloc
#define SetTimer WatchedSetTimer
#define KillTimer WatchedKillTimer
