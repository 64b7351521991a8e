// The smallest useful player, as a yardstick for TAPEON's playback: four
// 64 KB buffers, completion messages to a window, mmioRead, nothing else.
//   tool_minplay FILE.WAV
// Plays the data chunk of a PCM WAVE file once; exit code 0 at its end.
#include <windows.h>
#include <mmsystem.h>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kBuffers = 4;
constexpr DWORD kBufferBytes = 65536;

HMMIO file;
HWAVEOUT device;
WAVEHDR headers[kBuffers];
DWORD remaining = 0;
int queued = 0;

bool Fill(WAVEHDR* header) {
  DWORD bytes = remaining < header->dwUser ? remaining : static_cast<DWORD>(header->dwUser);
  if (bytes == 0) return false;
  LONG got = mmioRead(file, header->lpData, static_cast<LONG>(bytes));
  if (got <= 0) {
    remaining = 0;
    return false;
  }
  remaining -= static_cast<DWORD>(got);
  header->dwBufferLength = static_cast<DWORD>(got);
  header->dwFlags = 0;
  waveOutPrepareHeader(device, header, sizeof *header);
  waveOutWrite(device, header, sizeof *header);
  ++queued;
  return true;
}

LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message != MM_WOM_DONE) return DefWindowProcA(window, message, wparam, lparam);
  WAVEHDR* header = reinterpret_cast<WAVEHDR*>(lparam);
  --queued;
  waveOutUnprepareHeader(device, header, sizeof *header);
  Fill(header);
  if (queued == 0) {
    waveOutClose(device);
    mmioClose(file, 0);
    PostQuitMessage(0);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: tool_minplay FILE.WAV\n");
    return 1;
  }
  file = mmioOpenA(argv[1], nullptr, MMIO_READ | MMIO_ALLOCBUF);
  if (!file) return 1;
  MMCKINFO riff = {}, chunk = {};
  riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
  if (mmioDescend(file, &riff, nullptr, MMIO_FINDRIFF)) return 1;
  chunk.ckid = mmioFOURCC('f', 'm', 't', ' ');
  if (mmioDescend(file, &chunk, &riff, MMIO_FINDCHUNK)) return 1;
  PCMWAVEFORMAT format = {};
  mmioRead(file, reinterpret_cast<char*>(&format), sizeof format);
  mmioAscend(file, &chunk, 0);
  chunk.ckid = mmioFOURCC('d', 'a', 't', 'a');
  if (mmioDescend(file, &chunk, &riff, MMIO_FINDCHUNK)) return 1;
  remaining = chunk.cksize;

  WNDCLASSA window_class = {};
  window_class.lpfnWndProc = Proc;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.lpszClassName = "minplay";
  RegisterClassA(&window_class);
  HWND window = CreateWindowA("minplay", "minplay", 0, 0, 0, 0, 0, nullptr, nullptr, window_class.hInstance, nullptr);

  if (waveOutOpen(&device, WAVE_MAPPER, reinterpret_cast<WAVEFORMATEX*>(&format), reinterpret_cast<DWORD_PTR>(window),
                  0, CALLBACK_WINDOW) != MMSYSERR_NOERROR) {
    fprintf(stderr, "waveOutOpen failed\n");
    return 1;
  }
  const DWORD size = kBufferBytes - kBufferBytes % (format.wf.nBlockAlign ? format.wf.nBlockAlign : 1);
  for (WAVEHDR& header : headers) {
    header.lpData = static_cast<char*>(malloc(size));
    header.dwUser = size;
    Fill(&header);
  }
  if (queued == 0) return 1;

  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
  return static_cast<int>(message.wParam);
}
