// A streaming recording through TAPEON as a user starts one (/R with a time
// limit), for the busy-machine benchmark: records SECONDS of what the sound
// server plays into OUT.WAV and prints what TAPEON itself says it lost: the
// dropout line of the level report it shows at the end, or that there was
// none.
//   tool_busy_record.exe OUT.WAV SECONDS
// Exit code 0 when TAPEON ended by itself.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "driver.h"
#include "engine_signal.h"

using namespace e2e;
using namespace engine_test;

int main(int argc, char** argv) {
  if (argc < 3) {
    std::printf("usage: tool_busy_record OUT.WAV SECONDS\n");
    return 2;
  }
  const long seconds = std::atol(argv[2]);
  TempDir dir;
  if (!WriteSettings(dir, {{"OnMem", "0"}, {"levelwarning", "1"}})) return 2;
  char minutes[32];
  std::snprintf(minutes, sizeof minutes, "%g", seconds / 60.0);
  auto app = Launch(dir, std::string(argv[1]) + " /R/S/H/44/T" + minutes);
  const DWORD timeout = static_cast<DWORD>(seconds + 120) * 1000;
  WaitUntil([&] { return app->Exited() || !app->Dialogs().empty(); }, timeout);
  std::string said = "no dropouts";
  if (!app->Exited()) {
    std::optional<MessageBoxInfo> box = app->AnswerMessageBox(IDOK);
    const size_t line = box ? box->text.find("\nDropouts") : std::string::npos;
    if (line != std::string::npos) {
      said = box->text.substr(line + 1);
      for (char& c : said) c = c == '\n' ? ' ' : c;
    }
  }
  const bool ended = app->WaitForExit(30000);
  std::printf("TAPEON: %s\n", said.c_str());
  return ended ? 0 : 1;
}
