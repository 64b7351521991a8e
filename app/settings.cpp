#include "app/settings.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/windows_version.h"

namespace {

const SettingsKey kKeys[] = {
    {"smooth", "0"},      {"monochrome", "0"},    {"PeakHold", "1"}, {"deltatime", "4096"},
    {"OnMem", "0"},       {"MemSize", "15"},      {"dialog3d", "1"}, {"bits", "16"},
    {"channel", "2"},     {"freq", "44100"},      {"display", "1"},  {"AutoExtention", "0"},
    {"EndTime", "3600"},  {"seigen", "0"},        {"levelwarning", "1"},
};

// The value as the program reads it: at most 31 characters count.
std::string Value(SettingsLookup lookup, void* context, const SettingsKey& key) {
  std::string text = lookup(key.key, key.default_text, context);
  if (text.size() > 31) text.resize(31);
  return text;
}

uint32_t ToUnsigned(const std::string& text) { return static_cast<uint32_t>(strtoul(text.c_str(), nullptr, 10)); }

int16_t ToShort(const std::string& text) { return static_cast<int16_t>(strtol(text.c_str(), nullptr, 10)); }

std::string Format(const char* format, long long value) {
  char text[32];
  snprintf(text, sizeof text, format, value);
  return text;
}

}  // namespace

const std::vector<SettingsKey>& SettingsReadOrder() {
  static const std::vector<SettingsKey> keys(std::begin(kKeys), std::end(kKeys));
  return keys;
}

void ClampMemSize(Settings& settings, unsigned windows_version) {
  if (settings.MemSize < 2) settings.MemSize = 2;
  if (settings.MemSize > 255) settings.MemSize = 255;
  if (windows_version <= kWindows311 && settings.MemSize > 15) settings.MemSize = 15;
}

bool IsStoredRecordingRate(uint32_t rate) { return rate == 11025 || rate == 22050 || rate == 44100; }

bool IsUsableRecordingFormat(uint32_t rec_freq, int rec_channel, int rec_bits) {
  return rec_freq != 0 && rec_channel > 0 && rec_bits / 8 > 0;
}

void ParseSettings(Settings& s, unsigned windows_version, SettingsLookup lookup, void* context) {
  for (const SettingsKey& key : SettingsReadOrder()) {
    std::string name = key.key;
    if (name == "dialog3d" && windows_version < kWindows395) continue;
    std::string text = Value(lookup, context, key);
    int number = atoi(text.c_str());
    if (name == "smooth") s.smooth = number;
    else if (name == "monochrome") s.monochrome = number;
    else if (name == "PeakHold") s.PeakHold = number;
    else if (name == "deltatime") s.deltatime = ToUnsigned(text);
    else if (name == "OnMem") s.OnMem = number;
    else if (name == "MemSize") {
      s.MemSize = number;
      ClampMemSize(s, windows_version);
    } else if (name == "dialog3d") s.dialog3d = number;
    else if (name == "bits") s.rec_bits = ToShort(text);
    else if (name == "channel") s.rec_channel = ToShort(text);
    else if (name == "freq") {
      s.rec_freq = ToUnsigned(text);
      if (!IsStoredRecordingRate(s.rec_freq)) s.rec_freq = 44100;
    } else if (name == "display") s.display = number;
    else if (name == "AutoExtention") s.AutoExtention = number;
    else if (name == "EndTime") s.EndTime = ToUnsigned(text);
    else if (name == "seigen") s.time_limit = ToUnsigned(text) != 0 ? s.EndTime : 0;
    else if (name == "levelwarning") s.levelwarning = number;
  }
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
