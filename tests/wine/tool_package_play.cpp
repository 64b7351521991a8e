// Plays a file with TAPEON as a user does from an unpacked package: the given
// TAPEON.EXE on FILE with /P (and /E, so the message is the English one),
// with its own profile folder and the probe on its waveOutWrite.
//   tool_package_play.exe TAPEON_EXE FILE
// Prints one line. Exit code 0 when TAPEON handed the device at least a
// second of sound and ended by itself after the file; 3 when it showed a
// message instead (the line holds its text); 1 otherwise.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "driver.h"

using namespace e2e;

namespace {

constexpr DWORD kRunTimeoutMs = 120000;  // a file of a few seconds on a machine as busy as it gets

// The largest 16-bit sample magnitude of the bytes.
int Peak(const std::string& pcm) {
  int peak = 0;
  for (size_t k = 0; k + 1 < pcm.size(); k += 2) {
    int16_t v;
    std::memcpy(&v, pcm.data() + k, 2);
    peak = std::max(peak, std::abs(static_cast<int>(v)));
  }
  return peak;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::printf("usage: tool_package_play TAPEON_EXE FILE\n");
    return 1;
  }
  TempDir dir;
  LaunchOptions options;
  options.program = argv[1];
  options.arguments = std::string(argv[2]) + " /P /E";
  options.profile_dir = dir.path();
  Tapeon app(options);
  if (!app.started() || !app.WaitForMainWindow(kRunTimeoutMs)) {
    std::printf("TAPEON did not start (%s)\n", argv[1]);
    return 1;
  }
  // The start of the file is missed (the probe comes in once the window is
  // up), which is why the file must last a few seconds.
  const std::string watched = dir.File("device.raw");
  const bool watching = app.WatchPlayback(watched);
  bool message = false;
  WaitUntil([&] { return app.Exited() || (message = !app.Dialogs().empty()); }, kRunTimeoutMs);
  if (message) {
    std::optional<MessageBoxInfo> box = app.AnswerMessageBox(IDOK);
    std::printf("message: %s\n", box ? box->text.c_str() : "(unreadable)");
    app.CloseAndWait();
    return 3;
  }
  if (!app.Exited()) {
    std::printf("TAPEON did not end after the file\n");
    return 1;
  }
  const std::string pcm = ReadFileBytes(watched).value_or("");
  const DWORD code = app.ExitCode();
  std::printf("played: %zu bytes handed to the device, peak %d, exit code %lu%s\n", pcm.size(), Peak(pcm),
              static_cast<unsigned long>(code), watching ? "" : " (the probe could not watch)");
  // A second of 22 kHz 16-bit mono is the least any format gives.
  return watching && code == 0 && pcm.size() >= 44100 && Peak(pcm) > 1000 ? 0 : 1;
}
