// Plays a file with TAPEON as a user does from an unpacked package: the given
// TAPEON.EXE on FILE with /P (and /E, so the message is the English one),
// with its own profile folder and the probe on its waveOutWrite.
//   tool_package_play.exe TAPEON_EXE FILE
// Prints one line. Exit code 0 when the device took the file's sound from
// TAPEON (for Ogg Vorbis the stream itself: the wave mapper converts it
// through the codec, so a device that accepts it plays it) and TAPEON ended
// by itself after the file (after its level report, if it showed one); 3
// when it showed another message instead (the line holds its text); 1
// otherwise.
#include <windows.h>

#include <cstdio>
#include <string>

#include "driver.h"

using namespace e2e;

namespace {

constexpr DWORD kRunTimeoutMs = 120000;  // a file of a few seconds on a machine as busy as it gets

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
  // The level report at the end of the file is part of playing it (and says
  // the meter measured the decoded sound); any other box is a failure.
  std::string report;
  for (;;) {
    bool message = false;
    WaitUntil([&] { return app.Exited() || (message = !app.Dialogs().empty()); }, kRunTimeoutMs);
    if (!message) break;
    std::optional<MessageBoxInfo> box = app.AnswerMessageBox(IDOK);
    if (box && report.empty() && box->text.rfind("Max level", 0) == 0) {
      report = box->text;
      continue;
    }
    std::printf("message: %s\n", box ? box->text.c_str() : "(unreadable)");
    app.CloseAndWait();
    return 3;
  }
  if (!app.Exited()) {
    std::printf("TAPEON did not end after the file\n");
    return 1;
  }
  // What the device took is one stretch of the file: its stream from where
  // the probe came in to the end.
  const std::string taken = ReadFileBytes(watched).value_or("");
  const std::string file = ReadFileBytes(argv[2]).value_or("");
  const bool whole = !taken.empty() && file.size() >= taken.size() &&
                     file.compare(file.size() - taken.size(), taken.size(), taken) == 0;
  const DWORD code = app.ExitCode();
  for (char& c : report) {
    if (c == '\n') c = ' ';
  }
  std::printf("played: the device took %zu of the file's %zu bytes%s, exit code %lu%s%s\n", taken.size(), file.size(),
              whole ? ", its end unchanged" : ", NOT its end", static_cast<unsigned long>(code),
              watching ? "" : " (the probe could not watch)",
              report.empty() ? "" : ("; level report \"" + report + "\"").c_str());
  return watching && whole && code == 0 ? 0 : 1;
}
