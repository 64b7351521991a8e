// Wide PCM played as the narrower PCM a device takes: the records asked for
// and the samples' rounding.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "sound_files/wide_pcm.h"
#include "tests/unit/sound_files_test_bytes.h"

namespace {

// An extensible record of `bits` in containers of `container` bits with a
// speaker mask, and `more` bytes of extension past the 22.
Bytes Extensible(uint16_t channels, uint16_t bits, uint32_t mask, uint16_t sub_format = 1, uint16_t container = 32,
                 uint16_t more = 0) {
  Bytes f = PcmFormat(channels, 48000, container, 0xFFFE);
  PutU16(f, static_cast<uint16_t>(22 + more));
  PutU16(f, bits);
  PutU32(f, mask);
  PutU16(f, sub_format);
  const uint8_t tail[14] = {0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
  f.insert(f.end(), tail, tail + 14);
  f.resize(f.size() + more, 0x5A);
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

  // 64-bit float, plain and extensible, narrows as well.
  EXPECT_EQ(NarrowerPcmRecords(PcmFormat(3, 44100, 64, 3).data(), 16).size(), 4u);
  const Bytes f64 = Extensible(2, 64, 3, 3, 64);
  const std::vector<Bytes> f64_records = NarrowerPcmRecords(f64.data(), f64.size());
  ASSERT_EQ(f64_records.size(), 4u);
  EXPECT_EQ(PcmNarrowingOf(f64.data(), f64.size(), f64_records[0].data(), f64_records[0].size()).to_bytes, 3u);

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

  // Float of 32 and 64 bits; NaN is silence, never a full-scale click.
  const Bytes f32 = PcmFormat(1, 44100, 32, 3);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  EXPECT_EQ(Narrow(f32, 16, Samples<float>({1.0f, -1.0f, 0.5f, 2.0f, nan, -inf, -0.25f / 32768})),
            (std::vector<int32_t>{32767, -32768, 16384, 32767, 0, -32768, 0}));
  EXPECT_EQ(Narrow(f32, 24, Samples<float>({-0.5f, 1.5f / 8388608, nan})), (std::vector<int32_t>{-0x400000, 2, 0}));
  const Bytes f64 = PcmFormat(1, 44100, 64, 3);
  EXPECT_EQ(Narrow(f64, 16, Samples<double>({1.0, -1.0, 0.5, 1e300, double{nan}, -double{inf}, -0.25 / 32768})),
            (std::vector<int32_t>{32767, -32768, 16384, 32767, 0, -32768, 0}));
  EXPECT_EQ(Narrow(f64, 24, Samples<double>({-0.5, 1.5 / 8388608, 0.49 / 8388608, double{nan}})),
            (std::vector<int32_t>{-0x400000, 2, 0, 0}));

  // Stereo: three whole frames of 32-bit samples and half of a fourth.
  const Bytes stereo = PcmFormat(2, 44100, 32);
  Bytes data = Samples<int32_t>({1 << 8, 2 << 8, 3 << 8, 4 << 8, 5 << 8, 6 << 8, 7 << 8});
  EXPECT_EQ(Narrow(stereo, 24, data), (std::vector<int32_t>{1, 2, 3, 4, 5, 6}));
}

// The device is handed an extensible record as drivers take it: an
// extension of exactly 22 bytes and a speaker mask naming as many speakers
// as there are channels; the file's own record is not changed.
TEST(WidePcm, DeviceRecordOfAnExtensibleRecord) {
  struct Case {
    uint16_t channels;
    uint32_t mask, device_mask;
    uint16_t more;
  } cases[] = {
      {2, 0x3, 0x3, 0},      {2, 0x3, 0x3, 10},  // a longer extension
      {2, 0x33, 0x3, 0},                         // more speakers: the first two
      {6, 0x3, 0x3F, 0},                         // fewer: the common layout
      {6, 0x60F, 0x60F, 24},  {10, 0x3, 0, 0},   // none beyond eight channels
  };
  for (const Case& c : cases) {
    const Bytes file = Extensible(c.channels, 16, c.mask, 1, 16, c.more);
    const Bytes before = file;
    const Bytes device = DeviceRecordOf(file.data(), file.size());
    ASSERT_EQ(device.size(), 40u) << c.mask;
    EXPECT_EQ(GetU16(device, 16), 22u) << c.mask;
    EXPECT_EQ(GetU32(device, 20), c.device_mask) << c.mask;
    EXPECT_TRUE(std::equal(device.begin(), device.begin() + 16, file.begin()));
    EXPECT_TRUE(std::equal(device.begin() + 24, device.end(), file.begin() + 24)) << "the sub-format";
    EXPECT_EQ(file, before);
  }
  // The narrower records of a wide file take the device's mask too.
  const Bytes wide = Extensible(2, 24, 0x33, 1, 32, 8);
  EXPECT_EQ(GetU32(NarrowerPcmRecords(wide.data(), wide.size())[0], 20), 0x3u);
  // Any other record goes as it is: plain PCM, an extensible one cut short
  // or of no wave tag's sub-format.
  Bytes unknown = Extensible(2, 16, 0x3, 1, 16);
  unknown[30] ^= 1;
  Bytes cut = Extensible(2, 16, 0x3, 1, 16);
  cut.resize(39);
  for (const Bytes& other : {PcmFormat(2, 44100, 16), cut, unknown}) {
    EXPECT_EQ(DeviceRecordOf(other.data(), other.size()), other);
  }
}

}  // namespace
