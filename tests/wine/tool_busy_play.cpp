// Streaming playback watched at the device: plays SECONDS of the index ramp
// (44.1 kHz 16-bit stereo) through TAPEON with the probe on its waveOutWrite,
// then reports whether every sample reached the device in order, and the
// largest gap between two submissions against the length of a buffer (a gap
// longer than what the device still holds queued starves it).
//   tool_busy_play.exe [SECONDS]
// Exit code 0 when the samples arrived whole and no gap reached the time the
// queued buffers last.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "driver.h"
#include "engine_signal.h"
#include "menu_probe.h"
#include "resources/resource_ids.h"

using namespace e2e;
using namespace engine_test;

int main(int argc, char** argv) {
  const long seconds = argc > 1 ? std::atol(argv[1]) : 600;
  const long frames = seconds * 44100;
  TempDir dir;
  const std::string file = dir.File("ramp.wav");
  if (!WriteRampWave(file, static_cast<uint32_t>(frames)) ||
      !WriteSettings(dir, {{"OnMem", "0"}, {"levelwarning", "0"}})) {
    std::printf("cannot write %s\n", file.c_str());
    return 2;
  }
  auto app = Launch(dir, file);
  const std::string device = dir.File("device.raw"), timing = dir.File("timing.bin");
  if (!app->main_window() || !app->WatchPlayback(device, timing) || !app->PostCommand(IDM_START)) {
    std::printf("cannot start TAPEON with the watch\n");
    return 2;
  }
  WaitUntil([&] { return app->ButtonEnabled(IDM_STOP); });
  const bool ended = WaitForIdle(*app, PlayText(), static_cast<DWORD>(seconds + 120) * 1000);
  app->CloseAndWait();

  const std::string difference = RampDifference(ReadFileBytes(device).value_or(""), frames);
  const std::string raw = ReadFileBytes(timing).value_or("");
  std::vector<menu_probe::WriteTime> times(raw.size() / sizeof(menu_probe::WriteTime));
  if (!times.empty()) std::memcpy(times.data(), raw.data(), times.size() * sizeof times[0]);
  // The first buffers are queued together at the start; from then on each
  // submission refills the device, which still holds the other queued buffers.
  const size_t queued = 4;
  double worst = 0, buffer_ms = 0;
  size_t worst_at = 0;
  for (size_t k = queued; k < times.size(); ++k) {
    const double gap = times[k].milliseconds - times[k - 1].milliseconds;
    if (gap > worst) worst = gap, worst_at = k;
    buffer_ms = times[k - 1].bytes * 1000.0 / 176400;
  }
  std::printf("%ld s played to the end: %s; %zu buffers of %.0f ms; samples at the device: %s\n", seconds,
              ended ? "yes" : "no", times.size(), buffer_ms, difference.empty() ? "whole, in order" : difference.c_str());
  std::printf("largest gap between submissions: %.0f ms (buffer %zu), %.2f buffer lengths; the device holds %zu\n", worst,
              worst_at, buffer_ms > 0 ? worst / buffer_ms : 0, queued - 1);
  return ended && difference.empty() && worst < (queued - 1) * buffer_ms ? 0 : 1;
}
