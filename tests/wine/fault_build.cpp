// The faults of TAPEON_fault.exe (see fault_build.h).
#include "fault_build.h"

#include <cstdlib>
#include <vector>

#undef waveOutWrite
#undef waveInStart
#undef GlobalAlloc
#undef SetTimer
#undef KillTimer
#undef waveInAddBuffer
#undef TextOutA
#undef FlushFileBuffers
#undef mmioWrite
#undef mmioSeek
#undef waveInReset
#undef waveInUnprepareHeader
#undef waveInGetPosition

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

// Adds a line to the text log, when there is one.
void LogLine(const char* text, int length) {
  char path[MAX_PATH] = "";
  if (length <= 0 || !GetEnvironmentVariableA("TAPEON_FAULT_TEXT_LOG", path, sizeof path)) return;
  HANDLE log = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (log == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(log, text, static_cast<DWORD>(length), &written, nullptr);
  WriteFile(log, "\n", 1, &written, nullptr);
  CloseHandle(log);
}

// A call to the input device, with the ms clock: "@123456 waveInStart 0".
void LogDeviceCall(const char* call, const WAVEHDR* header, long value) {
  char line[160];
  const int length = header ? wsprintfA(line, "@%lu %s %p %ld flags %lx", timeGetTime(), call, header, value, header->dwFlags)
                            : wsprintfA(line, "@%lu %s %ld", timeGetTime(), call, value);
  LogLine(line, length);
}

unsigned wave_in_starts = 0;
unsigned header_allocs = 0;

// The input buffers held back, and whether buffers are held back now.
struct HeldBuffer {
  HWAVEIN device;
  LPWAVEHDR header;
  UINT size;
};
std::vector<HeldBuffer> held;
bool withholding = false;
unsigned input_adds = 0;

VOID CALLBACK HandOverHeldBuffers(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  withholding = false;
  LogDeviceCall("held buffers handed over", nullptr, static_cast<long>(held.size()));
  // A buffer the program took back meanwhile (a stop) is not handed over.
  for (const HeldBuffer& buffer : held) {
    if ((buffer.header->dwFlags & WHDR_PREPARED) && !(buffer.header->dwFlags & (WHDR_INQUEUE | WHDR_DONE)))
      waveInAddBuffer(buffer.device, buffer.header, buffer.size);
  }
  held.clear();
}

// The file handle a held flush works on (null when none), and the event
// set when it ends.
HANDLE volatile held_flush_file = nullptr;
HANDLE flush_done = nullptr;
LONG flushes_held = 0;

BOOL CALLBACK FindOwnProgramWindow(HWND window, LPARAM found) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != GetCurrentProcessId()) return TRUE;
  return FindProgramWindow(window, found);
}

// Waits while a held flush works on the file object of `mmio`'s file.
void WaitForHeldFlush(HMMIO mmio) {
  const HANDLE held = held_flush_file;
  if (!held || !mmio) return;
  using CompareFn = BOOL(WINAPI*)(HANDLE, HANDLE);
  static const CompareFn compare = reinterpret_cast<CompareFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernelbase.dll"), "CompareObjectHandles")));
  MMIOINFO info = {};
  if (!compare || mmioGetInfo(mmio, &info, 0) != MMSYSERR_NOERROR) return;
  if (compare(reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(info.adwInfo[0])), held))
    WaitForSingleObject(flush_done, INFINITE);
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

// The Nth and COUNT from "N,COUNT" in an environment variable (0, 0 without it).
void FaultPair(const char* name, unsigned* n, unsigned* count) {
  char text[32] = "";
  GetEnvironmentVariableA(name, text, sizeof text);
  char* rest = nullptr;
  *n = static_cast<unsigned>(strtoul(text, &rest, 10));
  *count = rest && *rest == ',' ? static_cast<unsigned>(strtoul(rest + 1, nullptr, 10)) : 0;
}

MMRESULT WINAPI FailingWaveInStart(HWAVEIN device) {
  ++wave_in_starts;
  unsigned deaf_from = 0, deaf_count = 0;
  FaultPair("TAPEON_FAULT_DEAF_START", &deaf_from, &deaf_count);
  const bool deaf = deaf_from != 0 && wave_in_starts >= deaf_from && (deaf_count == 0 || wave_in_starts < deaf_from + deaf_count);
  const MMRESULT result = wave_in_starts == FaultSetting("TAPEON_FAULT_WAVEIN_START") ? MMSYSERR_ERROR
                          : deaf                                                       ? MMSYSERR_NOERROR
                                                                                       : waveInStart(device);
  LogDeviceCall(deaf ? "waveInStart (deaf)" : "waveInStart", nullptr, static_cast<long>(result));
  return result;
}

MMRESULT WINAPI LoggedWaveInReset(HWAVEIN device) {
  const MMRESULT result = waveInReset(device);
  LogDeviceCall("waveInReset", nullptr, static_cast<long>(result));
  return result;
}

MMRESULT WINAPI LoggedWaveInUnprepareHeader(HWAVEIN device, LPWAVEHDR header, UINT size) {
  LogDeviceCall("taken back", header, static_cast<long>(header->dwBytesRecorded));
  return waveInUnprepareHeader(device, header, size);
}

MMRESULT WINAPI LoggedWaveInGetPosition(HWAVEIN device, LPMMTIME time, UINT size) {
  const MMRESULT result = waveInGetPosition(device, time, size);
  LogDeviceCall("position", nullptr, result == MMSYSERR_NOERROR ? static_cast<long>(time->u.sample) : -1);
  return result;
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

uint32_t FaultFileLimit() {
  const unsigned limit = FaultSetting("TAPEON_FAULT_FILE_LIMIT");
  return limit != 0 ? limit : 0x7FFFFFFF;
}

MMRESULT WINAPI WithholdingWaveInAddBuffer(HWAVEIN device, LPWAVEHDR header, UINT size) {
  unsigned from = 0, ms = 0;
  FaultPair("TAPEON_FAULT_WITHHOLD_INPUT", &from, &ms);
  if (from != 0 && ++input_adds == from && ms != 0) {
    withholding = true;
    SetTimer(nullptr, 0, ms, HandOverHeldBuffers);
  }
  if (!withholding) {
    const MMRESULT result = waveInAddBuffer(device, header, size);
    LogDeviceCall("waveInAddBuffer", header, static_cast<long>(result));
    return result;
  }
  LogDeviceCall("waveInAddBuffer (held back)", header, 0);
  held.push_back({device, header, size});
  return MMSYSERR_NOERROR;
}

BOOL WINAPI LoggedTextOutA(HDC dc, int x, int y, LPCSTR text, int length) {
  LogLine(text, length);
  return TextOutA(dc, x, y, text, length);
}

BOOL WINAPI SlowFlushFileBuffers(HANDLE file) {
  const unsigned ms = FaultSetting("TAPEON_FAULT_SLOW_FLUSH");
  if (ms == 0) return FlushFileBuffers(file);
  if (!flush_done) flush_done = CreateEventA(nullptr, TRUE, TRUE, nullptr);
  ResetEvent(flush_done);
  held_flush_file = file;
  HWND window = nullptr;
  EnumWindows(FindOwnProgramWindow, reinterpret_cast<LPARAM>(&window));
  if (window) SetPropA(window, kFlushesHeldProperty, reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(++flushes_held)));
  Sleep(ms);
  const BOOL flushed = FlushFileBuffers(file);
  held_flush_file = nullptr;
  SetEvent(flush_done);
  return flushed;
}

LONG WINAPI SerializedMmioWrite(HMMIO mmio, const char* data, LONG bytes) {
  WaitForHeldFlush(mmio);
  return mmioWrite(mmio, data, bytes);
}

LONG WINAPI SerializedMmioSeek(HMMIO mmio, LONG offset, int origin) {
  WaitForHeldFlush(mmio);
  return mmioSeek(mmio, offset, origin);
}
