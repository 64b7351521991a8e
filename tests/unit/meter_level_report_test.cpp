// The level report in both languages, and the mixer's error names.
#include <gtest/gtest.h>

#include <cstring>

#include "meter/level_report.h"
#include "meter/levels.h"
#include "meter/mixer_text.h"
#include "meter/status_text.h"

namespace {

TEST(MeterReport, SixteenBitFullScaleNegative) {
  LevelReport r = ComposeLevelReport(32768, 1, CLASS_16BIT_STEREO, 1, false);
  EXPECT_TRUE(r.show);
  EXPECT_EQ(r.text, "Max level +0.0db\nLevel over times 1");
  EXPECT_STREQ(r.caption, "Level Over");
  EXPECT_EQ(r.verdict, LEVEL_OVER);
}

TEST(MeterReport, EightBitPeaks) {
  LevelReport at127 = ComposeLevelReport(127, 2, CLASS_8BIT_MONO, 1, false);
  EXPECT_EQ(at127.text, "Max level +0.0db\nLevel over times 2");
  EXPECT_STREQ(at127.caption, "Level Over");
  LevelReport at128 = ComposeLevelReport(128, 3, CLASS_8BIT_STEREO, 1, false);
  EXPECT_EQ(at128.text, "Max level +0.1db\nLevel over times 3");
  EXPECT_EQ(at128.verdict, LEVEL_OVER);
}

TEST(MeterReport, FineAndUnder) {
  LevelReport half = ComposeLevelReport(16384, 0, CLASS_16BIT_MONO, 1, false);
  EXPECT_EQ(half.text, "Max level -6.0db");
  EXPECT_STREQ(half.caption, "Level Under");
  EXPECT_EQ(half.verdict, LEVEL_UNDER);
  LevelReport fine = ComposeLevelReport(23197, 0, CLASS_16BIT_MONO, 1, false);
  EXPECT_EQ(fine.text, "Max level -3.0db");
  EXPECT_STREQ(fine.caption, "Level");
  EXPECT_EQ(fine.verdict, LEVEL_FINE);
  // 8-bit 64 of 127: -5.95 dB, still fine.
  EXPECT_EQ(ComposeLevelReport(64, 0, CLASS_8BIT_MONO, 1, false).verdict, LEVEL_FINE);
}

TEST(MeterReport, MixerReadingsUseSixteenBitReference) {
  // A compressed format has no bit depth; its levels come on the 16-bit scale.
  EXPECT_EQ(ComposeLevelReport(32767, 0, CLASS_8BIT_STEREO, 0x55, false).text,
            "Max level +0.0db\nLevel over times 0");
  EXPECT_EQ(ComposeLevelReport(127, 0, CLASS_8BIT_STEREO, 0x55, false).verdict, LEVEL_UNDER);
}

TEST(MeterReport, NothingMeasuredNoReport) { EXPECT_FALSE(ComposeLevelReport(0, 5, CLASS_16BIT_STEREO, 1, true).show); }

TEST(MeterReport, JapaneseNumberWords) {
  LevelReport low = ComposeLevelReport(15468, 0, CLASS_16BIT_MONO, 1, true);  // -6.5 dB
  EXPECT_EQ(low.text, "最大ﾚﾍﾞﾙ ﾏｲﾅｽ6点5ﾃﾞｼﾍﾞﾙ \nレベルが低すぎます");
  EXPECT_STREQ(low.caption, "Level Under");
  LevelReport over = ComposeLevelReport(32768, 3, CLASS_16BIT_STEREO, 1, true);
  EXPECT_EQ(over.text, "最大ﾚﾍﾞﾙ ﾌﾟﾗｽ0点0ﾃﾞｼﾍﾞﾙ \nﾚﾍﾞﾙｵｰﾊﾞｰ回数 3回 \nレベルが高すぎます");
  EXPECT_STREQ(over.caption, "Level Over");
  LevelReport fine = ComposeLevelReport(23197, 0, CLASS_16BIT_MONO, 1, true);
  EXPECT_EQ(fine.text, "最大ﾚﾍﾞﾙ ﾏｲﾅｽ3点0ﾃﾞｼﾍﾞﾙ ");
  EXPECT_STREQ(fine.caption, "Level");
  // Long quiet runs: -42.1 dB.
  EXPECT_EQ(ComposeLevelReport(1, 0, CLASS_8BIT_MONO, 1, true).text, "最大ﾚﾍﾞﾙ ﾏｲﾅｽ42点1ﾃﾞｼﾍﾞﾙ \nレベルが低すぎます");
}

// The dropout line of a recording's report, and the status text while it
// records, which fits its place at the end of the file name line.
TEST(MeterReport, DropoutTexts) {
  EXPECT_EQ(ComposeDropoutText(DropoutTally{}, 44100, false), "");
  DropoutTally one{1, 79380, {6}};
  EXPECT_EQ(ComposeDropoutText(one, 44100, false), "Dropouts 1: 79380 frames lost (1.8 sec)\nat 6 sec");
  EXPECT_EQ(ComposeDropoutText(one, 44100, true), "音飛び 1回: 79380フレーム欠落 (1.8秒)\n位置 6秒");
  DropoutTally many{12, 441000, {1, 2, 3, 4, 5, 6, 7, 8}};
  EXPECT_EQ(ComposeDropoutText(many, 44100, false),
            "Dropouts 12: 441000 frames lost (10.0 sec)\nat 1, 2, 3, 4, 5, 6, 7, 8, ... sec");
  for (bool japanese : {false, true}) {
    EXPECT_STREQ(FormatDropoutStatus(3, 2249, 44100, japanese).text, japanese ? "音飛び 3回: 51 ms" : "Dropouts 3: 51 ms");
    EXPECT_STREQ(FormatDropoutStatus(3, 79380, 44100, japanese).text, japanese ? "音飛び 3回: 1.8秒" : "Dropouts 3: 1.8 s");
    EXPECT_STREQ(FormatDropoutStatus(123, 65000000, 44100, japanese).text,
                 japanese ? "音飛び 123回: 1474秒" : "Dropouts 123: 1474 s");
    EXPECT_STREQ(FormatDropoutStatus(3, 0, 44100, japanese).text, japanese ? "音飛び 3回" : "Dropouts 3");
    for (uint32_t count : {999u, 0xFFFFFFFFu})
      EXPECT_LE(std::strlen(FormatDropoutStatus(count, 0xFFFFFFFFFFull, 8000, japanese).text), kDropoutStatusCells);
  }
}

TEST(MeterReport, ReplaceFirstOnly) {
  std::string text = "a-b-c";
  ReplaceFirst(text, "-", "XY");
  EXPECT_EQ(text, "aXYb-c");
  ReplaceFirst(text, "+", "Z");
  EXPECT_EQ(text, "aXYb-c");
}

TEST(MeterMixerText, ErrorNames) {
  EXPECT_STREQ(MixerErrorName(1).text, "unspecified error         ");
  EXPECT_STREQ(MixerErrorName(8).text, "function isn't supported  ");
  EXPECT_STREQ(MixerErrorName(11).text, "invalid parameter passed  ");
  EXPECT_STREQ(MixerErrorName(20).text, "driver does not call DriverCallback ");
  for (uint32_t code = 1; code <= 19; ++code) EXPECT_EQ(strlen(MixerErrorName(code).text), 26u) << code;
  EXPECT_STREQ(MixerErrorName(21).text, "error=21                           ");
  EXPECT_STREQ(MixerErrorName(0).text, "error=0                           ");
  EXPECT_STREQ(MixerErrorName(1024).text, "error=1024                           ");
}

}  // namespace
