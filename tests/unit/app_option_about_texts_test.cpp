// The Option dialog's texts and arithmetic, and the About box's texts.
#include <gtest/gtest.h>

#include <string>

#include "app/about_texts.h"
#include "app/option_texts.h"
#include "base/settings.h"

namespace {

std::string Percent(int steps) {
  char text[32];
  FormatRatePercent(steps, text, sizeof text);
  return text;
}

std::string Pitch(int steps, bool japanese = false, bool levelwarning = false) {
  char text[32];
  FormatRatePitch(steps, japanese, levelwarning, text, sizeof text);
  return text;
}

std::string MemoryTime(const char* typed, uint32_t rate, int channels, int bits, bool japanese = false) {
  char text[128];
  FormatMemoryTime(ParseMemSize(typed), rate, channels, bits, japanese, text, sizeof text);
  return text;
}

TEST(DialogsOption, ArrowStepsMoveTheRateAndStopAtTheEnds) {
  int steps = 0;
  for (int i = 0; i < 5; ++i) steps = ScrollRateSteps(steps, RATE_LINE_RIGHT, 0);
  EXPECT_EQ(5, steps);
  EXPECT_EQ("102.9%", Percent(steps));
  EXPECT_EQ(" +0.5", Pitch(steps));

  steps = ScrollRateSteps(115, RATE_PAGE_RIGHT, 0);
  EXPECT_EQ(120, steps);
  EXPECT_EQ(120, ScrollRateSteps(steps, RATE_LINE_RIGHT, 0));
  EXPECT_EQ("200.0%", Percent(120));
  EXPECT_EQ("+12.0", Pitch(120));
  EXPECT_EQ("50.0%", Percent(-120));
  EXPECT_EQ("100.0%", Percent(0));

  EXPECT_EQ(-120, ScrollRateSteps(-118, RATE_PAGE_LEFT, 0));
  EXPECT_EQ(-1, ScrollRateSteps(0, RATE_LINE_LEFT, 0));
  EXPECT_EQ(-37, ScrollRateSteps(3, RATE_THUMB_TRACK, -37));
  EXPECT_EQ(120, ScrollRateSteps(3, RATE_THUMB_POSITION, 500));
  EXPECT_EQ(3, ScrollRateSteps(3, 8 /* end of scroll */, 99));
}

TEST(DialogsOption, JapanesePitchIsSpelledOutBelowOneSemitoneWithTheLevelReport) {
  EXPECT_EQ("-0点5半音", Pitch(-5, true, true));
  EXPECT_EQ("+0点0半音", Pitch(0, true, true));
  EXPECT_EQ("+0点9半音", Pitch(9, true, true));
  EXPECT_EQ(" -1.5半音", Pitch(-15, true, true));
  EXPECT_EQ(" -0.5半音", Pitch(-5, true, false));
  EXPECT_EQ(" -0.5", Pitch(-5, false, true));
}

TEST(DialogsOption, DisplayTimingListFindsOnlyItsSevenValues) {
  EXPECT_EQ(0, DeltaTimeIndex(32768));
  EXPECT_EQ(3, DeltaTimeIndex(4096));
  EXPECT_EQ(6, DeltaTimeIndex(512));
  EXPECT_EQ(-1, DeltaTimeIndex(4000));
  EXPECT_EQ(-1, DeltaTimeIndex(0));
  EXPECT_STREQ("3 sec  ", DeltaTimeLabel(0, false, true));
  EXPECT_STREQ("1/3秒", DeltaTimeLabel(3, true, false));
  EXPECT_STREQ("3分の1秒", DeltaTimeLabel(3, true, true));
  EXPECT_STREQ("１秒", DeltaTimeLabel(2, true, true));
}

TEST(DialogsOption, MemorySizeTextShowsTheRecordingTime) {
  EXPECT_EQ("44kHz 16bit Stereo : 89 sec", MemoryTime("15", 44100, 2, 16));
  EXPECT_EQ("11kHz 8bit Monaural : 2853 sec", MemoryTime("30", 11025, 1, 8));
  EXPECT_EQ("44kHz 16bit ｽﾃﾚｵで約89秒ぶん", MemoryTime("15", 44100, 2, 16, true));
  // Letters count as 0, and only three characters are read.
  EXPECT_EQ("44kHz 16bit Stereo : 0 sec", MemoryTime("abc", 44100, 2, 16));
  EXPECT_EQ(15, ParseMemSize("0155"));
  EXPECT_EQ(999, ParseMemSize("999"));
  EXPECT_EQ("44kHz 16bit Stereo : 0 sec", MemoryTime("-9", 44100, 2, 16));
  EXPECT_EQ("44kHz 16bit Stereo : 5938 sec", MemoryTime("999", 44100, 2, 16));
}

TEST(DialogsOption, MemorySizeTextSurvivesAFormatThatCannotRecord) {
  EXPECT_EQ("Recording format invalid", MemoryTime("15", 44100, 0, 16));
  EXPECT_EQ("Recording format invalid", MemoryTime("15", 44100, 2, 4));
  EXPECT_EQ("Recording format invalid", MemoryTime("15", 0, 2, 16));
  EXPECT_EQ("Recording format invalid", MemoryTime("15", 44100, -2, 16));
  EXPECT_EQ("録音形式が不正です", MemoryTime("15", 44100, 0, 16, true));
}

TEST(DialogsOption, MemorySizeIsClampedOnOk) {
  Settings settings;
  settings.MemSize = ParseMemSize("300");
  ClampMemSize(settings, 0x400);
  EXPECT_EQ(255, settings.MemSize);
  settings.MemSize = ParseMemSize("300");
  ClampMemSize(settings, 779);
  EXPECT_EQ(15, settings.MemSize);
  settings.MemSize = ParseMemSize("xy");
  ClampMemSize(settings, 0x400);
  EXPECT_EQ(2, settings.MemSize);
}

TEST(DialogsOption, LayoutMakesRoomForTheListArrow) {
  // Narrow arrows: the list gets seven characters and at least two
  // characters of arrow; "Smth" stays beside it.
  OptionLayout layout = ComputeOptionLayout(16, 8);
  EXPECT_EQ(7 * 8 + 17, layout.list_width);
  EXPECT_EQ(46, layout.list_height);
  EXPECT_EQ(156, layout.smooth_x);
  EXPECT_EQ(38, layout.smooth_y);
  EXPECT_EQ(38, layout.smooth_width);
  EXPECT_EQ(12, layout.smooth_height);
  EXPECT_EQ(156, ComputeOptionLayout(32, 8).smooth_x);  // exactly four characters
  // An arrow wider than four characters: "Smth" moves to the peak-hold row.
  layout = ComputeOptionLayout(33, 8);
  EXPECT_EQ(56 + 33, layout.list_width);
  EXPECT_EQ(125, layout.smooth_x);
  EXPECT_EQ(50, layout.smooth_y);
  EXPECT_EQ(25, layout.smooth_width);
  EXPECT_EQ(12, layout.smooth_height);
}

TEST(DialogsAbout, CompilerLineFollowsTheVersionRule) {
  EXPECT_EQ(0x402u, ReduceCompilerVersion(0x452));
  EXPECT_EQ(0x400u, ReduceCompilerVersion(0x450));
  EXPECT_EQ(0x40Fu, ReduceCompilerVersion(0x45F));
  EXPECT_EQ(0x450u, ReduceCompilerVersion(0x460));
  EXPECT_EQ(0x4EFu, ReduceCompilerVersion(0x4FF));
  EXPECT_EQ(0x44Fu, ReduceCompilerVersion(0x44F));
  EXPECT_EQ(0x500u, ReduceCompilerVersion(0x500));
  char text[64];
  FormatCompilerLine("BC", 0x452, false, text, sizeof text);
  EXPECT_STREQ("Made by BC 4.02", text);
  FormatCompilerLine("GCC", 0x1202, true, text, sizeof text);
  EXPECT_STREQ("GCC 12.02で作成", text);
  // The build's own version reads as decimal digits.
  char digits[16];
  snprintf(digits, sizeof digits, "%x", BuildCompilerVersion() >> 8);
  EXPECT_EQ(std::string::npos, std::string(digits).find_first_not_of("0123456789"));
}

TEST(DialogsAbout, DeviceCountsAreTwoWideInBothLanguages) {
  char text[64];
  FormatDeviceCounts(1, 2, false, text, sizeof text);
  EXPECT_STREQ("record device= 1  play device= 2", text);
  FormatDeviceCounts(0, 12, true, text, sizeof text);
  EXPECT_STREQ("録音ﾃﾞﾊﾞｲｽ= 0個  再生ﾃﾞﾊﾞｲｽ=12個", text);
}

}  // namespace
