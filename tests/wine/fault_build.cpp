// The faults of TAPEON_fault.exe (see fault_build.h).
#include "fault_build.h"

#include <cstdlib>

#undef waveOutWrite
#undef waveInStart
#undef GlobalAlloc
#undef SetTimer
#undef KillTimer

namespace {

// One buffer in twenty is lost, from the tenth on, so that a file of a few
// seconds loses one too.
constexpr unsigned kDropEvery = 20;
constexpr unsigned kFirstDrop = 10;
unsigned calls = 0;

BOOL CALLBACK FindProgramWindow(HWND window, LPARAM found) {
  char name[16] = "";
  GetClassNameA(window, name, sizeof name);
  if (lstrcmpA(name, "TAPEON") != 0) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

// The number in an environment variable, 0 without it.
unsigned FaultSetting(const char* name) {
  char text[16] = "";
  if (!GetEnvironmentVariableA(name, text, sizeof text)) return 0;
  return static_cast<unsigned>(strtoul(text, nullptr, 10));
}

unsigned wave_in_starts = 0;
unsigned header_allocs = 0;

}  // namespace

MMRESULT WINAPI DroppingWaveOutWrite(HWAVEOUT device, LPWAVEHDR header, UINT size) {
  if (++calls % kDropEvery != kFirstDrop) return waveOutWrite(device, header, size);
  // The buffer comes back as if it had been played; its sound never reaches
  // the device. The program's window gets the device's message as usual.
  HWND window = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindProgramWindow, reinterpret_cast<LPARAM>(&window));
  header->dwFlags = (header->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
  PostMessageA(window, MM_WOM_DONE, reinterpret_cast<WPARAM>(device), reinterpret_cast<LPARAM>(header));
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI FailingWaveInStart(HWAVEIN device) {
  if (++wave_in_starts == FaultSetting("TAPEON_FAULT_WAVEIN_START")) return MMSYSERR_ERROR;
  return waveInStart(device);
}

HGLOBAL WINAPI FailingGlobalAlloc(UINT flags, SIZE_T bytes) {
  if (bytes == sizeof(WAVEHDR) && header_allocs < FaultSetting("TAPEON_FAULT_HEADER_ALLOCS")) {
    ++header_allocs;
    return nullptr;
  }
  return GlobalAlloc(flags, bytes);
}

UINT_PTR WINAPI WatchedSetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC procedure) {
  const UINT_PTR set = SetTimer(window, id, elapse, procedure);
  if (set && window && id == 1) SetPropA(window, kDisplayTimerProperty, reinterpret_cast<HANDLE>(1));
  return set;
}

BOOL WINAPI WatchedKillTimer(HWND window, UINT_PTR id) {
  if (window && id == 1) RemovePropA(window, kDisplayTimerProperty);
  return KillTimer(window, id);
}
