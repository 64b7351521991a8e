// The smallest useful recorder, as a yardstick for TAPEON's recording: four
// 64 KB buffers, completion messages to a window, mmioWrite, nothing else.
//   tool_minrec OUT.WAV SECONDS [RATE CHANNELS BITS]
// Exit code 0 when the requested length was recorded.
#include <windows.h>
#include <mmsystem.h>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kBuffers = 4;
constexpr DWORD kBufferBytes = 65536;

HMMIO file;
MMCKINFO riff, data;
HWAVEIN device;
WAVEHDR headers[kBuffers];
char* buffers[kBuffers];
DWORD wanted = 0, written = 0;
bool stopping = false;
int returned_after_stop = 0;

void Finish() {
  waveInReset(device);
  for (WAVEHDR& header : headers) waveInUnprepareHeader(device, &header, sizeof header);
  waveInClose(device);
  mmioAscend(file, &data, 0);
  mmioAscend(file, &riff, 0);
  mmioClose(file, 0);
  PostQuitMessage(written >= wanted ? 0 : 2);
}

LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message != MM_WIM_DATA) return DefWindowProcA(window, message, wparam, lparam);
  WAVEHDR* header = reinterpret_cast<WAVEHDR*>(lparam);
  if (stopping) {
    if (++returned_after_stop == 1) Finish();
    return 0;
  }
  DWORD bytes = header->dwBytesRecorded;
  if (bytes > wanted - written) bytes = wanted - written;
  if (mmioWrite(file, header->lpData, static_cast<LONG>(bytes)) != static_cast<LONG>(bytes)) {
    stopping = true;
    Finish();
    return 0;
  }
  written += bytes;
  if (written >= wanted) {
    stopping = true;
    returned_after_stop = 1;
    Finish();
    return 0;
  }
  waveInUnprepareHeader(device, header, sizeof *header);
  header->dwBytesRecorded = 0;
  header->dwFlags = 0;
  waveInPrepareHeader(device, header, sizeof *header);
  waveInAddBuffer(device, header, sizeof *header);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: tool_minrec OUT.WAV SECONDS [RATE CHANNELS BITS]\n");
    return 1;
  }
  PCMWAVEFORMAT format = {};
  format.wf.wFormatTag = WAVE_FORMAT_PCM;
  format.wf.nSamplesPerSec = argc > 3 ? strtoul(argv[3], nullptr, 10) : 44100;
  format.wf.nChannels = static_cast<WORD>(argc > 4 ? atoi(argv[4]) : 2);
  format.wBitsPerSample = static_cast<WORD>(argc > 5 ? atoi(argv[5]) : 16);
  format.wf.nBlockAlign = static_cast<WORD>(format.wf.nChannels * format.wBitsPerSample / 8);
  format.wf.nAvgBytesPerSec = format.wf.nSamplesPerSec * format.wf.nBlockAlign;
  wanted = static_cast<DWORD>(atof(argv[2]) * format.wf.nAvgBytesPerSec);
  wanted -= wanted % format.wf.nBlockAlign;

  file = mmioOpenA(argv[1], nullptr, MMIO_CREATE | MMIO_WRITE);
  if (!file) return 1;
  riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
  mmioCreateChunk(file, &riff, MMIO_CREATERIFF);
  MMCKINFO fmt = {};
  fmt.ckid = mmioFOURCC('f', 'm', 't', ' ');
  fmt.cksize = sizeof format;
  mmioCreateChunk(file, &fmt, 0);
  mmioWrite(file, reinterpret_cast<const char*>(&format), sizeof format);
  mmioAscend(file, &fmt, 0);
  data.ckid = mmioFOURCC('d', 'a', 't', 'a');
  mmioCreateChunk(file, &data, 0);

  WNDCLASSA window_class = {};
  window_class.lpfnWndProc = Proc;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.lpszClassName = "minrec";
  RegisterClassA(&window_class);
  HWND window = CreateWindowA("minrec", "minrec", 0, 0, 0, 0, 0, nullptr, nullptr, window_class.hInstance, nullptr);

  if (waveInOpen(&device, WAVE_MAPPER, reinterpret_cast<WAVEFORMATEX*>(&format), reinterpret_cast<DWORD_PTR>(window), 0,
                 CALLBACK_WINDOW) != MMSYSERR_NOERROR) {
    fprintf(stderr, "waveInOpen failed\n");
    return 1;
  }
  for (int i = 0; i < kBuffers; ++i) {
    buffers[i] = static_cast<char*>(malloc(kBufferBytes));
    headers[i].lpData = buffers[i];
    headers[i].dwBufferLength = kBufferBytes - kBufferBytes % format.wf.nBlockAlign;
    waveInPrepareHeader(device, &headers[i], sizeof headers[i]);
    waveInAddBuffer(device, &headers[i], sizeof headers[i]);
  }
  waveInStart(device);

  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
  return static_cast<int>(message.wParam);
}
