// Checks the sound path of the test environment: plays a 440 Hz tone at half
// scale through the wave output while the wave input records, and prints the
// peak that came back. Under the headless environment (a null sink whose
// monitor is the default source) the peak is about half scale.
//   tool_wave_loopback [seconds]     prints "devices out N in M" and "peak P of 32767"
// Exit status 0 when the recorded peak is at least a quarter of full scale.
#include <windows.h>
#include <mmsystem.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr int kChannels = 2;

WAVEFORMATEX Pcm16() {
  WAVEFORMATEX format{};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = kChannels;
  format.nSamplesPerSec = kRate;
  format.wBitsPerSample = 16;
  format.nBlockAlign = kChannels * 2;
  format.nAvgBytesPerSec = kRate * format.nBlockAlign;
  return format;
}

}  // namespace

int main(int argc, char** argv) {
  double seconds = argc > 1 ? atof(argv[1]) : 3.0;
  if (seconds <= 0 || seconds > 30) seconds = 3.0;
  printf("devices out %u in %u\n", waveOutGetNumDevs(), waveInGetNumDevs());
  fflush(stdout);

  WAVEFORMATEX format = Pcm16();
  size_t frames = static_cast<size_t>(seconds * kRate);
  std::vector<short> tone(frames * kChannels);
  for (size_t i = 0; i < frames; ++i) {
    short value = static_cast<short>(16383 * std::sin(2 * 3.14159265358979 * 440 * i / kRate));
    tone[2 * i] = tone[2 * i + 1] = value;
  }
  // Recording runs half a second longer on each side of the tone.
  std::vector<short> recorded((frames + kRate) * kChannels);

  HANDLE done = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  HWAVEIN in = nullptr;
  if (waveInOpen(&in, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(done), 0, CALLBACK_EVENT) !=
      MMSYSERR_NOERROR) {
    printf("waveInOpen failed\n");
    return 2;
  }
  WAVEHDR in_header{};
  in_header.lpData = reinterpret_cast<char*>(recorded.data());
  in_header.dwBufferLength = static_cast<DWORD>(recorded.size() * sizeof(short));
  waveInPrepareHeader(in, &in_header, sizeof in_header);
  waveInAddBuffer(in, &in_header, sizeof in_header);
  waveInStart(in);

  HWAVEOUT out = nullptr;
  if (waveOutOpen(&out, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
    printf("waveOutOpen failed\n");
    return 2;
  }
  Sleep(250);
  WAVEHDR out_header{};
  out_header.lpData = reinterpret_cast<char*>(tone.data());
  out_header.dwBufferLength = static_cast<DWORD>(tone.size() * sizeof(short));
  waveOutPrepareHeader(out, &out_header, sizeof out_header);
  waveOutWrite(out, &out_header, sizeof out_header);

  DWORD start = GetTickCount();
  while (!(in_header.dwFlags & WHDR_DONE) && GetTickCount() - start < (seconds + 10) * 1000) {
    WaitForSingleObject(done, 100);
  }
  waveInReset(in);
  waveInUnprepareHeader(in, &in_header, sizeof in_header);
  waveInClose(in);
  while (!(out_header.dwFlags & WHDR_DONE) && GetTickCount() - start < (seconds + 10) * 1000) Sleep(10);
  waveOutReset(out);
  waveOutUnprepareHeader(out, &out_header, sizeof out_header);
  waveOutClose(out);

  int peak = 0;
  size_t samples = in_header.dwBytesRecorded / sizeof(short);
  for (size_t i = 0; i < samples && i < recorded.size(); ++i) peak = std::max(peak, std::abs(int{recorded[i]}));
  printf("recorded %lu bytes, peak %d of 32767\n", in_header.dwBytesRecorded, peak);
  return peak >= 32767 / 4 ? 0 : 1;
}
