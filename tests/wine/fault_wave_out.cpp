// The fault of TAPEON_drop_fault.exe (see fault_wave_out.h).
#include "fault_wave_out.h"

#undef waveOutWrite

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
