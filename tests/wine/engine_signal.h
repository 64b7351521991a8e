// Helpers of the recording and playback end-to-end tests: test signals whose
// every sample says where it belongs, WAVE files, the host's sound tools
// (paplay, parec) run beside the program, and the checks on what came back.
#pragma once
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "driver.h"
#include "tests/le_bytes.h"
#include "tests/riff_bytes.h"

namespace engine_test {

// ---- The program --------------------------------------------------------------

// TAPEON.INI in dir with the given keys of section TAPEON.
inline bool WriteSettings(const e2e::TempDir& dir, const std::vector<std::pair<std::string, std::string>>& keys) {
  std::string text = "[TAPEON]\r\n";
  for (const auto& [key, value] : keys) text += key + "=" + value + "\r\n";
  return e2e::WriteFileBytes(dir.File("TAPEON.INI"), text);
}

using e2e::Launch;

inline std::string PlayText() { return e2e::Pick("Play", "再生"); }
inline std::string RecText() { return e2e::Pick("Rec.", "録音"); }

// The run has ended: the start button is usable again and reads `text`.
inline bool WaitForIdle(e2e::Tapeon& app, const std::string& text, DWORD timeout_ms = e2e::kTimeoutMs) {
  return e2e::WaitUntil(
      [&] { return app.Exited() || (app.ButtonEnabled(108) && app.ButtonText(108) == text && !app.ButtonEnabled(109)); },
      timeout_ms) &&
         !app.Exited();
}

inline long long FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// ---- Signals ------------------------------------------------------------------

// Stereo 16-bit "index ramp": frame i carries L = 1000 + i % 30000 and
// R = 1000 + i / 30000, so every frame can be decoded back to i and silence
// (0, 0) never occurs in the signal.
constexpr int kRampBase = 1000;
constexpr int kRampPeriod = 30000;

inline void RampFrame(uint32_t i, int16_t& left, int16_t& right) {
  left = static_cast<int16_t>(kRampBase + i % kRampPeriod);
  right = static_cast<int16_t>(kRampBase + i / kRampPeriod);
}

// -1 for silence or a frame that is not part of the ramp.
inline long RampIndex(int16_t left, int16_t right) {
  if (left < kRampBase || left >= kRampBase + kRampPeriod || right < kRampBase) return -1;
  return static_cast<long>(right - kRampBase) * kRampPeriod + (left - kRampBase);
}

// "" when the bytes handed to the device are the ramp 0 .. frames - 1, whole,
// in order and each frame once; else the first difference.
inline std::string RampDifference(const std::string& bytes, long frames) {
  const long count = static_cast<long>(bytes.size() / 4);
  for (long k = 0; k < count; ++k) {
    int16_t left, right;
    std::memcpy(&left, bytes.data() + 4 * k, 2);
    std::memcpy(&right, bytes.data() + 4 * k + 2, 2);
    const long v = RampIndex(left, right);
    if (v != k) return "frame " + std::to_string(k) + " is " + (v < 0 ? "not ramp" : "ramp frame " + std::to_string(v));
  }
  if (count != frames || bytes.size() % 4 != 0)
    return std::to_string(bytes.size()) + " bytes handed over for " + std::to_string(frames) + " frames";
  return "";
}

// The 8-bit staircase: both channels hold ((i / kStep) % 256 - 128) * 256, so
// an 8-bit mono recording of it holds (i / kStep) % 256, each value exactly
// kStep frames long.
constexpr int kStep = 7;
inline int16_t StairSample(uint32_t i) { return static_cast<int16_t>((static_cast<int>((i / kStep) % 256) - 128) * 256); }

// ---- WAVE files -----------------------------------------------------------------

struct Wave {
  uint32_t riff_size = 0;
  uint16_t tag = 0, channels = 0, block_align = 0, bits = 0;
  uint32_t rate = 0, byte_rate = 0;
  uint32_t fmt_size = 0;
  uint32_t data_size = 0;
  size_t data_offset = 0;
  std::string bytes;  // the whole file
  const uint8_t* data() const { return reinterpret_cast<const uint8_t*>(bytes.data()) + data_offset; }
};


// Reads the canonical 44-byte layout the program writes (fmt then data).
inline std::optional<Wave> ReadWave(const std::string& path) {
  std::optional<std::string> bytes = e2e::ReadFileBytes(path);
  if (!bytes || bytes->size() < 44) return std::nullopt;
  Wave w;
  w.bytes = *bytes;
  if (w.bytes.compare(0, 4, "RIFF") != 0 || w.bytes.compare(8, 4, "WAVE") != 0 ||
      w.bytes.compare(12, 4, "fmt ") != 0)
    return std::nullopt;
  w.riff_size = GetU32Or(w.bytes, 4, 0);
  w.fmt_size = GetU32Or(w.bytes, 16, 0);
  w.tag = GetU16Or(w.bytes, 20, 0);
  w.channels = GetU16Or(w.bytes, 22, 0);
  w.rate = GetU32Or(w.bytes, 24, 0);
  w.byte_rate = GetU32Or(w.bytes, 28, 0);
  w.block_align = GetU16Or(w.bytes, 32, 0);
  w.bits = GetU16Or(w.bytes, 34, 0);
  size_t at = 20 + w.fmt_size;
  if (w.bytes.compare(at, 4, "data") != 0) return std::nullopt;
  w.data_size = GetU32Or(w.bytes, at + 4, 0);
  w.data_offset = at + 8;
  return w;
}

inline std::string Header(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, uint32_t data_size,
                          uint16_t block_align, uint32_t byte_rate) {
  return riff_bytes::WaveHeader(tag, channels, rate, bits, data_size, block_align, byte_rate);
}

inline std::string PcmHeader(uint16_t channels, uint32_t rate, uint16_t bits, uint32_t data_size) {
  const uint16_t align = static_cast<uint16_t>(channels * bits / 8);
  return Header(1, channels, rate, bits, data_size, align, rate * align);
}

// A 44100 Hz 16-bit stereo WAVE file of the index ramp, frames first..first+count.
inline bool WriteRampWave(const std::string& path, uint32_t count, uint32_t first = 0) {
  std::string file = PcmHeader(2, 44100, 16, count * 4);
  file.reserve(file.size() + count * 4);
  for (uint32_t i = first; i < first + count; ++i) {
    int16_t l, r;
    RampFrame(i, l, r);
    file.append(reinterpret_cast<const char*>(&l), 2);
    file.append(reinterpret_cast<const char*>(&r), 2);
  }
  return e2e::WriteFileBytes(path, file);
}

inline bool WriteStairWave(const std::string& path, uint32_t count) {
  std::string file = PcmHeader(2, 44100, 16, count * 4);
  for (uint32_t i = 0; i < count; ++i) {
    int16_t v = StairSample(i);
    file.append(reinterpret_cast<const char*>(&v), 2);
    file.append(reinterpret_cast<const char*>(&v), 2);
  }
  return e2e::WriteFileBytes(path, file);
}

// ---- Checks ---------------------------------------------------------------------

// Indices of the ramp frames in 16-bit stereo data (-1 where a frame is not ramp).
inline std::vector<long> RampIndices(const uint8_t* data, size_t bytes) {
  std::vector<long> out(bytes / 4);
  for (size_t k = 0; k < out.size(); ++k) {
    int16_t l, r;
    std::memcpy(&l, data + 4 * k, 2);
    std::memcpy(&r, data + 4 * k + 2, 2);
    out[k] = RampIndex(l, r);
  }
  return out;
}

// Frames where a recorded ramp does not continue from the frame before.
struct Break {
  size_t at;       // frame of the recording
  long before;     // ramp index before (-1: not ramp)
  long after;      // ramp index at `at`
};
inline std::vector<Break> RampBreaks(const std::vector<long>& indices) {
  std::vector<Break> breaks;
  for (size_t k = 1; k < indices.size(); ++k) {
    if (indices[k] < 0 || indices[k] != indices[k - 1] + 1) breaks.push_back({k, indices[k - 1], indices[k]});
  }
  if (!indices.empty() && indices[0] < 0) breaks.insert(breaks.begin(), {0, -1, indices[0]});
  return breaks;
}

// Breaks of an 8-bit staircase recording: a step that is not kStep frames
// long (first and last excepted) or does not go up by one.
inline std::vector<size_t> StairBreaks(const uint8_t* data, size_t bytes) {
  std::vector<size_t> breaks;
  size_t run_start = 0;
  bool first_run = true;
  for (size_t k = 1; k <= bytes; ++k) {
    if (k < bytes && data[k] == data[k - 1]) continue;
    const size_t length = k - run_start;
    if (k < bytes) {
      if (static_cast<uint8_t>(data[k - 1] + 1) != data[k]) breaks.push_back(k);
      if (!first_run && length != kStep) breaks.push_back(run_start);
    }
    first_run = false;
    run_start = k;
  }
  return breaks;
}

// Frequency of the left channel of 16-bit stereo data at `rate`: the median
// period between rising zero crossings (placed between samples by linear
// interpolation) in the loud parts. The median ignores the few periods that a
// skip or an underrun of the sound server cuts short or stretches.
inline double MeasureFrequency(const std::vector<int16_t>& left, uint32_t rate) {
  std::vector<double> periods;
  double previous = -1.0;
  for (size_t k = 1; k < left.size(); ++k) {
    if (!(left[k - 1] < 0 && left[k] >= 0 && std::abs(left[k - 1]) < 20000)) continue;
    // Only crossings inside loud stretches: a crossing of silence is noise.
    bool loud = false;
    for (size_t j = k; j < left.size() && j < k + rate / 100; ++j) loud = loud || left[j] > 3000;
    if (!loud) {
      previous = -1.0;
      continue;
    }
    const double at = static_cast<double>(k - 1) +
                      static_cast<double>(-left[k - 1]) / static_cast<double>(left[k] - left[k - 1]);
    if (previous >= 0.0 && at - previous < rate / 50.0) periods.push_back(at - previous);
    previous = at;
  }
  if (periods.size() < 3) return 0.0;
  std::nth_element(periods.begin(), periods.begin() + periods.size() / 2, periods.end());
  return rate / periods[periods.size() / 2];
}

// ---- The host's sound tools ---------------------------------------------------

// The host path of a Windows path (Wine's own mapping).
inline std::string HostPath(const std::string& windows_path) {
  typedef char*(__cdecl * ToUnix)(const wchar_t*);
  static ToUnix to_unix =
      reinterpret_cast<ToUnix>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (!to_unix) return "";
  wchar_t wide[MAX_PATH * 2];
  MultiByteToWideChar(CP_ACP, 0, windows_path.c_str(), -1, wide, MAX_PATH * 2);
  char* unix_path = to_unix(wide);
  if (!unix_path) return "";
  std::string result = unix_path;
  HeapFree(GetProcessHeap(), 0, unix_path);
  return result;
}

// Runs a host shell script. Wine starts host programs but cannot wait for
// them, so the script leaves a marker file when it is done.
class HostScript {
 public:
  HostScript(const e2e::TempDir& dir, const std::string& name, const std::string& body)
      : dir_(dir),
        script_(dir.File(name + ".sh")), done_(dir.File(name + ".done")), pid_(dir.File(name + ".pid")) {
    DeleteFileA(done_.c_str());
    // The body runs as a background job whose process id is kept, so Stop()
    // ends exactly that program.
    const std::string text = body + " &\necho $! > '" + HostPath(pid_) + "'\nwait $!\necho $? > '" +
                             HostPath(done_) + "'\n";
    e2e::WriteFileBytes(script_, text);
    std::string command = "Z:\\bin\\sh " + HostPath(script_);
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    started_ = CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info);
    if (started_) {
      CloseHandle(info.hProcess);
      CloseHandle(info.hThread);
    }
  }
  ~HostScript() { Stop(); }
  HostScript(const HostScript&) = delete;
  HostScript& operator=(const HostScript&) = delete;

  bool started() const { return started_; }
  bool Done() const { return e2e::FileExists(done_); }
  bool Wait(DWORD timeout_ms = e2e::kTimeoutMs) const {
    return started_ && e2e::WaitUntil([&] { return Done(); }, timeout_ms);
  }
  // Exit status of the script's body, -1 while it runs.
  int Status() const {
    std::optional<std::string> text = e2e::ReadFileBytes(done_);
    return text && !text->empty() ? std::atoi(text->c_str()) : -1;
  }
  // Ends the script's program (by its process id, SIGTERM) and waits for it.
  bool Stop() {
    if (!started_ || Done()) return true;
    e2e::WaitUntil([&] { return e2e::FileExists(pid_); }, 5000);
    std::optional<std::string> pid = e2e::ReadFileBytes(pid_);
    if (!pid) return false;
    const std::string id = std::to_string(std::atol(pid->c_str()));
    HostScript kill(dir_, "stop-" + id, "kill -TERM " + id);
    kill.Wait(5000);
    return Wait(5000);
  }

 private:
  const e2e::TempDir& dir_;
  std::string script_, done_, pid_;
  bool started_ = false;
};

// The sink's monitor recorded into a raw 44100 Hz 16-bit stereo file.
inline std::string CaptureCommand(const std::string& raw_windows_path) {
  return "parec -d @DEFAULT_MONITOR@ --raw --format=s16le --rate=44100 --channels=2 --latency-msec=20 > '" +
         HostPath(raw_windows_path) + "'";
}

inline std::string PlayCommand(const std::string& wave_windows_path) {
  return "paplay '" + HostPath(wave_windows_path) + "'";
}

}  // namespace engine_test
