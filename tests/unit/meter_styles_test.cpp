// Rectangles and colours of the four meter styles, hold marks and captions.
#include <gtest/gtest.h>

#include <cstring>

#include "meter/meter_styles.h"
#include "resources/ja_meter.h"

namespace {

constexpr int W = 8;  // cell width
constexpr uint32_t D16 = 2048;
constexpr uint32_t D8 = 8;

MeterRowInput Row(uint32_t level, uint32_t hold, uint32_t delta = D16, bool peak_hold = true, bool mono = false) {
  MeterRowInput in;
  in.w = W;
  in.row_y = 224;
  in.row_height = 16;
  in.level = level;
  in.hold = hold;
  in.delta = delta;
  in.peak_hold = peak_hold;
  in.monochrome = mono;
  return in;
}

// The white fills of a layout (hold marks).
int WhiteCount(const MeterFills& f) {
  int n = 0;
  for (int i = 0; i < f.count; ++i) n += f.fill[i].white;
  return n;
}
const MeterFill* FindWhite(const MeterFills& f) {
  for (int i = 0; i < f.count; ++i)
    if (f.fill[i].white) return &f.fill[i];
  return nullptr;
}

// The x of the hold mark, -1 without one.
int WhiteX(const MeterFills& f) {
  const MeterFill* mark = FindWhite(f);
  return mark ? mark->x : -1;
}

void ExpectFill(const MeterFill& fill, int x, int width, uint32_t colour) {
  EXPECT_EQ(fill.x, x);
  EXPECT_EQ(fill.width, width);
  EXPECT_EQ(fill.colour, colour);
  EXPECT_FALSE(fill.white);
  EXPECT_EQ(fill.y, 224);
  EXPECT_EQ(fill.height, 16);
}

TEST(MeterColours, NormalAndMonochromeSchemes) {
  EXPECT_EQ(COLOUR_OLIVE, 0x008080u);  // COLORREF byte order: 0x00BBGGRR
  EXPECT_EQ(COLOUR_NAVY, 0x800000u);
  EXPECT_EQ(ZoneColour(ZONE_BLUE, true, false), COLOUR_BLUE);
  EXPECT_EQ(ZoneColour(ZONE_CYAN, false, false), COLOUR_TEAL);
  EXPECT_EQ(ZoneColour(ZONE_GREEN, false, false), COLOUR_DARK_GREEN);
  EXPECT_EQ(ZoneColour(ZONE_YELLOW, false, false), COLOUR_OLIVE);
  EXPECT_EQ(ZoneColour(ZONE_OVER, true, false), COLOUR_RED);
  EXPECT_EQ(ZoneColour(ZONE_BLUE, true, true), COLOUR_CYAN);
  EXPECT_EQ(ZoneColour(ZONE_CYAN, true, true), COLOUR_YELLOW);
  EXPECT_EQ(ZoneColour(ZONE_CYAN, false, true), COLOUR_MAROON);
  EXPECT_EQ(ZoneColour(ZONE_GREEN, true, true), COLOUR_CYAN);
  EXPECT_EQ(ZoneColour(ZONE_RED, false, true), COLOUR_NAVY);
  EXPECT_EQ(ZoneColour(ZONE_OVER, true, true), COLOUR_YELLOW);
  // Monochrome keeps the yellow zone's lit colour and the blue zone's navy.
  EXPECT_EQ(ZoneColour(ZONE_YELLOW, true, true), ZoneColour(ZONE_YELLOW, true, false));
  EXPECT_EQ(ZoneColour(ZONE_BLUE, false, true), ZoneColour(ZONE_BLUE, false, false));
}

TEST(MeterLinearLeds, LampsZonesAndOverLamp) {
  MeterFills f = LayoutLinearLeds(Row(3 * D16 + 1, 0));
  ASSERT_EQ(f.count, 17);
  for (int k = 0; k < 16; ++k) {
    SCOPED_TRACE(k);
    uint32_t colour = k < 4 ? COLOUR_GREEN : k < 8 ? COLOUR_DARK_GREEN : k < 12 ? COLOUR_OLIVE : COLOUR_MAROON;
    ExpectFill(f.fill[k], W + ((3 * k + 2) * W) / 2, W, colour);
  }
  ExpectFill(f.fill[16], W + 25 * W, W, COLOUR_MAROON);
  // Lamp k lights above k delta: 3 delta exactly lights lamps 0..2.
  EXPECT_EQ(LayoutLinearLeds(Row(3 * D16, 0)).fill[3].colour, COLOUR_DARK_GREEN);
  // The over lamp lights above 16 delta - 2.
  EXPECT_EQ(LayoutLinearLeds(Row(32767, 0)).fill[16].colour, COLOUR_RED);
  EXPECT_EQ(LayoutLinearLeds(Row(32766, 0)).fill[16].colour, COLOUR_MAROON);
  EXPECT_EQ(LayoutLinearLeds(Row(127, 0, D8)).fill[16].colour, COLOUR_RED);
  MeterFills mono = LayoutLinearLeds(Row(32768, 0, D16, true, true));
  EXPECT_EQ(mono.fill[0].colour, COLOUR_CYAN);
  EXPECT_EQ(mono.fill[8].colour, COLOUR_YELLOW);
  EXPECT_EQ(mono.fill[12].colour, COLOUR_CYAN);
  EXPECT_EQ(mono.fill[16].colour, COLOUR_YELLOW);
}

TEST(MeterLinearLeds, HoldMarkOnTheRightQuarterOfItsLamp) {
  // Hold in (0, delta]: lamp 0 (x 16..24), mark 22..24.
  MeterFills layout = LayoutLinearLeds(Row(0, D16));
  const MeterFill* mark = FindWhite(layout);
  ASSERT_NE(mark, nullptr);
  EXPECT_EQ(mark->x, 22);
  EXPECT_EQ(mark->width, 2);
  // Hold just above 5 delta: lamp 5 at 8 + 68 = 76, mark at 82.
  EXPECT_EQ(WhiteX(LayoutLinearLeds(Row(0, 5 * D16 + 1))), 82);
  // A clipped hold (17 delta) stands on the over lamp (208..216).
  EXPECT_EQ(WhiteX(LayoutLinearLeds(Row(0, 17 * D16))), 214);
  EXPECT_EQ(WhiteX(LayoutLinearLeds(Row(0, 16 * D16 - 1))), 214);
  EXPECT_EQ(WhiteX(LayoutLinearLeds(Row(0, 16 * D16 - 2))), 202);  // lamp 15: 196..204
  // No mark without a hold or with PeakHold off; 18 fills at most.
  EXPECT_EQ(WhiteCount(LayoutLinearLeds(Row(100, 0))), 0);
  EXPECT_EQ(WhiteCount(LayoutLinearLeds(Row(100, 5000, D16, false))), 0);
  EXPECT_EQ(LayoutLinearLeds(Row(100, 5000)).count, 18);
}

TEST(MeterLinearBar, ZonesAndTheExtraRedPixel) {
  // Silence: three unlit zones spanning [2w, 14w), [14w, 20w), [20w, 26w + 1).
  MeterFills quiet = LayoutLinearBar(Row(0, 0));
  ASSERT_EQ(quiet.count, 3);
  ExpectFill(quiet.fill[0], 2 * W, 12 * W, COLOUR_DARK_GREEN);
  ExpectFill(quiet.fill[1], 14 * W, 6 * W, COLOUR_OLIVE);
  ExpectFill(quiet.fill[2], 20 * W, 6 * W + 1, COLOUR_MAROON);
  // Level 16 delta - 1 or more fills the red zone to 26w + 1.
  for (uint32_t level : {16 * D16 - 1, 16 * D16, 17 * D16}) {
    MeterFills loud = LayoutLinearBar(Row(level, 0));
    ASSERT_EQ(loud.count, 3);
    ExpectFill(loud.fill[0], 2 * W, 12 * W, COLOUR_GREEN);
    ExpectFill(loud.fill[1], 14 * W, 6 * W, COLOUR_YELLOW);
    ExpectFill(loud.fill[2], 20 * W, 6 * W + 1, COLOUR_RED);
  }
  // 2 delta: green 3w lit; 10 delta: green full, yellow 3w; 14 delta: red 3w.
  MeterFills low = LayoutLinearBar(Row(2 * D16, 0));
  ExpectFill(low.fill[0], 2 * W, 3 * W, COLOUR_GREEN);
  ExpectFill(low.fill[1], 5 * W, 9 * W, COLOUR_DARK_GREEN);
  MeterFills mid = LayoutLinearBar(Row(10 * D16, 0));
  ExpectFill(mid.fill[1], 14 * W, 3 * W, COLOUR_YELLOW);
  ExpectFill(mid.fill[2], 17 * W, 3 * W, COLOUR_OLIVE);
  MeterFills high = LayoutLinearBar(Row(14 * D16, 0, D16));
  ASSERT_EQ(high.count, 4);
  ExpectFill(high.fill[2], 20 * W, 3 * W, COLOUR_RED);
  ExpectFill(high.fill[3], 23 * W, 3 * W + 1, COLOUR_MAROON);
  // Just below: the red part stays short of 6w and the unlit rest reaches 26w + 1.
  MeterFills top = LayoutLinearBar(Row(16 * D16 - 2, 0));
  ASSERT_EQ(top.count, 4);
  ExpectFill(top.fill[2], 20 * W, 47, COLOUR_RED);
  ExpectFill(top.fill[3], 20 * W + 47, 6 * W + 1 - 47, COLOUR_MAROON);
}

TEST(MeterLinearBar, HoldLineLimitedToFullScale) {
  MeterFills layout = LayoutLinearBar(Row(0, 17 * D16));
  const MeterFill* mark = FindWhite(layout);
  ASSERT_NE(mark, nullptr);
  EXPECT_EQ(mark->x, 26 * W);
  EXPECT_EQ(mark->width, 1);
  EXPECT_EQ(WhiteX(LayoutLinearBar(Row(0, 4 * D16))), 2 * W + 6 * W);
  EXPECT_EQ(WhiteCount(LayoutLinearBar(Row(0, 0))), 0);
  EXPECT_EQ(WhiteCount(LayoutLinearBar(Row(0, 100, D16, false))), 0);
}

TEST(MeterDbBar, SilenceLightsNothingFullScaleLightsAll) {
  MeterFills quiet = LayoutDbBar(Row(0, 0));
  ASSERT_EQ(quiet.count, 5);
  ExpectFill(quiet.fill[0], 2 * W, 6 * W, COLOUR_NAVY);
  ExpectFill(quiet.fill[1], 8 * W, 6 * W, COLOUR_TEAL);
  ExpectFill(quiet.fill[2], 14 * W, 6 * W, COLOUR_DARK_GREEN);
  ExpectFill(quiet.fill[3], 20 * W, 3 * W, COLOUR_OLIVE);
  ExpectFill(quiet.fill[4], 23 * W, 3 * W + 1, COLOUR_MAROON);
  MeterFills full = LayoutDbBar(Row(32768, 0));
  ASSERT_EQ(full.count, 5);
  ExpectFill(full.fill[0], 2 * W, 6 * W, COLOUR_BLUE);
  ExpectFill(full.fill[1], 8 * W, 6 * W, COLOUR_CYAN);
  ExpectFill(full.fill[2], 14 * W, 6 * W, COLOUR_GREEN);
  ExpectFill(full.fill[3], 20 * W, 3 * W, COLOUR_YELLOW);
  ExpectFill(full.fill[4], 23 * W, 3 * W + 1, COLOUR_RED);
  // Within 0.1 dB of full scale the red zone is full.
  EXPECT_EQ(LayoutDbBar(Row(32400, 0)).fill[4].width, 3 * W + 1);  // -0.098 dB
}

TEST(MeterDbBar, PartialZonesTruncate) {
  // 16384 = -6.02 dB: green (12 - 6.02) * 8 = 47.8 -> 47, yellow and red unlit.
  MeterFills half = LayoutDbBar(Row(16384, 0));
  ASSERT_EQ(half.count, 6);
  ExpectFill(half.fill[2], 14 * W, 47, COLOUR_GREEN);
  ExpectFill(half.fill[3], 14 * W + 47, 1, COLOUR_DARK_GREEN);
  ExpectFill(half.fill[4], 20 * W, 3 * W, COLOUR_OLIVE);
  ExpectFill(half.fill[5], 23 * W, 3 * W + 1, COLOUR_MAROON);
  // 8-bit level 1 of 128: -42 dB, nothing lit.
  EXPECT_EQ(LayoutDbBar(Row(1, 0, D8)).fill[0].colour, COLOUR_NAVY);
}

TEST(MeterDbBar, HoldLineAtItsDecibels) {
  EXPECT_EQ(WhiteX(LayoutDbBar(Row(0, 17 * D16))), 26 * W);  // limited to 0 dB
  EXPECT_EQ(WhiteX(LayoutDbBar(Row(0, 16384))), 2 * W + 143);  // (24 - 6.02) * 8 = 143.8
  EXPECT_EQ(WhiteCount(LayoutDbBar(Row(0, 1))), 0);                  // -90 dB: off the scale
  EXPECT_EQ(WhiteCount(LayoutDbBar(Row(0, 0))), 0);
  EXPECT_EQ(WhiteCount(LayoutDbBar(Row(0, 32768, D16, false))), 0);
}

TEST(MeterDbLeds, EightBitBlueThresholds) {
  DbLampThresholds t = ComputeDbLampThresholds(D8);
  const uint32_t blue[] = {8, 9, 10, 11, 12, 14};  // lamps 1..6
  for (int j = 1; j <= 6; ++j) EXPECT_EQ(t.threshold[j], blue[j - 1]) << "lamp " << j;
  // Zone tops: red nearest(128 R) = 114, yellow nearest(64 * 1.414 R) = 81,
  // green nearest(64 R) = 57, cyan nearest(32 R) = 29.
  EXPECT_EQ(t.threshold[24], 114u);
  EXPECT_EQ(t.threshold[21], 81u);
  EXPECT_EQ(t.threshold[18], 57u);
  EXPECT_EQ(t.threshold[12], 29u);
  DbLampThresholds wide = ComputeDbLampThresholds(D16);
  EXPECT_EQ(wide.threshold[24], 29193u);
  EXPECT_EQ(wide.threshold[23], 26008u);
  for (int j = 2; j <= 24; ++j) EXPECT_LT(wide.threshold[j - 1], wide.threshold[j]) << j;
}

TEST(MeterDbLeds, LampsAndOverLamp) {
  MeterFills quiet = LayoutDbLeds(Row(0, 0));
  ASSERT_EQ(quiet.count, 25);
  ExpectFill(quiet.fill[0], 2 * W, W / 2, COLOUR_NAVY);
  ExpectFill(quiet.fill[6], 8 * W, W / 2, COLOUR_TEAL);
  ExpectFill(quiet.fill[12], 14 * W, W / 2, COLOUR_DARK_GREEN);
  ExpectFill(quiet.fill[18], 20 * W, W / 2, COLOUR_OLIVE);
  ExpectFill(quiet.fill[23], 25 * W, W / 2, COLOUR_MAROON);
  ExpectFill(quiet.fill[24], W + 25 * W, W, COLOUR_MAROON);
  // 8-bit level 12 lights the lamps of thresholds 8 to 11, not the one of 12.
  MeterFills low = LayoutDbLeds(Row(12, 0, D8));
  for (int j = 1; j <= 4; ++j) EXPECT_EQ(low.fill[j - 1].colour, COLOUR_BLUE) << j;
  EXPECT_EQ(low.fill[4].colour, COLOUR_NAVY);
  MeterFills over = LayoutDbLeds(Row(128, 0, D8, true, true));
  for (int j = 1; j <= 24; ++j) EXPECT_NE(over.fill[j - 1].colour, COLOUR_NAVY) << j;
  EXPECT_EQ(over.fill[24].colour, COLOUR_YELLOW);  // monochrome over lamp
}

TEST(MeterDbLeds, HoldMarkSearch) {
  // Above the top threshold: right half of lamp 24 (200..204), mark at 202.
  MeterFills layout = LayoutDbLeds(Row(0, 29194));
  const MeterFill* mark = FindWhite(layout);
  ASSERT_NE(mark, nullptr);
  EXPECT_EQ(mark->x, 202);
  EXPECT_EQ(mark->width, 2);
  // At the top threshold: lamp 23.
  EXPECT_EQ(WhiteX(LayoutDbLeds(Row(0, 29193))), 194);
  // A clipped hold: right quarter of the over lamp (208..216).
  EXPECT_EQ(WhiteX(LayoutDbLeds(Row(0, 17 * D16))), 214);
  EXPECT_EQ(WhiteX(LayoutDbLeds(Row(0, 127, D8))), 214);
  // Tiny holds find no lamp (the search ends after 24 steps even where the
  // rounded thresholds stop shrinking).
  EXPECT_EQ(WhiteCount(LayoutDbLeds(Row(0, 1, D8))), 0);
  EXPECT_EQ(WhiteCount(LayoutDbLeds(Row(0, 1, D16))), 0);
  EXPECT_EQ(WhiteCount(LayoutDbLeds(Row(0, 30000, D16, false))), 0);
  EXPECT_EQ(LayoutDbLeds(Row(0, 30000)).count, 26);
}

TEST(MeterStyles, SettingsChooseTheStyle) {
  MeterRowInput in = Row(20000, 0);
  EXPECT_EQ(LayoutMeterRow(in, false, false).count, LayoutLinearLeds(in).count);
  EXPECT_EQ(LayoutMeterRow(in, false, true).fill[0].width, LayoutLinearBar(in).fill[0].width);
  EXPECT_EQ(LayoutMeterRow(in, true, true).count, LayoutDbBar(in).count);
  EXPECT_EQ(LayoutMeterRow(in, true, false).count, 25);
  // A zero unit draws nothing rather than dividing by it.
  EXPECT_EQ(LayoutMeterRow(Row(5, 5, 0), true, false).count, 0);
  EXPECT_EQ(LayoutMeterRow(Row(5, 5, 0), false, true).count, 0);
}

TEST(MeterLabels, StereoAndMonoCaptions) {
  const int H = 16;
  MeterLabelLayout normal = LayoutMeterLabels(3, 1, 0x400, W, H, false);
  ASSERT_EQ(normal.count, 2);
  EXPECT_EQ(normal.font_height, -24);
  EXPECT_EQ(normal.label[0].x, W + 27 * W);
  EXPECT_EQ(normal.label[0].y, 14 * H - 1);
  EXPECT_EQ(normal.label[1].y, 16 * H - 1);
  EXPECT_STREQ(normal.label[0].text, "  LEFT  ");
  EXPECT_EQ(normal.label[0].length, 8);
  EXPECT_STREQ(normal.label[1].text, "  RIGHT   ");
  EXPECT_EQ(normal.label[1].length, 10);
  MeterLabelLayout large = LayoutMeterLabels(2, 2, 0x400, W, H, true);
  EXPECT_EQ(large.font_height, -32);
  EXPECT_EQ(large.label[0].y, 14 * H - 8);
  EXPECT_STREQ(large.label[0].text, ja::kMeterLeft);
  EXPECT_EQ(static_cast<int>(strlen(ja::kMeterLeft)), large.label[0].length);
  EXPECT_EQ(static_cast<int>(strlen(ja::kMeterRight)), large.label[1].length);
  MeterLabelLayout old = LayoutMeterLabels(3, 1, 0x30A, W, H, false);
  EXPECT_EQ(old.font_height, -16);
  EXPECT_EQ(old.label[1].y, 16 * H);
  MeterLabelLayout mono = LayoutMeterLabels(1, 1, 0x400, W, H, true);
  ASSERT_EQ(mono.count, 1);
  EXPECT_EQ(mono.font_height, 0);  // stock OEM fixed font
  EXPECT_STREQ(mono.label[0].text, "Monaural");
  EXPECT_EQ(mono.label[0].x, W + 212);  // (53 w) / 2
  EXPECT_EQ(mono.label[0].y, 14 * H + H / 2);
  EXPECT_EQ(LayoutMeterLabels(0, 2, 0x400, W, H, false).font_height, -32);
}

}  // namespace
