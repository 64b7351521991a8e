// Counting a recording's dropouts: sound lost is counted where and as much as
// it was lost, within a block; a late program or device, a drifting clock or
// a pause are not losses.
#include <gtest/gtest.h>

#include <cmath>

#include "audio/dropouts.h"

namespace {

constexpr uint32_t kRate = 44100;
constexpr uint32_t kBlock = 16384;  // frames of a 64 KB block of 16-bit stereo
constexpr double kBlockMs = kBlock * 1000.0 / kRate;

// A device that fills one block after another. It delivers what it captures
// (`counts_lost` false: Wine's position) or counts all it captured; it runs
// `drift` slower than the system clock.
struct Device {
  bool has_position = true;
  bool counts_lost = false;
  double drift = 0.0;
  double clock_ms = 1000.0;  // the ms clock at the first block
  double lost_frames = 0.0;
  uint64_t blocks = 0;

  // The next full block comes back: `late_ms` after it was filled (the
  // program was busy), with the device `lag_ms` behind in delivering.
  DropoutObservation Next(double late_ms = 0.0, double lag_ms = 0.0, bool starved = false) {
    const double filled_ms = clock_ms + (blocks * kBlock + lost_frames) * 1000.0 / kRate / (1.0 - drift);
    const double now = filled_ms + late_ms;
    DropoutObservation seen;
    seen.now_ms = static_cast<uint32_t>(now);
    seen.has_position = has_position;
    const double captured = (now - clock_ms) * kRate / 1000.0 * (1.0 - drift) - lag_ms * kRate / 1000.0;
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

TEST(EngineDropouts, HoursWithoutLossCountNothing) {
  for (bool has_position : {true, false}) {
    Device device;
    device.has_position = has_position;
    device.drift = 0.0002;  // a sound card 200 ppm slower than the clock
    DropoutCounter counter;
    counter.Reset(kRate);
    // 10 hours; every 50th block comes back late, every 97th the device is
    // behind for two blocks running (a busy machine).
    for (int i = 0; i < 97000; ++i) {
      const double late = i % 50 == 0 ? 0.8 * kBlockMs : (i % 7) * 3.0;
      const double lag = (i % 97 == 0 || i % 97 == 1) ? 150.0 : (i % 5) * 4.0;
      counter.Observe(device.Next(late, has_position ? lag : 0.0));
    }
    EXPECT_EQ(counter.tally().count, 0u) << has_position;
  }
}

TEST(EngineDropouts, LossIsCountedWhereAndAsMuchAsItWas) {
  struct Case {
    bool has_position, counts_lost;
    double lost_ms;
  } cases[] = {{true, false, 1800}, {true, false, 25}, {true, true, 1800}, {false, false, 1800}};
  for (const Case& c : cases) {
    Device device;
    device.has_position = c.has_position;
    device.counts_lost = c.counts_lost;
    DropoutCounter counter;
    counter.Reset(kRate);
    for (int i = 0; i < 30; ++i) counter.Observe(device.Next(i % 3 * 5.0));
    device.Lose(c.lost_ms);
    for (int i = 0; i < 30; ++i) counter.Observe(device.Next(i % 3 * 5.0));
    const DropoutTally& tally = counter.tally();
    ASSERT_EQ(tally.count, 1u) << c.has_position << c.counts_lost << c.lost_ms;
    EXPECT_NEAR(static_cast<double>(tally.frames), c.lost_ms * kRate / 1000.0, kBlock) << c.lost_ms;
    ASSERT_EQ(tally.at_seconds.size(), 1u);
    EXPECT_EQ(tally.at_seconds[0], 30u * kBlock / kRate);
  }
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
// time nor the new position is a loss; a second loss adds to the first.
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
  counter.Reset(kRate);
  EXPECT_EQ(counter.tally().count, 0u);
}

}  // namespace
