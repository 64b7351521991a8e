// Peak scan of the four sample classes, stride limits, clip test and holds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdint>
#include <limits>
#include <vector>

#include "meter/levels.h"
#include "tests/le_bytes.h"

namespace {

std::vector<uint8_t> Words(std::initializer_list<int> samples) {
  std::vector<uint8_t> bytes;
  for (int s : samples) {
    PutU16(bytes, static_cast<uint16_t>(static_cast<int16_t>(s)));
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
    int s = static_cast<int16_t>(GetU16(d, 2 * i));
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
  EXPECT_EQ(SampleClassOf(2, 24), CLASS_16BIT_STEREO);  // scaled to 16-bit units
  EXPECT_EQ(SampleClassOf(1, 32), CLASS_16BIT_MONO);
  EXPECT_EQ(SampleClassOf(1, 4), CLASS_8BIT_MONO);         // IMA ADPCM: levels come from elsewhere
  EXPECT_EQ(SampleClassOf(6, 16), CLASS_16BIT_STEREO);     // the first two channels drive the bars
  EXPECT_EQ(LevelDelta(CLASS_8BIT_STEREO), 8u);
  EXPECT_EQ(LevelDelta(CLASS_16BIT_MONO), 2048u);
}

// ---- PCM of any width ----

// A format record: tag, channels, block align, bits; for tag 0xFFFE the
// sub-format tag goes into the GUID.
std::vector<uint8_t> Record(uint16_t tag, uint16_t channels, uint16_t block_align, uint16_t bits,
                            uint16_t sub_format = 0) {
  std::vector<uint8_t> r(tag == 0xFFFE ? 40 : 18, 0);
  SetU16(r, 0, tag);
  SetU16(r, 2, channels);
  SetU16(r, 12, block_align);
  SetU16(r, 14, bits);
  if (tag == 0xFFFE) {
    SetU16(r, 16, 22);
    SetU16(r, 24, sub_format);
    const uint8_t tail[14] = {0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    std::copy(tail, tail + 14, r.begin() + 26);
  }
  return r;
}

PcmLayout LayoutOf(const std::vector<uint8_t>& record) { return PcmLayoutOf(record.data(), record.size()); }

TEST(MeterWidePcm, LayoutsTheScanReadsItself) {
  PcmLayout pcm24 = LayoutOf(Record(1, 2, 6, 24));
  EXPECT_TRUE(pcm24.direct);
  EXPECT_EQ(pcm24.bytes_per_sample, 3u);
  EXPECT_FALSE(pcm24.is_float);
  EXPECT_EQ(ScanClassOf(pcm24), CLASS_16BIT_STEREO);
  PcmLayout float32 = LayoutOf(Record(3, 1, 4, 32));
  EXPECT_TRUE(float32.direct && float32.is_float);
  EXPECT_EQ(ScanClassOf(float32), CLASS_16BIT_MONO);
  EXPECT_TRUE(LayoutOf(Record(0xFFFE, 2, 4, 16, 1)).direct);
  EXPECT_TRUE(LayoutOf(Record(0xFFFE, 6, 24, 32, 3)).is_float);
  EXPECT_EQ(LayoutOf(Record(3, 2, 16, 64)).bytes_per_sample, 8u);
  EXPECT_EQ(LayoutOf(Record(1, 6, 12, 16)).channels, 6u);
  EXPECT_EQ(LayoutOf(Record(1, 2, 8, 20)).bytes_per_sample, 4u);  // 20 bits in 32-bit containers

  std::vector<uint8_t> wrong_guid = Record(0xFFFE, 2, 4, 16, 1);
  wrong_guid[39] ^= 1;
  std::vector<uint8_t> cut = Record(0xFFFE, 2, 4, 16, 1);
  cut.resize(39);
  for (const std::vector<uint8_t>& record :
       {Record(0x55, 2, 1, 0), Record(0x11, 2, 2048, 4), Record(0xFFFE, 2, 4, 16, 0x55), wrong_guid, cut,
        Record(3, 2, 4, 16), Record(3, 2, 12, 48), Record(1, 2, 5, 16), Record(1, 0, 4, 16),
        Record(1, 1, 8, 64)}) {
    EXPECT_FALSE(LayoutOf(record).direct) << "tag " << GetU16(record, 0) << " size " << record.size();
  }
  EXPECT_FALSE(PcmLayoutOf(nullptr, 40).direct);
  // A record of the common header only: the block size gives the container.
  std::vector<uint8_t> short_record = Record(1, 2, 6, 24);
  EXPECT_EQ(PcmLayoutOf(short_record.data(), 14).bytes_per_sample, 3u);
  EXPECT_FALSE(PcmLayoutOf(short_record.data(), 13).direct);
}

template <class T>
void Append(std::vector<uint8_t>& bytes, T value, size_t width = sizeof(T)) {
  const uint8_t* p = reinterpret_cast<const uint8_t*>(&value);
  bytes.insert(bytes.end(), p + sizeof(T) - width, p + sizeof(T));
}

// Wide samples are measured at their own width and scaled to 16-bit units;
// full scale clips as a 16-bit sample does; of many channels the first two count.
TEST(MeterWidePcm, ScaledToSixteenBitFullScale) {
  // 24-bit stereo (the top three bytes of an int32 256 times the sample):
  // frames (-8388608, 1234 * 256), (8388607, -2000 * 256).
  PcmLayout pcm24 = LayoutOf(Record(1, 2, 6, 24));
  std::vector<uint8_t> d24;
  for (int32_t s : {-8388608, 1234 * 256, 8388607, -2000 * 256}) Append(d24, static_cast<int32_t>(s * 256u), 3);
  ChannelPeaks p = ScanPcmPeaks(pcm24, d24.data(), static_cast<long>(d24.size()), 1);
  EXPECT_EQ(p.left, 32768u);
  EXPECT_EQ(p.right, 2000u);
  EXPECT_TRUE(BlockClips(ScanClassOf(pcm24), p));
  EXPECT_EQ(ScanPcmPeaks(pcm24, d24.data(), 12, 2).right, 1234u);  // stride 2: the first frame only

  PcmLayout pcm32 = LayoutOf(Record(1, 1, 4, 32));
  std::vector<uint8_t> d32;
  for (int32_t s : {16384 * 65536, -100 * 65536, INT32_MIN}) Append(d32, s);
  EXPECT_EQ(ScanPcmPeaks(pcm32, d32.data(), 8, 1).left, 16384u);
  EXPECT_FALSE(BlockClips(CLASS_16BIT_MONO, ScanPcmPeaks(pcm32, d32.data(), 8, 1)));
  EXPECT_EQ(ScanPcmPeaks(pcm32, d32.data(), 12, 1).left, 32768u);

  PcmLayout f32 = LayoutOf(Record(0xFFFE, 2, 8, 32, 3));
  std::vector<uint8_t> df;
  for (float s : {0.5f, -0.1f, -1.0f, std::numeric_limits<float>::quiet_NaN(), 7.0f, 0.0f}) Append(df, s);
  p = ScanPcmPeaks(f32, df.data(), 16, 1);
  EXPECT_EQ(p.left, 32768u);
  EXPECT_EQ(p.right, 3276u);  // 0.1 in float is a hair below it: truncated
  EXPECT_TRUE(BlockClips(CLASS_16BIT_STEREO, p));
  EXPECT_EQ(ScanPcmPeaks(f32, df.data(), 24, 1).left, 65536u);  // far beyond full scale: twice it
  EXPECT_FALSE(BlockClips(CLASS_16BIT_STEREO, ScanPcmPeaks(f32, df.data(), 8, 1)));
  // The same frames in 64-bit float.
  PcmLayout f64 = LayoutOf(Record(3, 2, 16, 64));
  std::vector<uint8_t> dd;
  for (float s : {0.5f, -0.1f, -1.0f, std::numeric_limits<float>::quiet_NaN(), 7.0f, 0.0f}) Append(dd, double{s});
  p = ScanPcmPeaks(f64, dd.data(), 32, 1);
  EXPECT_EQ(p.left, 32768u);
  EXPECT_EQ(p.right, 3276u);
  EXPECT_EQ(ScanPcmPeaks(f64, dd.data(), 48, 1).left, 65536u);

  // Six 16-bit channels: loud third to sixth channels are not read; a
  // trailing partial frame neither.
  PcmLayout six = LayoutOf(Record(1, 6, 12, 16));
  std::vector<uint8_t> d6 = Words({100, -200, 30000, 30000, 30000, 30000, 300, 5, -32768, 0, 0, 0, 7777});
  p = ScanPcmPeaks(six, d6.data(), static_cast<long>(d6.size()), 1);
  EXPECT_EQ(p.left, 300u);
  EXPECT_EQ(p.right, 200u);
  // Three 8-bit channels stay in 8-bit units.
  PcmLayout three = LayoutOf(Record(1, 3, 3, 8));
  std::vector<uint8_t> d3 = {0, 130, 255, 128, 120, 128};
  p = ScanPcmPeaks(three, d3.data(), 6, 1);
  EXPECT_EQ(p.left, 128u);
  EXPECT_EQ(p.right, 8u);
  EXPECT_EQ(ScanClassOf(three), CLASS_8BIT_STEREO);

  // Mono 16-bit goes the way of its class; nothing is read of a layout the
  // scan does not own.
  std::vector<uint8_t> mono = Words({5, -32768});
  EXPECT_EQ(ScanPcmPeaks(LayoutOf(Record(1, 1, 2, 16)), mono.data(), 4, 1).left, 32768u);
  EXPECT_EQ(ScanPcmPeaks(LayoutOf(Record(0x55, 2, 1, 0)), mono.data(), 4, 1).left, 0u);
}

// The wide scans (vector path for four-byte samples and its tail included)
// agree with a plain per-frame reading on random blocks.
TEST(MeterWidePcm, AgreesWithPlainScanOnRandomBlocks) {
  struct Case {
    unsigned channels, bytes;
    bool is_float;
  };
  uint32_t seed = 7;
  auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 16; };
  for (const Case c : {Case{2, 3, false}, Case{1, 4, false}, Case{2, 4, false}, Case{2, 4, true}, Case{1, 4, true},
                       Case{3, 2, false}}) {
    PcmLayout layout;
    layout.direct = true;
    layout.channels = c.channels;
    layout.bytes_per_sample = c.bytes;
    layout.is_float = c.is_float;
    for (int round = 0; round < 60; ++round) {
      std::vector<uint8_t> data(next() % 3000);
      for (auto& b : data) b = static_cast<uint8_t>(next());
      for (uint32_t stride : {1u, 2u, 5u}) {
        uint32_t want[2] = {0, 0};
        const size_t frame = c.channels * c.bytes;
        for (size_t f = 0; f < data.size() / frame; f += stride) {
          for (unsigned ch = 0; ch < (c.channels > 1 ? 2u : 1u); ++ch) {
            const uint8_t* p = data.data() + f * frame + ch * c.bytes;
            uint32_t level;
            if (c.is_float) {
              float v;
              memcpy(&v, p, 4);
              double m = std::fabs(static_cast<double>(v));
              level = m > 0 ? static_cast<uint32_t>(static_cast<float>(std::min(m, 2.0)) * 32768.0f) : 0;
            } else {
              int64_t v = 0;
              for (unsigned k = 0; k < c.bytes; ++k) v |= static_cast<int64_t>(p[k]) << (8 * k);
              if (v >> (8 * c.bytes - 1)) v -= int64_t{1} << (8 * c.bytes);  // sign
              level = static_cast<uint32_t>((v < 0 ? -v : v) >> (8 * (c.bytes - 2)));
            }
            want[ch] = std::max(want[ch], level);
          }
        }
        ChannelPeaks got = ScanPcmPeaks(layout, data.data(), static_cast<long>(data.size()), stride);
        ASSERT_EQ(got.left, want[0]) << c.channels << "x" << c.bytes << (c.is_float ? " float" : "") << " size "
                                     << data.size() << " stride " << stride;
        ASSERT_EQ(got.right, c.channels > 1 ? want[1] : 0u) << c.channels << "x" << c.bytes << " size "
                                                            << data.size() << " stride " << stride;
      }
    }
  }
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
