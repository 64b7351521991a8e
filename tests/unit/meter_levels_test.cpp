// Peak scan of the four sample classes, stride limits, clip test and holds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "meter/levels.h"

namespace {

std::vector<uint8_t> Words(std::initializer_list<int> samples) {
  std::vector<uint8_t> bytes;
  for (int s : samples) {
    uint16_t u = static_cast<uint16_t>(static_cast<int16_t>(s));
    bytes.push_back(static_cast<uint8_t>(u & 0xFF));
    bytes.push_back(static_cast<uint8_t>(u >> 8));
  }
  return bytes;
}

ChannelPeaks Scan(int sample_class, const std::vector<uint8_t>& data, uint32_t stride = 1) {
  return ScanPeaks(sample_class, data.data(), static_cast<long>(data.size()), stride);
}

TEST(MeterScan, SixteenBitFullScaleNegativeIsLevel32768AndClips) {
  ChannelPeaks mono = Scan(CLASS_16BIT_MONO, Words({0, 100, -32768, 5}));
  EXPECT_EQ(mono.left, 32768u);
  EXPECT_TRUE(BlockClips(CLASS_16BIT_MONO, mono));
  ChannelPeaks stereo = Scan(CLASS_16BIT_STEREO, Words({-32768, 10, 3, -20}));
  EXPECT_EQ(stereo.left, 32768u);
  EXPECT_EQ(stereo.right, 20u);
  EXPECT_TRUE(BlockClips(CLASS_16BIT_STEREO, stereo));
  EXPECT_FALSE(BlockClips(CLASS_16BIT_MONO, Scan(CLASS_16BIT_MONO, Words({32766, -32766}))));
  EXPECT_TRUE(BlockClips(CLASS_16BIT_MONO, Scan(CLASS_16BIT_MONO, Words({32767}))));
}

TEST(MeterScan, EightBitExtremesBothClip) {
  EXPECT_EQ(Scan(CLASS_8BIT_MONO, {128, 0, 130}).left, 128u);
  EXPECT_EQ(Scan(CLASS_8BIT_MONO, {128, 255, 127}).left, 127u);
  EXPECT_TRUE(BlockClips(CLASS_8BIT_MONO, Scan(CLASS_8BIT_MONO, {0})));
  EXPECT_TRUE(BlockClips(CLASS_8BIT_MONO, Scan(CLASS_8BIT_MONO, {255})));
  EXPECT_FALSE(BlockClips(CLASS_8BIT_MONO, Scan(CLASS_8BIT_MONO, {2, 254})));
  ChannelPeaks stereo = Scan(CLASS_8BIT_STEREO, {128, 255, 100, 128});
  EXPECT_EQ(stereo.left, 28u);
  EXPECT_EQ(stereo.right, 127u);
  EXPECT_TRUE(BlockClips(CLASS_8BIT_STEREO, stereo));
  EXPECT_EQ(Scan(CLASS_8BIT_MONO, {128, 128}).left, 0u);  // silence is the zero point
}

// The vector path (long blocks) and the scalar tail must agree with a plain
// per-sample maximum, for every class and at every position of the peak.
TEST(MeterScan, LongBlocksFindThePeakAnywhere) {
  for (int sample_class = 0; sample_class < 4; ++sample_class) {
    bool wide = IsSixteenBitClass(sample_class);
    bool stereo = IsStereoClass(sample_class);
    size_t frame_bytes = (wide ? 2u : 1u) * (stereo ? 2u : 1u);
    for (size_t frames : {1u, 7u, 31u, 64u, 100u, 1000u}) {
      for (size_t peak_frame = 0; peak_frame < frames; peak_frame += frames / 5 + 1) {
        std::vector<uint8_t> data(frames * frame_bytes);
        for (size_t i = 0; i < data.size(); ++i) data[i] = wide ? (i % 2 ? 0 : 3) : 131;  // level 3 everywhere
        size_t right = stereo ? (wide ? 2 : 1) : 0;
        if (wide) {
          data[peak_frame * frame_bytes] = 0x18;  // -1000 = 0xFC18 at the left channel
          data[peak_frame * frame_bytes + 1] = 0xFC;
          if (stereo) {
            data[peak_frame * frame_bytes + right] = 0xD0;  // 2000 = 0x07D0
            data[peak_frame * frame_bytes + right + 1] = 0x07;
          }
        } else {
          data[peak_frame * frame_bytes] = 28;  // level 100
          if (stereo) data[peak_frame * frame_bytes + right] = 178;  // level 50
        }
        ChannelPeaks peaks = Scan(sample_class, data);
        SCOPED_TRACE(testing::Message() << "class " << sample_class << " frames " << frames << " at " << peak_frame);
        EXPECT_EQ(peaks.left, wide ? 1000u : 100u);
        EXPECT_EQ(peaks.right, stereo ? (wide ? 2000u : 50u) : 0u);
      }
    }
  }
}

// The examined positions written out plainly, for comparison.
ChannelPeaks ReferencePeaks(int sample_class, const std::vector<uint8_t>& d, uint32_t stride) {
  ChannelPeaks p;
  auto byte_level = [](uint8_t b) { return static_cast<uint32_t>(b >= 128 ? b - 128 : 128 - b); };
  auto word_level = [&](size_t i) {
    int s = static_cast<int16_t>(static_cast<uint16_t>(d[2 * i] | d[2 * i + 1] << 8));
    return static_cast<uint32_t>(s < 0 ? -s : s);
  };
  size_t n = d.size();
  switch (sample_class) {
    case 0:
      for (size_t i = 0; i < n; i += stride) p.left = std::max(p.left, byte_level(d[i]));
      break;
    case 1:
      for (size_t i = 0; i < n / 2; i += stride) p.left = std::max(p.left, word_level(i));
      break;
    case 2:
      for (size_t i = 0; i + 1 < n; i += 2 * stride) {
        p.left = std::max(p.left, byte_level(d[i]));
        p.right = std::max(p.right, byte_level(d[i + 1]));
      }
      break;
    case 3:
      for (size_t i = 0; i + 1 < n / 2; i += 2 * stride) {
        p.left = std::max(p.left, word_level(i));
        p.right = std::max(p.right, word_level(i + 1));
      }
      break;
  }
  return p;
}

TEST(MeterScan, AgreesWithPlainScanOnRandomBlocks) {
  uint32_t seed = 1;
  auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 16; };
  for (int round = 0; round < 400; ++round) {
    std::vector<uint8_t> data(round < 300 ? round : next() % 20000);
    for (auto& b : data) b = static_cast<uint8_t>(next());
    for (int sample_class = 0; sample_class < 4; ++sample_class) {
      for (uint32_t stride : {1u, 2u, 3u, 7u}) {
        ChannelPeaks got = Scan(sample_class, data, stride);
        ChannelPeaks want = ReferencePeaks(sample_class, data, stride);
        ASSERT_EQ(got.left, want.left) << "size " << data.size() << " class " << sample_class << " stride " << stride;
        ASSERT_EQ(got.right, want.right) << "size " << data.size() << " class " << sample_class << " stride " << stride;
      }
    }
  }
}

TEST(MeterScan, StrideExaminesOnlyEveryNthFrame) {
  // Mono 8-bit, stride 3: positions 0, 3, 6 only.
  std::vector<uint8_t> bytes(8, 128);
  bytes[1] = 0;
  bytes[6] = 138;
  EXPECT_EQ(Scan(CLASS_8BIT_MONO, bytes, 3).left, 10u);
  // Stereo 16-bit, stride 2: frames 0 and 2.
  ChannelPeaks stereo = Scan(CLASS_16BIT_STEREO, Words({1, 2, 999, 999, 5, -6, 999, 999}), 2);
  EXPECT_EQ(stereo.left, 5u);
  EXPECT_EQ(stereo.right, 6u);
  // Mono 16-bit, stride 2: samples 0, 2.
  EXPECT_EQ(Scan(CLASS_16BIT_MONO, Words({-7, 900, 8}), 2).left, 8u);
  // Stereo 8-bit, stride 2: frames 0 and 2.
  ChannelPeaks bytes_stereo = Scan(CLASS_8BIT_STEREO, {129, 130, 0, 0, 131, 132}, 2);
  EXPECT_EQ(bytes_stereo.left, 3u);
  EXPECT_EQ(bytes_stereo.right, 4u);
  // A stride beyond the block examines the first frame only.
  EXPECT_EQ(Scan(CLASS_16BIT_MONO, Words({-3, 30000}), 0xFFFFFFFFu).left, 3u);
}

TEST(MeterScan, EmptyAndPartialBlocks) {
  std::vector<uint8_t> loud = Words({-32768, -32768, -32768});
  EXPECT_EQ(ScanPeaks(CLASS_16BIT_MONO, loud.data(), 0, 1).left, 0u);
  EXPECT_EQ(ScanPeaks(CLASS_16BIT_MONO, loud.data(), -4, 1).left, 0u);
  EXPECT_EQ(ScanPeaks(CLASS_16BIT_MONO, nullptr, 100, 1).left, 0u);
  EXPECT_EQ(ScanPeaks(CLASS_16BIT_MONO, loud.data(), 6, 0).left, 0u);
  // A trailing partial frame is not read: 6 bytes of 16-bit stereo hold one
  // frame and one lone sample; 3 bytes of 8-bit stereo one frame and a byte.
  std::vector<uint8_t> stereo = Words({1, 2, -32768});
  ChannelPeaks peaks = ScanPeaks(CLASS_16BIT_STEREO, stereo.data(), 6, 1);
  EXPECT_EQ(peaks.left, 1u);
  EXPECT_EQ(peaks.right, 2u);
  peaks = ScanPeaks(CLASS_16BIT_STEREO, stereo.data(), 6, 2);
  EXPECT_EQ(peaks.left, 1u);
  std::vector<uint8_t> bytes = {129, 130, 0};
  EXPECT_EQ(ScanPeaks(CLASS_8BIT_STEREO, bytes.data(), 3, 1).left, 1u);
  EXPECT_EQ(ScanPeaks(CLASS_8BIT_STEREO, bytes.data(), 3, 3).left, 1u);
  // An odd byte count of 16-bit mono ignores the lone byte.
  EXPECT_EQ(ScanPeaks(CLASS_16BIT_MONO, loud.data(), 1, 1).left, 0u);
}

TEST(MeterScan, SampleClassOfFormats) {
  EXPECT_EQ(SampleClassOf(1, 8), CLASS_8BIT_MONO);
  EXPECT_EQ(SampleClassOf(1, 16), CLASS_16BIT_MONO);
  EXPECT_EQ(SampleClassOf(2, 8), CLASS_8BIT_STEREO);
  EXPECT_EQ(SampleClassOf(2, 16), CLASS_16BIT_STEREO);
  EXPECT_EQ(SampleClassOf(2, 24), CLASS_8BIT_STEREO);
  EXPECT_EQ(SampleClassOf(1, 4), CLASS_8BIT_MONO);
  EXPECT_EQ(SampleClassOf(6, 16), CLASS_8BIT_MONO);
  EXPECT_EQ(LevelDelta(CLASS_8BIT_STEREO), 8u);
  EXPECT_EQ(LevelDelta(CLASS_16BIT_MONO), 2048u);
}

TEST(MeterStrideLimit, ClampedToUnitAndSixteenThousand) {
  EXPECT_EQ(LimitStride(20000, 0xFFFFFFFFu, CLASS_8BIT_MONO, false), 16000u);
  // 65536-byte unit: limits 2048, 1024, 1024, 512.
  EXPECT_EQ(LimitStride(5000, 65536, CLASS_8BIT_MONO, false), 2048u);
  EXPECT_EQ(LimitStride(5000, 65536, CLASS_16BIT_MONO, false), 1024u);
  EXPECT_EQ(LimitStride(5000, 65536, CLASS_8BIT_STEREO, false), 1024u);
  EXPECT_EQ(LimitStride(5000, 65536, CLASS_16BIT_STEREO, false), 512u);
  EXPECT_EQ(LimitStride(8, 65536, CLASS_16BIT_STEREO, false), 8u);
  // A 100-byte unit of 16-bit stereo gives limit 0: stride 1.
  EXPECT_EQ(LimitStride(8, 100, CLASS_16BIT_STEREO, false), 1u);
  EXPECT_EQ(LimitStride(0, 65536, CLASS_16BIT_STEREO, false), 1u);
  // The level report needs every frame.
  EXPECT_EQ(LimitStride(300, 65536, CLASS_16BIT_STEREO, true), 1u);
}

TEST(MeterHold, DecayInLinearAndDbScale) {
  // Linear decay by delta/4: 2 for 8-bit data, 512 for 16-bit data.
  EXPECT_EQ(UpdatedHold(100, 0, 8, PEAK_HOLD_DECAY, false), 98u);
  EXPECT_EQ(UpdatedHold(20000, 0, 2048, PEAK_HOLD_DECAY, false), 19488u);
  EXPECT_EQ(UpdatedHold(512, 0, 2048, PEAK_HOLD_DECAY, false), 0u);
  EXPECT_EQ(UpdatedHold(2, 0, 8, PEAK_HOLD_DECAY, false), 0u);
  EXPECT_EQ(UpdatedHold(3, 0, 8, PEAK_HOLD_DECAY, false), 1u);
  // dB decay: 3 % a block, and a hold of 8 or less no longer falls.
  EXPECT_EQ(UpdatedHold(1000, 0, 2048, PEAK_HOLD_DECAY, true), 970u);
  EXPECT_EQ(UpdatedHold(9, 0, 8, PEAK_HOLD_DECAY, true), 8u);
  EXPECT_EQ(UpdatedHold(8, 0, 8, PEAK_HOLD_DECAY, true), 8u);
  EXPECT_EQ(UpdatedHold(1, 0, 8, PEAK_HOLD_DECAY, true), 1u);
  // A louder block raises the hold after the decay.
  EXPECT_EQ(UpdatedHold(100, 99, 8, PEAK_HOLD_DECAY, false), 99u);
}

TEST(MeterHold, OffAndConstantDoNotDecayButStillTrack) {
  for (int mode : {PEAK_HOLD_OFF, PEAK_HOLD_CONSTANT}) {
    for (bool db : {false, true}) {
      EXPECT_EQ(UpdatedHold(1000, 0, 2048, mode, db), 1000u);
      EXPECT_EQ(UpdatedHold(1000, 1500, 2048, mode, db), 1500u);
      EXPECT_EQ(UpdatedHold(10, 127, 8, mode, db), 17u * 8);
    }
  }
}

TEST(MeterHold, ClipPutsHoldAboveFullScale) {
  // Above 16 delta - 2 (126, 32766) the hold stands on the over lamp.
  EXPECT_EQ(UpdatedHold(0, 32768, 2048, PEAK_HOLD_DECAY, true), 17u * 2048);
  EXPECT_EQ(UpdatedHold(0, 32767, 2048, PEAK_HOLD_DECAY, false), 17u * 2048);
  EXPECT_EQ(UpdatedHold(0, 32766, 2048, PEAK_HOLD_DECAY, false), 32766u);
  EXPECT_EQ(UpdatedHold(0, 127, 8, PEAK_HOLD_DECAY, false), 136u);
  EXPECT_EQ(UpdatedHold(0, 126, 8, PEAK_HOLD_DECAY, false), 126u);
  // The over hold decays like any other.
  EXPECT_EQ(UpdatedHold(136, 0, 8, PEAK_HOLD_DECAY, false), 134u);
}

}  // namespace
