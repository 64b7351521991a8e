// Forced into every source of the test build TAPEON_fault.exe (never
// shipped), which fails on purpose where a test cannot make the system fail:
// - waveOutWrite loses one buffer in twenty (always): the playback tests must
//   catch it;
// - waveInStart fails at its Nth call when TAPEON_FAULT_WAVEIN_START is N;
// - the first N wave header blocks cannot be had when
//   TAPEON_FAULT_HEADER_ALLOCS is N (GlobalAlloc of a WAVEHDR's size);
// - the display timer (window timer 1) is shown to the tests as the window
//   property kDisplayTimerProperty, 1 while it runs;
// - a recording's files hold at most TAPEON_FAULT_FILE_LIMIT bytes when that
//   is set (a series of files in seconds instead of hours);
// - waveInAddBuffer holds back the buffers handed to it from its Nth call on
//   for MS milliseconds when TAPEON_FAULT_WITHHOLD_INPUT is "N,MS", then
//   hands them to the device in order: the input runs with nothing to fill,
//   as when the program is held up;
// - waveInStart answers success without starting the device at its Nth call
//   and the COUNT-1 calls after it (all from the Nth on when COUNT is 0) when
//   TAPEON_FAULT_DEAF_START is "N,COUNT": the input stops, as a device whose
//   restart after a reset did not take;
// - every text drawn with TextOutA is added as a line to the file
//   TAPEON_FAULT_TEXT_LOG names, when that is set (what the status lines
//   showed), and with them the calls to the input device (reset, start,
//   add, a block taken back, its position) with the time, so that a run can
//   be followed block by block;
// - FlushFileBuffers takes MS milliseconds more when TAPEON_FAULT_SLOW_FLUSH
//   is MS (a memory card, a network drive), and meanwhile the program's
//   mmioWrite and mmioSeek through the same file object wait for it, as
//   Windows serializes the I/O of a file object opened for synchronous I/O
//   (Wine does not: there a flush holds up nothing). CompareObjectHandles
//   tells the file objects apart: a duplicated handle is the same one, a
//   second open another. The window property kFlushesHeldProperty counts the
//   flushes held.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <cstdint>

inline constexpr char kDisplayTimerProperty[] = "TapeonDisplayTimer";
inline constexpr char kFlushesHeldProperty[] = "TapeonFlushesHeld";

MMRESULT WINAPI DroppingWaveOutWrite(HWAVEOUT device, LPWAVEHDR header, UINT size);
MMRESULT WINAPI FailingWaveInStart(HWAVEIN device);
HGLOBAL WINAPI FailingGlobalAlloc(UINT flags, SIZE_T bytes);
UINT_PTR WINAPI WatchedSetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC procedure);
BOOL WINAPI WatchedKillTimer(HWND window, UINT_PTR id);
uint32_t FaultFileLimit();
MMRESULT WINAPI WithholdingWaveInAddBuffer(HWAVEIN device, LPWAVEHDR header, UINT size);
BOOL WINAPI LoggedTextOutA(HDC dc, int x, int y, LPCSTR text, int length);
BOOL WINAPI SlowFlushFileBuffers(HANDLE file);
LONG WINAPI SerializedMmioWrite(HMMIO mmio, const char* data, LONG bytes);
LONG WINAPI SerializedMmioSeek(HMMIO mmio, LONG offset, int origin);
MMRESULT WINAPI LoggedWaveInReset(HWAVEIN device);
MMRESULT WINAPI LoggedWaveInUnprepareHeader(HWAVEIN device, LPWAVEHDR header, UINT size);
MMRESULT WINAPI LoggedWaveInGetPosition(HWAVEIN device, LPMMTIME time, UINT size);
#define waveOutWrite DroppingWaveOutWrite
#define waveInStart FailingWaveInStart
#define GlobalAlloc FailingGlobalAlloc
#define SetTimer WatchedSetTimer
#define KillTimer WatchedKillTimer
#define waveInAddBuffer WithholdingWaveInAddBuffer
#define TextOutA LoggedTextOutA
#define FlushFileBuffers SlowFlushFileBuffers
#define mmioWrite SerializedMmioWrite
#define mmioSeek SerializedMmioSeek
#define waveInReset LoggedWaveInReset
#define waveInUnprepareHeader LoggedWaveInUnprepareHeader
#define waveInGetPosition LoggedWaveInGetPosition
#define TAPEON_RECORDING_FILE_LIMIT FaultFileLimit()
