#include <gtest/gtest.h>

#include <map>
#include <string>

#include "base/settings.h"

namespace {

using Ini = std::map<std::string, std::string>;

std::string Lookup(const char* key, const char* default_text, void* context) {
  const Ini& ini = *static_cast<const Ini*>(context);
  auto found = ini.find(key);
  return found == ini.end() ? default_text : found->second;
}

Settings Read(Ini ini, unsigned version = 0x0601) {
  Settings settings;
  ParseSettings(settings, version, Lookup, &ini);
  return settings;
}

Ini Written(const Settings& settings, unsigned version = 0x0601) {
  Ini ini;
  for (const auto& entry : SettingsToWrite(settings, version)) ini[entry.first] = entry.second;
  return ini;
}

TEST(Settings, FirstRunWritesAllKeysWithDefaults) {
  Settings settings = Read({});
  auto written = SettingsToWrite(settings, 0x0601);
  std::vector<std::string> order;
  for (const auto& entry : written) order.push_back(entry.first);
  EXPECT_EQ(order, (std::vector<std::string>{"levelwarning", "OnMem", "MemSize", "smooth", "monochrome", "PeakHold",
                                             "deltatime", "dialog3d", "bits", "channel", "freq", "display",
                                             "AutoExtention", "EndTime", "seigen"}));
  EXPECT_EQ(Written(settings), (Ini{{"levelwarning", "1"}, {"OnMem", "0"}, {"MemSize", "15"}, {"smooth", "0"},
                                    {"monochrome", "0"}, {"PeakHold", "1"}, {"deltatime", "4096"}, {"dialog3d", "1"},
                                    {"bits", "16"}, {"channel", "2"}, {"freq", "44100"}, {"display", "1"},
                                    {"AutoExtention", "0"}, {"EndTime", "3600"}, {"seigen", "0"}}));
}

TEST(Settings, FrequencyRuleAndWhatIsSaved) {
  EXPECT_EQ(Read({{"freq", "48000"}}).rec_freq, 44100u);
  EXPECT_EQ(Read({{"freq", "22050"}}).rec_freq, 22050u);
  EXPECT_EQ(Read({{"freq", "garbage"}}).rec_freq, 44100u);
  Settings settings;
  settings.rec_freq = 48000;  // from a command-line option
  EXPECT_EQ(Written(settings).count("freq"), 0u);
}

TEST(Settings, MemSizeClampsWithTheVersionRule) {
  EXPECT_EQ(Read({{"MemSize", "0"}}).MemSize, 2);
  EXPECT_EQ(Read({{"MemSize", "300"}}).MemSize, 255);
  EXPECT_EQ(Read({{"MemSize", "40"}}, 0x030B).MemSize, 15);
  EXPECT_EQ(Read({{"MemSize", "40"}}, 0x030C).MemSize, 40);
  EXPECT_EQ(Read({{"MemSize", "x"}}).MemSize, 2);
}

TEST(Settings, TimeLimitFollowsSeigenAndEndTime) {
  Settings on = Read({{"seigen", "1"}, {"EndTime", "600"}});
  EXPECT_EQ(on.time_limit, 600u);
  Settings off = Read({{"seigen", "0"}, {"EndTime", "600"}});
  EXPECT_EQ(off.time_limit, 0u);
  EXPECT_EQ(Written(off)["EndTime"], "600");
  EXPECT_EQ(Written(off)["seigen"], "0");
  on.time_limit = 1200;  // moved on by a limit that fired
  EXPECT_EQ(Written(on)["seigen"], "1");
}

TEST(Settings, Dialog3dOnlyFromVersion395) {
  EXPECT_EQ(Read({{"dialog3d", "0"}}, 0x035E).dialog3d, 1);
  EXPECT_EQ(Read({{"dialog3d", "0"}}, 0x035F).dialog3d, 0);
  EXPECT_EQ(Written(Settings{}, 0x035E).count("dialog3d"), 0u);
}

TEST(Settings, DamagedTextsReadAsNumbersOrZero) {
  Settings settings = Read({{"PeakHold", "abc"}, {"deltatime", "12zz"}, {"channel", "5"}, {"bits", "-3"},
                            {"levelwarning", std::string(100, '7')}});
  EXPECT_EQ(settings.PeakHold, 0);
  EXPECT_EQ(settings.deltatime, 12u);
  EXPECT_EQ(settings.rec_channel, 5);  // taken as read
  EXPECT_EQ(settings.rec_bits, -3);
  // Only 31 characters of a value count; the number saturates rather than crash.
  EXPECT_NE(settings.levelwarning, 0);
}

}  // namespace
