// Adaptation of the meter stride: the expected period and every rule.
#include <gtest/gtest.h>

#include "meter/stride.h"

namespace {

StridePeriodInputs Period(uint32_t deltatime, uint32_t rate, bool recording, int rate_steps = 0, bool on_memory = false) {
  StridePeriodInputs in;
  in.deltatime = deltatime;
  in.rate = rate;
  in.recording = recording;
  in.rate_steps = rate_steps;
  in.on_memory = on_memory;
  return in;
}

TEST(MeterStridePeriod, BufferDurationByFamilyRateAndMode) {
  EXPECT_EQ(ExpectedPeriodMs(Period(4096, 44100, true)), 372);   // 371.5
  EXPECT_EQ(ExpectedPeriodMs(Period(4096, 22050, true)), 372);
  EXPECT_EQ(ExpectedPeriodMs(Period(4096, 48000, true)), 512);
  EXPECT_EQ(ExpectedPeriodMs(Period(4096, 8000, true)), 512);
  // Playing follows the rate; recording ignores it.
  EXPECT_EQ(ExpectedPeriodMs(Period(4096, 44100, false, 120)), 186);
  EXPECT_EQ(ExpectedPeriodMs(Period(4096, 44100, false, -120)), 743);
  EXPECT_EQ(ExpectedPeriodMs(Period(4096, 44100, true, 120)), 372);
  // On-memory: 1.2 times, at least 55.
  EXPECT_EQ(ExpectedPeriodMs(Period(4096, 44100, true, 0, true)), 446);
  EXPECT_EQ(ExpectedPeriodMs(Period(256, 8000, true, 0, true)), 55);
  EXPECT_EQ(ExpectedPeriodMs(Period(360, 8000, true, 0, true)), 55);  // 45 * 1.2 = 54
  EXPECT_EQ(ExpectedPeriodMs(Period(376, 8000, true, 0, true)), 56);  // 47 * 1.2 = 56.4
}

TEST(MeterStridePeriod, TinyDeltatimeGivesNoPeriod) {
  EXPECT_EQ(ExpectedPeriodMs(Period(3, 8000, true)), 0);
  EXPECT_EQ(ExpectedPeriodMs(Period(4, 8000, true)), 1);
  EXPECT_EQ(ExpectedPeriodMs(Period(5, 44100, true)), 0);
  EXPECT_EQ(ExpectedPeriodMs(Period(7, 8000, false, 120)), 0);
  EXPECT_EQ(ExpectedPeriodMs(Period(0, 8000, false)), 0);
  // Even on-memory, where 55 would otherwise be the least.
  EXPECT_EQ(ExpectedPeriodMs(Period(3, 8000, true, 0, true)), 0);
}

TEST(MeterStrideAdapt, LateBlocksRaiseTheStride) {
  // t = 1000: later than 1090 ms doubles, later than 1010 ms adds one.
  EXPECT_EQ(AdaptedStride(8, 1091, 0, 1000, true), 16u);
  EXPECT_EQ(AdaptedStride(8, 1090, 0, 1000, false), 9u);
  EXPECT_EQ(AdaptedStride(8, 1011, 0, 1000, true), 9u);
  EXPECT_EQ(AdaptedStride(8, 1010, 500, 1000, true), 8u);
  // Wrapping to 0 gives 65535.
  EXPECT_EQ(AdaptedStride(0, 5000, 0, 1000, true), 65535u);
  EXPECT_EQ(AdaptedStride(0x80000000u, 5000, 0, 1000, true), 65535u);
  EXPECT_EQ(AdaptedStride(0xFFFFFFFFu, 1050, 0, 1000, false), 65535u);
  // A first block after a long pause (huge interval) doubles.
  EXPECT_EQ(AdaptedStride(4, 2000000000, 0, 372, true), 8u);
}

struct Row {
  bool recording;
  uint32_t stride;
  int32_t work;
  uint32_t expected;
};

// Each row of the two tables, with the stride and work chosen so that it is the
// first rule that matches (t = 1000, interval on time), then the same case with
// the work just past the row's share.
TEST(MeterStrideAdapt, EveryRowOfBothTables) {
  const Row rows[] = {
      // Recording.
      {true, 31, 99, 15},   {true, 31, 101, 30},  // 1: < 0.10 t and > 30: halve (else row 3)
      {true, 16, 49, 8},    {true, 16, 51, 15},   // 2: < 0.05 t and > 15: halve (else row 3)
      {true, 9, 199, 8},    {true, 9, 201, 9},    // 3: < 0.20 t and >= 9
      {true, 7, 179, 6},    {true, 7, 181, 7},    // 4: < 0.18 t and >= 7
      {true, 5, 159, 4},    {true, 5, 161, 5},    // 5: < 0.16 t and >= 5
      {true, 4, 139, 3},    {true, 4, 141, 4},    // 6: < 0.14 t and >= 4
      {true, 3, 119, 2},    {true, 3, 121, 3},    // 7: < 0.12 t and >= 3
      {true, 2, 99, 1},     {true, 2, 101, 2},    // 8: < 0.10 t and >= 2
      {true, 1, 0, 1},                            // stride 1 stays
      {true, 30, 99, 29},                         // 30 is not above 30: row 3
      // Playing.
      {false, 4, 149, 2},   {false, 4, 151, 3},   // 1: < 0.15 t and >= 4: halve (else row 6)
      {false, 61, 299, 30}, {false, 61, 301, 60}, // 2: < 0.30 t and > 60: halve (else row 3)
      {false, 9, 809, 8},   {false, 9, 811, 9},   // 3: < 0.81 t and >= 9
      {false, 7, 759, 6},   {false, 7, 761, 7},   // 4: < 0.76 t and >= 7
      {false, 5, 679, 4},   {false, 5, 681, 5},   // 5: < 0.68 t and >= 5
      {false, 4, 609, 3},   {false, 4, 611, 4},   // 6: < 0.61 t and >= 4
      {false, 3, 489, 2},   {false, 3, 491, 3},   // 7: < 0.49 t and >= 3
      {false, 2, 299, 1},   {false, 2, 301, 2},   // 8: < 0.30 t and >= 2
      {false, 60, 299, 59},                       // 60 is not above 60: row 3
      {false, 1, 0, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << (row.recording ? "recording" : "playing") << " stride " << row.stride
                                    << " work " << row.work);
    EXPECT_EQ(AdaptedStride(row.stride, 1000, row.work, 1000, row.recording), row.expected);
  }
}

TEST(MeterStrideAdapt, NegativeWorkCountsAsQuick) {
  // A clock that moved backwards gives negative times; they compare as small.
  EXPECT_EQ(AdaptedStride(40, -5, -3, 1000, true), 20u);
}

}  // namespace
