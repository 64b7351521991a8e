#include "base/settings.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/windows_version.h"

namespace {

uint32_t ToUnsigned(const std::string& text) { return static_cast<uint32_t>(strtoul(text.c_str(), nullptr, 10)); }

int16_t ToShort(const std::string& text) { return static_cast<int16_t>(strtol(text.c_str(), nullptr, 10)); }

std::string Format(const char* format, long long value) {
  char text[32];
  snprintf(text, sizeof text, format, value);
  return text;
}

}  // namespace

void ClampMemSize(OptionSettings& settings, unsigned windows_version) {
  if (settings.MemSize < 2) settings.MemSize = 2;
  if (settings.MemSize > 255) settings.MemSize = 255;
  if (windows_version <= kWindows311 && settings.MemSize > 15) settings.MemSize = 15;
}

bool IsStoredRecordingRate(uint32_t rate) { return rate == 11025 || rate == 22050 || rate == 44100; }

bool IsUsableRecordingFormat(uint32_t rec_freq, int rec_channel, int rec_bits) {
  return rec_freq != 0 && rec_channel > 0 && rec_bits / 8 > 0;
}

void ParseSettings(Settings& s, unsigned windows_version, SettingsLookup lookup, void* context) {
  // The value of one key as the program reads it: at most 31 characters count.
  auto text = [&](const char* key, const char* default_text) {
    std::string value = lookup(key, default_text, context);
    if (value.size() > 31) value.resize(31);
    return value;
  };
  auto number = [&](const char* key, const char* default_text) { return atoi(text(key, default_text).c_str()); };
  s.smooth = number("smooth", "0");
  s.monochrome = number("monochrome", "0");
  s.PeakHold = number("PeakHold", "1");
  s.deltatime = ToUnsigned(text("deltatime", "4096"));
  s.OnMem = number("OnMem", "0");
  s.MemSize = number("MemSize", "15");
  ClampMemSize(s, windows_version);
  if (windows_version >= kWindows395) s.dialog3d = number("dialog3d", "1");
  s.rec_bits = ToShort(text("bits", "16"));
  s.rec_channel = ToShort(text("channel", "2"));
  s.rec_freq = ToUnsigned(text("freq", "44100"));
  if (!IsStoredRecordingRate(s.rec_freq)) s.rec_freq = 44100;
  s.display = number("display", "1");
  s.AutoExtention = number("AutoExtention", "0");
  s.EndTime = ToUnsigned(text("EndTime", "3600"));
  s.time_limit = ToUnsigned(text("seigen", "0")) != 0 ? s.EndTime : 0;
  s.levelwarning = number("levelwarning", "1");
}

std::vector<std::pair<std::string, std::string>> SettingsToWrite(const Settings& s, unsigned windows_version) {
  std::vector<std::pair<std::string, std::string>> out;
  out.emplace_back("levelwarning", Format("%lld", s.levelwarning));
  out.emplace_back("OnMem", Format("%lld", s.OnMem));
  out.emplace_back("MemSize", Format("%lld", s.MemSize));
  out.emplace_back("smooth", Format("%lld", s.smooth));
  out.emplace_back("monochrome", Format("%lld", s.monochrome));
  out.emplace_back("PeakHold", Format("%lld", s.PeakHold));
  out.emplace_back("deltatime", Format("%lld", s.deltatime));
  if (windows_version >= kWindows395) out.emplace_back("dialog3d", Format("%lld", s.dialog3d));
  out.emplace_back("bits", Format("%lld", s.rec_bits));
  out.emplace_back("channel", Format("%lld", s.rec_channel));
  if (IsStoredRecordingRate(s.rec_freq)) out.emplace_back("freq", Format("%lld", s.rec_freq));
  out.emplace_back("display", Format("%lld", s.display));
  out.emplace_back("AutoExtention", Format("%lld", s.AutoExtention));
  // EndTime is written as a signed long, as the file has always held it.
  out.emplace_back("EndTime", Format("%lld", static_cast<int32_t>(s.EndTime)));
  out.emplace_back("seigen", s.time_limit != 0 ? "1" : "0");
  return out;
}
