// Counting a recording's dropouts: sound lost is counted where and as much as
// it was lost, within a block, however little each block lost; a late
// program or device, a jittering position, a latency that moved, a drifting
// clock or a pause are not losses.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "audio/dropouts.h"

namespace {

constexpr uint32_t kRate = 44100;
constexpr uint32_t kBlock = 16384;  // frames of a 64 KB block of 16-bit stereo
constexpr double kBlockMs = kBlock * 1000.0 / kRate;

// A device that fills one block after another. It delivers what it captures
// (`counts_lost` false: Wine's position) or counts all it captured; it runs
// `drift` slower than the system clock. Its position is read late by a random
// `jitter_ms` at most (seeded), and `latency_ms` more.
struct Device {
  bool has_position = true;
  bool counts_lost = false;
  double drift = 0.0;
  double jitter_ms = 0.0;
  double latency_ms = 0.0;
  double clock_ms = 1000.0;  // the ms clock at the first block
  double lost_frames = 0.0;
  uint64_t blocks = 0;
  std::mt19937 random{20261209};

  // The next full block comes back: `late_ms` after it was filled (the
  // program was busy), with the device `lag_ms` more behind in delivering.
  DropoutObservation Next(double late_ms = 0.0, double lag_ms = 0.0, bool starved = false) {
    const double filled_ms = clock_ms + (blocks * kBlock + lost_frames) * 1000.0 / kRate / (1.0 - drift);
    const double now = filled_ms + late_ms;
    const double lag = lag_ms + latency_ms + std::uniform_real_distribution<double>(0.0, jitter_ms)(random);
    DropoutObservation seen;
    seen.now_ms = static_cast<uint32_t>(now);
    seen.has_position = has_position;
    const double captured = (now - clock_ms) * kRate / 1000.0 * (1.0 - drift) - lag * kRate / 1000.0;
    seen.device_frames = static_cast<uint32_t>(static_cast<uint64_t>(counts_lost ? captured : captured - lost_frames));
    seen.block_frames = kBlock;
    seen.run_frames = blocks * kBlock;
    seen.starved = starved;
    ++blocks;
    return seen;
  }
  // The device captures `ms` of sound that no block takes.
  void Lose(double ms) { lost_frames += ms * kRate / 1000.0; }
};

// 8 hours each: a sound card 200 ppm slower or faster than the clock, its
// position read up to 30 ms late at random, behind by 150 ms for two blocks
// now and then, its latency 10 ms longer for hours; the program late too.
TEST(EngineDropouts, HoursWithoutLossCountNothing) {
  for (bool has_position : {true, false}) {
    for (double drift : {0.0002, -0.0002}) {
      Device device;
      device.has_position = has_position;
      device.drift = drift;
      device.jitter_ms = has_position ? 30.0 : 0.0;
      std::mt19937 random(7);
      DropoutCounter counter;
      counter.Reset(kRate);
      for (int i = 0; i < 77600; ++i) {
        if (i == 20000) device.latency_ms = 10.0;
        if (i == 60000) device.latency_ms = 0.0;
        const double late = std::uniform_real_distribution<double>(0.0, i % 50 == 0 ? 0.8 * kBlockMs : 30.0)(random);
        const double lag = has_position && i % 97 < 2 ? 150.0 : 0.0;
        counter.Observe(device.Next(late, lag));
      }
      EXPECT_EQ(counter.tally().count, 0u) << has_position << " " << drift;
      EXPECT_EQ(counter.tally().frames, 0u) << has_position << " " << drift;
    }
  }
}

// One loss in one step, or in small steps at consecutive blocks, is counted
// once, at its place (within a second: the jitter makes steps of its own),
// with all its frames (within a block).
TEST(EngineDropouts, LossIsCountedWhereAndAsMuchAsItWas) {
  struct Case {
    bool has_position, counts_lost;
    double lost_ms;
    int steps;  // the loss is spread over this many consecutive blocks
  } cases[] = {{true, false, 1800, 1}, {true, false, 45, 1},  {true, false, 45, 3}, {true, true, 1800, 1},
               {false, false, 1800, 1}, {true, false, 60 * 19, 60}};
  for (const Case& c : cases) {
    Device device;
    device.has_position = c.has_position;
    device.counts_lost = c.counts_lost;
    device.jitter_ms = 30.0;
    DropoutCounter counter;
    counter.Reset(kRate);
    for (int i = 0; i < 30; ++i) counter.Observe(device.Next(i % 3 * 5.0));
    for (int i = 0; i < c.steps; ++i) {
      device.Lose(c.lost_ms / c.steps);
      counter.Observe(device.Next(i % 3 * 5.0));
    }
    for (int i = 0; i < 30; ++i) counter.Observe(device.Next(i % 3 * 5.0));
    const DropoutTally& tally = counter.tally();
    const std::string name = std::to_string(c.has_position) + std::to_string(c.counts_lost) + " " +
                             std::to_string(c.lost_ms) + " ms in " + std::to_string(c.steps);
    ASSERT_EQ(tally.count, 1u) << name;
    EXPECT_NEAR(static_cast<double>(tally.frames), c.lost_ms * kRate / 1000.0, kBlock) << name;
    ASSERT_EQ(tally.at_seconds.size(), 1u);
    EXPECT_NEAR(tally.at_seconds[0], 30.0 * kBlock / kRate, 1.0) << name;
  }
}

// A machine that loses 19 ms at every block for an hour: all of it counted.
TEST(EngineDropouts, SmallLossesAtEveryBlockAddUp) {
  Device device;
  device.jitter_ms = 30.0;
  DropoutCounter counter;
  counter.Reset(kRate);
  for (int i = 0; i < 9700; ++i) {
    device.Lose(19.0);
    counter.Observe(device.Next());
  }
  EXPECT_GE(counter.tally().count, 1u);
  EXPECT_NEAR(static_cast<double>(counter.tally().frames), device.lost_frames, kBlock);
}

// The device ran with nothing to fill: the next block is judged at once.
TEST(EngineDropouts, StarvedDeviceIsJudgedAtTheNextBlock) {
  Device device;
  DropoutCounter counter;
  counter.Reset(kRate);
  for (int i = 0; i < 10; ++i) counter.Observe(device.Next());
  EXPECT_FALSE(counter.Observe(device.Next(0.0, 0.0, true)));
  device.Lose(500);
  EXPECT_TRUE(counter.Observe(device.Next()));
  EXPECT_NEAR(static_cast<double>(counter.tally().frames), 500.0 * kRate / 1000.0, 100.0);
}

// A pause resets the device and stops the clock's count: neither the paused
// time nor the new position is a loss; a second loss adds to the first, and
// so does a silence of the input counted as it ended.
TEST(EngineDropouts, PausesAreNotLossesAndLossesAddUp) {
  Device device;
  DropoutCounter counter;
  counter.Reset(kRate);
  for (int i = 0; i < 10; ++i) counter.Observe(device.Next());
  counter.Restart();
  // Paused a minute; the device, reset, starts its position again at 0.
  Device after;
  after.clock_ms = device.clock_ms + 10 * kBlockMs + 60000.0;
  device = after;
  for (int i = 0; i < 10; ++i) counter.Observe(device.Next());
  EXPECT_EQ(counter.tally().count, 0u);
  device.Lose(1000);
  for (int i = 0; i < 10; ++i) counter.Observe(device.Next());
  device.Lose(2000);
  for (int i = 0; i < 10; ++i) counter.Observe(device.Next());
  EXPECT_EQ(counter.tally().count, 2u);
  EXPECT_NEAR(static_cast<double>(counter.tally().frames), 3000.0 * kRate / 1000.0, 2.0 * kBlock);
  counter.CountSilence(5 * kRate, 30 * kBlock);
  EXPECT_EQ(counter.tally().count, 3u);
  EXPECT_NEAR(static_cast<double>(counter.tally().frames), 8000.0 * kRate / 1000.0, 2.0 * kBlock);
  EXPECT_EQ(counter.tally().at_seconds.back(), 30u * kBlock / kRate);
  counter.Reset(kRate);
  EXPECT_EQ(counter.tally().count, 0u);
}

}  // namespace
