#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/command_line.h"
#include "base/text_rules.h"

namespace {

using Tokens = std::vector<std::string>;

Tokens Split(const char* text) {
  SetActiveCodePage(ShiftJisBytes());
  return SplitCommandLine(text);
}

TEST(CommandLineSplit, BlanksInsideNamesQuotesAndOptions) {
  EXPECT_EQ(Split("prog C:\\My Music\\a.wav /P"), (Tokens{"prog", "C:\\My Music\\a.wav", "/P"}));
  EXPECT_EQ(Split("prog C:\\My Music\\a.wav /P   "), (Tokens{"prog", "C:\\My Music\\a.wav", "/P"}));
  EXPECT_EQ(Split("prog /R/T30/44"), (Tokens{"prog", "/R", "/T30", "/44"}));
  EXPECT_EQ(Split("\"C:\\Program Files\\TAPEON.EXE\" a.wav"), (Tokens{"C:\\Program Files\\TAPEON.EXE", "a.wav"}));
  // A quoted path loses its quotes and keeps its blanks; what follows still splits.
  EXPECT_EQ(Split("prog \"C:\\a b\\c.wav\" /P"), (Tokens{"prog", "C:\\a b\\c.wav", "/P"}));
  // A slash inside quotes does not start an option.
  EXPECT_EQ(Split("prog \"x/y.wav\""), (Tokens{"prog", "x/y.wav"}));
  // A backslash before a quote yields a literal quote.
  EXPECT_EQ(Split("prog a\\\"b"), (Tokens{"prog", "a\"b"}));
  // A path with "/" as separator splits at each slash.
  EXPECT_EQ(Split("prog dir/sub/a.wav"), (Tokens{"prog", "dir", "/sub", "/a.wav"}));
  // A quote never closed takes the rest of the line.
  EXPECT_EQ(Split("prog \"a b /P"), (Tokens{"prog", "a b /P"}));
  EXPECT_EQ(Split(""), Tokens{});
}

TEST(CommandLineSplit, DoubleByteNamesKeepTheirTrailBytes) {
  // 0x95 0x5C is one Shift-JIS character whose second byte looks like "\".
  std::string line = "prog \x95\x5C\"x\" y";
  Tokens tokens = Split(line.c_str());
  ASSERT_EQ(tokens.size(), 2u);
  // The trail byte does not escape the quote, so the quotes are dropped.
  EXPECT_EQ(tokens[1], "\x95\x5Cx y");
}

TEST(CommandLineSplit, KeepsAtMost255Tokens) {
  std::string line = "prog";
  for (int k = 0; k < 300; ++k) line += " /S";
  EXPECT_EQ(Split(line.c_str()).size(), 255u);
  std::string long_token = "prog " + std::string(2000, 'a');
  Tokens tokens = Split(long_token.c_str());
  ASSERT_EQ(tokens.size(), 2u);
  EXPECT_EQ(tokens[1].size(), 2000u);
}

TEST(CommandLineOptions, RateTable) {
  struct Case {
    const char* digits;
    uint32_t rate;
  } cases[] = {{"22", 22050}, {"24", 24000}, {"96", 96000}, {"9", 88200}, {"16", 16000}, {"12", 12000},
               {"1", 11025},  {"48000", 48000}, {"7", 0},   {"0", 0},     {"44", 44100}, {"4", 44100},
               {"5", 48000},  {"3", 32000},  {"6", 64000},  {"8", 8000},  {"999", 88200}, {"1000", 1000}};
  for (const Case& c : cases) EXPECT_EQ(RateOption(c.digits), c.rate) << c.digits;
}

TEST(CommandLineOptions, ApplyChangesSettingsAndFlags) {
  Settings settings;
  StartOptions options;
  ApplyOptions(Split("prog /R/T30/44 /m /o /e"), settings, options);
  EXPECT_EQ(options.record_at_start, 1);
  EXPECT_EQ(options.force_english, 1);
  EXPECT_EQ(options.play_at_start, 0);
  EXPECT_EQ(settings.time_limit, 1800u);
  EXPECT_EQ(settings.EndTime, 1800u);
  EXPECT_EQ(settings.rec_freq, 44100u);
  EXPECT_EQ(settings.rec_channel, 1);
  EXPECT_EQ(settings.rec_bits, 8);

  Settings other;
  ApplyOptions(Split("prog /t1.5 /7 /S /H /P"), other, options);
  EXPECT_EQ(other.time_limit, 90u);
  EXPECT_EQ(other.rec_freq, 44100u);  // "/7" changes nothing
  EXPECT_EQ(other.rec_channel, 2);
  EXPECT_EQ(other.rec_bits, 16);
  EXPECT_EQ(options.play_at_start, 1);

  Settings negative;
  ApplyOptions(Split("prog /T-5"), negative, options);
  EXPECT_EQ(negative.time_limit, 0u);
}

TEST(CommandLineOptions, PathPartsAfterSlashesChangeNoSetting) {
  // A path written with slashes splits into "/Temp", "/take.wav" and the
  // like: none of them is "/T" without a number, "/M", "/S", "/R" or a rate.
  Settings saved;
  saved.EndTime = saved.time_limit = 600;
  Settings settings = saved;
  StartOptions options;
  ApplyOptions(Split("prog D:/Temp/take.wav /Music/Sounds/Rec/Play/Home/Old/4x/T/Tx/T1e3/T1.2.3"), settings, options);
  EXPECT_EQ(settings.time_limit, 600u);
  EXPECT_EQ(settings.EndTime, 600u);
  EXPECT_EQ(settings.rec_channel, saved.rec_channel);
  EXPECT_EQ(settings.rec_bits, saved.rec_bits);
  EXPECT_EQ(settings.rec_freq, saved.rec_freq);
  EXPECT_EQ(options.record_at_start + options.play_at_start + options.force_english, 0);
  // "/T0" is a number: no limit.
  ApplyOptions(Split("prog /T0"), settings, options);
  EXPECT_EQ(settings.time_limit, 0u);
}

TEST(CommandLineOptions, FileArgumentSkipsOptionsAndEmptyTokens) {
  Tokens tokens = Split("prog /P a.wav /x b.wav");
  std::vector<const char*> args;
  for (const std::string& token : tokens) args.push_back(token.c_str());
  const int count = static_cast<int>(args.size());
  EXPECT_EQ(FindFileArgument(args.data(), count, 1), 2);
  EXPECT_EQ(FindFileArgument(args.data(), count, 3), 4);
  EXPECT_EQ(FindFileArgument(args.data(), count, 5), -1);
}

}  // namespace
