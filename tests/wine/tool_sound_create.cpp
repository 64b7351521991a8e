// Runs the recording file's create and close through the real multimedia file
// functions, outside TAPEON, so that the bytes on disk can be checked at each
// step:
//   tool_sound_create OUT.WAV DATA_BYTES
// 1. CreateForRecord (8-bit mono, 11025 Hz) and a copy of the file as it is
//    then into OUT.WAV.created;
// 2. DATA_BYTES bytes written with mmioWrite, the data and RIFF chunks closed
//    with two mmioAscend calls, the file closed;
// 3. OpenForPlay on the result: its data length is printed.
// Prints "created", "closed", "opened DATA_TOTAL" as it goes; exit code 0 when
// every step worked, 2 when the input device refused the format (no sound).
//
// The program links the product's library; the texts and message boxes, the
// status display and the transport clean-up are small
// stand-ins defined here,
// which the linker takes before the library's own (their files are then not
// linked at all), so that no box waits for a user.
#include <windows.h>
#include <mmsystem.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/owned_app_win32.h"
#include "audio/transport_state_win32.h"
#include "audio/transport_win32.h"
#include "base/app_state_win32.h"
#include "base/ui_text_win32.h"
#include "meter/measure_win32.h"
#include "meter/status_win32.h"
#include "sound_files/current_file_win32.h"
#include "sound_files/wave_file_win32.h"

namespace {
std::string last_failure;
}

const char* LoadText(UINT id) {
  static char text[32];
  std::snprintf(text, sizeof text, "string %u", id);
  return text;
}
const char* Pick(const char* english, const char*) { return english; }
const char* PickId(UINT id, const char*) { return LoadText(id); }
void ShowFailure(const char* text) {
  last_failure = text;
  std::fprintf(stderr, "failure: %s\n", text);
}
void ShowBare(const char* text) { ShowFailure(text); }
// Any other box, such as the repair question, is answered No.
int ShowMessageBox(HWND, const char* text, const char*, UINT) {
  ShowFailure(text);
  return IDNO;
}
void ShowNewFormat(const CurrentFormat&) {}
void RefreshCapacity(const CapacityFigures&, int) {}
void AbandonTransport() {
  if (current_file.file_mmio) mmioClose(current_file.file_mmio, 0);
  OwnedCurrentFile().file_mmio = nullptr;
}

namespace {

bool CopyFileNow(const std::string& from, const std::string& to) {
  HANDLE in = CreateFileA(from.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                          nullptr);
  if (in == INVALID_HANDLE_VALUE) return false;
  char buffer[4096];
  DWORD got = 0;
  std::string bytes;
  while (ReadFile(in, buffer, sizeof buffer, &got, nullptr) && got) bytes.append(buffer, got);
  CloseHandle(in);
  HANDLE out = CreateFileA(to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (out == INVALID_HANDLE_VALUE) return false;
  DWORD put = 0;
  const bool ok = WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) && put == bytes.size();
  CloseHandle(out);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: tool_sound_create OUT.WAV DATA_BYTES\n");
    return 1;
  }
  char name[MAX_PATH] = {};
  GetFullPathNameA(argv[1], sizeof name, name, nullptr);
  NameCurrentFile(name);
  const long data_bytes = std::atol(argv[2]);
  OwnedApp().windows_version = 0x400;
  OwnedTransport().mode = MODE_REC;
  OwnedApp().settings.rec_freq = 11025;
  OwnedApp().settings.rec_channel = 1;
  OwnedApp().settings.rec_bits = 8;

  if (!CreateForRecord()) return last_failure == "bad id" || last_failure == "no driver" ? 2 : 1;
  std::printf("created capacity=%lu\n", static_cast<unsigned long>(current_file.data_total));
  if (!CopyFileNow(current_file.file_name, std::string(current_file.file_name) + ".created")) return 1;

  std::string samples(static_cast<size_t>(data_bytes), '\0');
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<char>(0x80 + (i % 32));
  CurrentFile& file = OwnedCurrentFile();
  if (mmioWrite(file.file_mmio, samples.data(), data_bytes) != data_bytes) return 1;
  if (mmioAscend(file.file_mmio, &file.inner_chunk, 0) != MMSYSERR_NOERROR) return 1;
  if (mmioAscend(file.file_mmio, &file.riff_chunk, 0) != MMSYSERR_NOERROR) return 1;
  mmioClose(file.file_mmio, 0);
  file.file_mmio = nullptr;
  FreeFormatRecord();
  std::printf("closed\n");

  OwnedTransport().mode = MODE_PLAY;
  if (!OpenForPlay()) return 1;
  std::printf("opened %lu\n", static_cast<unsigned long>(current_file.data_total));
  AbandonTransport();
  FreeFormatRecord();
  return 0;
}
