// The timer tick: position conversions, recording offsets, the time limit and
// the window of the memory block that is metered.
#include <gtest/gtest.h>

#include "meter/tick.h"

namespace {

TEST(MeterTickPosition, DeviceTypesAndFallback) {
  TickPosition ms = ConvertDevicePosition(true, TICK_TIME_MS, 1234, 0, 0, 176400, 44100);
  EXPECT_DOUBLE_EQ(ms.ms, 1234.0);
  EXPECT_FALSE(ms.estimated);
  EXPECT_DOUBLE_EQ(ConvertDevicePosition(true, TICK_TIME_BYTES, 88200, 0, 0, 176400, 44100).ms, 500.0);
  // A failed query or an unknown type: the time since the start, estimated.
  TickPosition failed = ConvertDevicePosition(false, TICK_TIME_MS, 1234, 9000, 4000, 176400, 44100);
  EXPECT_DOUBLE_EQ(failed.ms, 5000.0);
  EXPECT_TRUE(failed.estimated);
  EXPECT_TRUE(ConvertDevicePosition(true, 0x0008, 1234, 9000, 4000, 176400, 44100).estimated);
  // A start just ahead of the clock is no time, not 49 days.
  EXPECT_DOUBLE_EQ(ConvertDevicePosition(false, 0, 0, 4000, 4010, 176400, 44100).ms, 0.0);
  EXPECT_DOUBLE_EQ(ConvertDevicePosition(false, 0, 0, 5, 0xFFFFFFFBu, 176400, 44100).ms, 10.0);
}

TEST(MeterTickPosition, SamplesBy11025FamilyOrPlainRate) {
  // Samples count at the rate in Hz, whatever the display rounds it to.
  for (uint32_t rate : {11025u, 22050u, 44100u, 8000u, 16000u, 32000u, 48000u, 44056u}) {
    EXPECT_DOUBLE_EQ(ConvertDevicePosition(true, TICK_TIME_SAMPLES, rate * 3, 0, 0, 1, rate).ms, 3000.0) << rate;
  }
}

TEST(MeterTickPosition, ZeroRatesFallBackToTheClock) {
  TickPosition no_bytes = ConvertDevicePosition(true, TICK_TIME_BYTES, 88200, 3000, 1000, 0, 44100);
  EXPECT_TRUE(no_bytes.estimated);
  EXPECT_DOUBLE_EQ(no_bytes.ms, 2000.0);
  EXPECT_TRUE(ConvertDevicePosition(true, TICK_TIME_SAMPLES, 100, 3000, 1000, 176400, 0).estimated);
  // The device's ms need neither.
  EXPECT_DOUBLE_EQ(ConvertDevicePosition(true, TICK_TIME_MS, 1234, 3000, 1000, 0, 0).ms, 1234.0);
}

TEST(MeterTickPosition, StalledPositionOnOldSystems) {
  StalledPositionState state;
  EXPECT_DOUBLE_EQ(CompensateStalledPosition(state, 500.0, 1000), 500.0);
  EXPECT_DOUBLE_EQ(CompensateStalledPosition(state, 500.0, 1100), 600.0);
  EXPECT_DOUBLE_EQ(CompensateStalledPosition(state, 500.0, 1250), 750.0);
  EXPECT_DOUBLE_EQ(CompensateStalledPosition(state, 800.0, 1300), 800.0);
  EXPECT_DOUBLE_EQ(CompensateStalledPosition(state, 800.0, 1320), 820.0);
}

TickInputs Playing(int rate_steps = 0) {
  TickInputs in;
  in.recording = false;
  in.rate_steps = rate_steps;
  in.BytesPerSec = 176400;
  in.rate = 44100;
  in.blockalign = 4;
  in.unit_size = 65536;
  in.buffer_size = 10000000;
  in.data_total = 10000000;
  return in;
}

// Playback positions are in file time, as streaming shows them: the clock and
// the device's ms run with the rate, its bytes and samples count the file.
TEST(MeterTickFrame, PlayingShowsFileTimeAtAnyRate) {
  TickPosition estimated{1000.0, true};
  TickFrame doubled = ComputeTickFrame(Playing(120), estimated);
  EXPECT_DOUBLE_EQ(doubled.position_ms, 2000.0);
  EXPECT_EQ(doubled.offset, 352800);
  EXPECT_TRUE(doubled.has_offset);
  EXPECT_NEAR(ComputeTickFrame(Playing(-120), estimated).position_ms, 500.0, 1e-9);
  TickPosition device_ms = ConvertDevicePosition(true, TICK_TIME_MS, 1000, 0, 0, 176400, 44100);
  TickFrame device = ComputeTickFrame(Playing(120), device_ms);
  EXPECT_DOUBLE_EQ(device.position_ms, 2000.0);
  EXPECT_EQ(device.offset, 352800);
  TickPosition bytes = ConvertDevicePosition(true, TICK_TIME_BYTES, 352800, 0, 0, 176400, 44100);
  EXPECT_DOUBLE_EQ(ComputeTickFrame(Playing(120), bytes).position_ms, 2000.0);
  TickPosition samples = ConvertDevicePosition(true, TICK_TIME_SAMPLES, 88200, 0, 0, 176400, 44100);
  EXPECT_DOUBLE_EQ(ComputeTickFrame(Playing(120), samples).position_ms, 2000.0);
  // Without a byte rate too; recordings have no rate.
  TickInputs no_rate = Playing(120);
  no_rate.BytesPerSec = 0;
  EXPECT_DOUBLE_EQ(ComputeTickFrame(no_rate, device_ms).position_ms, 2000.0);
}

TickInputs Recording(unsigned version, uint32_t rate = 44100) {
  TickInputs in;
  in.recording = true;
  in.windows_version = version;
  in.BytesPerSec = 176400;
  in.rate = rate;
  in.blockalign = 4;
  in.unit_size = 65536;
  in.data_total = 10000000;
  in.buffer_size = 10000000 - 176400;  // one second already written
  in.free_bytes = 0x7FFFFFFF;
  return in;
}

TEST(MeterTickFrame, RecordingOffsetsLookBackByTheLatency) {
  // Device position: + the second already written; latency 1344 frames of 4
  // bytes times 44100 / 11025 = 4.
  TickFrame device = ComputeTickFrame(Recording(0x400), TickPosition{2000.0, false});
  EXPECT_DOUBLE_EQ(device.position_ms, 3000.0);
  EXPECT_EQ(device.offset, 529200 - 65536 - 1344 * 4 * 4 - 176400);
  // Estimated: no addition, latency 2432 frames.
  TickFrame estimated = ComputeTickFrame(Recording(0x400), TickPosition{2000.0, true});
  EXPECT_DOUBLE_EQ(estimated.position_ms, 2000.0);
  EXPECT_EQ(estimated.offset, 352800 - 65536 - 2432 * 16 - 176400);
  // Old systems: 1856 and 4096 frames.
  EXPECT_EQ(ComputeTickFrame(Recording(0x30B), TickPosition{2000.0, false}).offset,
            529200 - 65536 - 1856 * 16 - 176400);
  EXPECT_EQ(ComputeTickFrame(Recording(0x30B), TickPosition{2000.0, true}).offset,
            352800 - 65536 - 4096 * 16 - 176400);
  // 48 kHz: k = 6; 8 kHz: k = 1.
  EXPECT_EQ(ComputeTickFrame(Recording(0x400, 48000), TickPosition{2000.0, true}).offset,
            352800 - 65536 - 2432 * 4 * 6 - 176400);
  EXPECT_EQ(ComputeTickFrame(Recording(0x400, 8000), TickPosition{2000.0, true}).offset,
            352800 - 65536 - 2432 * 4 * 1 - 176400);
}

TEST(MeterTickFrame, RecordingPositionLimitedByFreeSpace) {
  TickInputs in = Recording(0x400);
  in.free_bytes = 176400 * 2;
  TickFrame frame = ComputeTickFrame(in, TickPosition{5000.0, false});
  EXPECT_DOUBLE_EQ(frame.position_ms, 2000.0);
  EXPECT_EQ(frame.offset, 176400 * 6 - 65536 - 1344 * 16 - 176400);  // the offset is not limited
  // Large drives: no 32-bit overflow in the limit.
  in.free_bytes = 2000000000;
  EXPECT_NEAR(ComputeTickFrame(in, TickPosition{20000000.0, true}).position_ms, 2000000000 * 1000.0 / 176400, 1e-6);
}

TEST(MeterTickFrame, NoByteRateNoOffset) {
  TickInputs in = Recording(0x400);
  in.BytesPerSec = 0;
  TickFrame frame = ComputeTickFrame(in, TickPosition{2000.0, true});
  EXPECT_FALSE(frame.has_offset);
  EXPECT_DOUBLE_EQ(frame.position_ms, 2000.0);
}

TEST(MeterTickWindow, JoinsToWhatWasMetered) {
  LevelWindow first = ComputeLevelWindow(10000, 1000000, 4096, 4, true, 0);
  EXPECT_TRUE(first.measure);
  EXPECT_EQ(first.start, 0);
  EXPECT_EQ(first.end, 14096);
  LevelWindow next = ComputeLevelWindow(20000, 1000000, 4096, 4, true, 14096);
  EXPECT_EQ(next.start, 14096);
  EXPECT_EQ(next.end, 24096);
}

TEST(MeterTickWindow, BackwardsPositionMeasuresNothingUntilItPasses) {
  EXPECT_FALSE(ComputeLevelWindow(10000, 1000000, 4096, 4, true, 20000).measure);
  EXPECT_FALSE(ComputeLevelWindow(15904, 1000000, 4096, 4, true, 20000).measure);  // ends exactly there
  LevelWindow passed = ComputeLevelWindow(16000, 1000000, 4096, 4, true, 20000);
  EXPECT_TRUE(passed.measure);
  EXPECT_EQ(passed.start, 20000);
  EXPECT_EQ(passed.end, 20096);
}

TEST(MeterTickWindow, EdgesOfTheMemoryBlock) {
  // Before the start: the unit shrinks by the overhang.
  LevelWindow early = ComputeLevelWindow(-1000, 1000000, 4096, 4, true, 0);
  EXPECT_TRUE(early.measure);
  EXPECT_EQ(early.end, 3096);
  EXPECT_FALSE(ComputeLevelWindow(-5000, 1000000, 4096, 4, true, 0).measure);
  EXPECT_FALSE(ComputeLevelWindow(-4096, 1000000, 4096, 4, true, 0).measure);
  // At or past the end: nothing.
  EXPECT_FALSE(ComputeLevelWindow(1000000, 1000000, 4096, 4, true, 0).measure);
  EXPECT_FALSE(ComputeLevelWindow(2000000, 1000000, 4096, 4, true, 0).measure);
  // Near the end: cut to what remains, in whole blocks for PCM.
  LevelWindow tail = ComputeLevelWindow(999000, 1000002, 4096, 4, true, 998000);
  EXPECT_EQ(tail.start, 998000);
  EXPECT_EQ(tail.end, 1000000);
  EXPECT_EQ(ComputeLevelWindow(999000, 1000002, 4096, 4, false, 998000).end, 1000002);
}

TEST(MeterTickWindow, AlignmentOfTheOffset) {
  EXPECT_EQ(ComputeLevelWindow(10003, 1000000, 4096, 4, true, 0).end, 14096);
  EXPECT_EQ(ComputeLevelWindow(-3, 1000000, 4096, 4, true, 0).end, 4096);  // remainder takes g's sign
  EXPECT_EQ(ComputeLevelWindow(10003, 1000000, 4096, 1, true, 0).end, 14099);
  EXPECT_EQ(ComputeLevelWindow(10003, 1000000, 4096, -4, true, 0).end, 14099);  // nonsense alignment ignored
  // A window that aligns to nothing at the very start is an empty measurement.
  LevelWindow empty = ComputeLevelWindow(0, 2, 4096, 4, true, 0);
  EXPECT_TRUE(empty.measure);
  EXPECT_EQ(empty.end, 0);
}

}  // namespace
