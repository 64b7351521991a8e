// Wide PCM played as the narrower PCM a device takes: the records asked for
// and the samples' rounding.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "sound_files/wide_pcm.h"
#include "tests/unit/sound_files_test_bytes.h"

namespace {

// An extensible record of `bits` in 4-byte containers with a speaker mask.
Bytes Extensible(uint16_t channels, uint16_t bits, uint32_t mask, uint16_t sub_format = 1) {
  Bytes f = PcmFormat(channels, 48000, 32, 0xFFFE);
  PutU16(f, 22);
  PutU16(f, bits);
  PutU32(f, mask);
  PutU16(f, sub_format);
  const uint8_t tail[14] = {0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
  f.insert(f.end(), tail, tail + 14);
  return f;
}


TEST(WidePcm, DeviceRecordsFromTwentyFourBitsDown) {
  Bytes plain32 = PcmFormat(2, 44100, 32);
  plain32.resize(18, 0);
  const std::vector<Bytes> records = NarrowerPcmRecords(plain32.data(), plain32.size());
  ASSERT_EQ(records.size(), 4u);
  // 24 bits, extensible first (the form beyond 16 bits), then plain.
  EXPECT_EQ(records[0].size(), 40u);
  EXPECT_EQ(GetU32(records[0], 20), 0x3u);
  Bytes plain24 = PcmFormat(2, 44100, 24);
  PutU16(plain24, 0);
  EXPECT_EQ(records[1], plain24);
  // 16 bits: plain first for stereo.
  EXPECT_EQ(records[2].size(), 18u);
  EXPECT_EQ(PcmLayoutOf(records[2].data(), 18).bytes_per_sample, 2u);
  for (size_t k = 0; k < records.size(); ++k) {
    const PcmNarrowing n = PcmNarrowingOf(plain32.data(), plain32.size(), records[k].data(), records[k].size());
    EXPECT_EQ(n.to_bytes, k < 2 ? 3u : 2u);
  }

  // Six channels of 24 bits in 32-bit containers with their own mask: the
  // mask is kept, and 16 bits are asked for as extensible first too.
  const Bytes six = Extensible(6, 24, 0x60F);
  const std::vector<Bytes> six_records = NarrowerPcmRecords(six.data(), six.size());
  ASSERT_EQ(six_records.size(), 4u);
  EXPECT_EQ(six_records[0][0], 0xFE);
  EXPECT_EQ(GetU32(six_records[0], 20), 0x60Fu);
  EXPECT_EQ(GetU32(six_records[0], 4), 48000u);
  EXPECT_EQ(GetU32(six_records[0], 8), 48000u * 18);
  EXPECT_EQ(six_records[2].size(), 40u);
  // Float (tag 3 or extensible) narrows too.
  Bytes float32 = PcmFormat(1, 44100, 32, 3);
  EXPECT_EQ(NarrowerPcmRecords(float32.data(), float32.size()).size(), 4u);
  EXPECT_EQ(NarrowerPcmRecords(Extensible(2, 32, 3, 3).data(), 40).size(), 4u);

  // Nothing for PCM the mapper converts itself, or for compressed sound.
  for (const Bytes& other : {PcmFormat(2, 44100, 16), PcmFormat(1, 8000, 8), Extensible(2, 32, 3, 0x55),
                             CodecFormat(0x55, 2, 44100, 16000, 1, 0)}) {
    EXPECT_TRUE(NarrowerPcmRecords(other.data(), other.size()).empty());
  }
  // A device record of other channels, or float, is no narrowing of the file.
  const Bytes mono24 = PcmFormat(1, 44100, 24);
  const Bytes float_out = PcmFormat(2, 44100, 32, 3);
  EXPECT_FALSE(PcmNarrowingOf(plain32.data(), plain32.size(), mono24.data(), mono24.size()).valid());
  EXPECT_FALSE(PcmNarrowingOf(plain32.data(), plain32.size(), float_out.data(), float_out.size()).valid());
}

template <class T>
Bytes Samples(std::initializer_list<T> values, size_t width = sizeof(T)) {
  Bytes b;
  for (T v : values) {
    const uint8_t* p = reinterpret_cast<const uint8_t*>(&v);
    b.insert(b.end(), p + sizeof(T) - width, p + sizeof(T));
  }
  return b;
}

std::vector<int32_t> Narrow(const Bytes& file_record, unsigned to_bits, const Bytes& data) {
  const Bytes device = PcmFormat(file_record[2], 44100, static_cast<uint16_t>(to_bits));
  const PcmNarrowing n = PcmNarrowingOf(file_record.data(), file_record.size(), device.data(), device.size());
  Bytes out(NarrowedBytes(n, data.size()));
  out.resize(NarrowPcm(n, data.data(), data.size(), out.data()));
  std::vector<int32_t> values;
  const unsigned width = to_bits / 8;
  for (size_t at = 0; at + width <= out.size(); at += width) {
    uint32_t v = 0;
    for (unsigned b = 0; b < width; ++b) v |= uint32_t{out[at + b]} << (8 * b);
    values.push_back(static_cast<int32_t>(v << (32 - to_bits)) >> (32 - to_bits));
  }
  return values;
}

// Each sample is rounded to the nearest narrower value, halves upward, and
// clipped at full scale; a trailing part of a frame is left out.
TEST(WidePcm, SamplesRoundToNearestAndClip) {
  const Bytes s32 = PcmFormat(1, 44100, 32);
  const int32_t lowest = std::numeric_limits<int32_t>::min();
  EXPECT_EQ(Narrow(s32, 24, Samples<int32_t>({0x7FFFFFFF, lowest, 0x17F, 0x180, -0x180, -0x181, 0})),
            (std::vector<int32_t>{0x7FFFFF, -0x800000, 1, 2, -1, -2, 0}));
  EXPECT_EQ(Narrow(s32, 16, Samples<int32_t>({0x7FFF8000, 0x7FFF7FFF, lowest, 0x8000, -0x8001})),
            (std::vector<int32_t>{32767, 32767, -32768, 1, -1}));
  // 24-bit samples (three bytes each) to 16 bits.
  const Bytes s24 = PcmFormat(1, 44100, 24);
  EXPECT_EQ(Narrow(s24, 16, Samples<int32_t>({0x7FFF80 << 8, 0x123480 << 8, -0x80 * 256}, 3)),
            (std::vector<int32_t>{32767, 0x1235, 0}));

  const Bytes f32 = PcmFormat(1, 44100, 32, 3);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  EXPECT_EQ(Narrow(f32, 16, Samples<float>({1.0f, -1.0f, 0.5f, 2.0f, nan, -inf, -0.25f / 32768})),
            (std::vector<int32_t>{32767, -32768, 16384, 32767, 0, -32768, 0}));
  EXPECT_EQ(Narrow(f32, 24, Samples<float>({-0.5f, 1.5f / 8388608})), (std::vector<int32_t>{-0x400000, 2}));

  // Stereo: three whole frames of 32-bit samples and half of a fourth.
  const Bytes stereo = PcmFormat(2, 44100, 32);
  Bytes data = Samples<int32_t>({1 << 8, 2 << 8, 3 << 8, 4 << 8, 5 << 8, 6 << 8, 7 << 8});
  EXPECT_EQ(Narrow(stereo, 24, data), (std::vector<int32_t>{1, 2, 3, 4, 5, 6}));
}

}  // namespace
