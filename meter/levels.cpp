#include "meter/levels.h"

#include "base/format_record.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <limits>

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "16-bit samples are read in host byte order");

int SampleClassOf(unsigned channels, unsigned bits_per_sample) {
  const bool stereo = channels >= 2;
  if (bits_per_sample > 8 && bits_per_sample <= 32) return stereo ? CLASS_16BIT_STEREO : CLASS_16BIT_MONO;
  return stereo ? CLASS_8BIT_STEREO : CLASS_8BIT_MONO;
}

uint32_t LimitStride(uint32_t stride, uint32_t unit_size, int sample_class, bool levelwarning) {
  if (stride > MAX_METER_STRIDE) stride = MAX_METER_STRIDE;
  static const int kShift[4] = {5, 6, 6, 7};
  uint32_t limit = unit_size >> kShift[sample_class & 3];
  if (limit < stride) stride = limit;
  if (stride == 0) stride = 1;
  if (levelwarning) stride = 1;
  return stride;
}

namespace {

// The scan is the program's inner loop. At stride 1 it keeps running maxima
// and minima in vector registers (the compiler's generic vectors: SIMD
// instructions where the target has them, plain code elsewhere), 64 bytes per
// step in four independent accumulators. Interleaved stereo keeps its channels
// apart for free: every vector starts on a frame boundary, so its even lanes
// are the left channel and its odd lanes the right one. The level is then the
// larger distance of maximum and minimum from the zero point.

typedef uint8_t ByteVector __attribute__((vector_size(16)));
typedef int16_t WordVector __attribute__((vector_size(16)));
typedef int32_t LongVector __attribute__((vector_size(16)));
typedef float FloatVector __attribute__((vector_size(16)));
constexpr size_t kVectorBytes = 16;
constexpr size_t kStepBytes = 4 * kVectorBytes;

// Lane-wise extremes of the first `bytes` bytes of data (a multiple of
// kStepBytes, above 0), read as vectors of the given element type. The maxima
// start at the element's lowest value and the minima at its highest, so every
// step is loaded once (and no step at all would leave them reading as full
// scale). No vector crosses a function boundary, so targets without
// vector registers keep their calling convention.
template <class Vector, class Element>
void LaneExtremes(const uint8_t* data, size_t bytes, Element (&high)[kVectorBytes / sizeof(Element)],
                  Element (&low)[kVectorBytes / sizeof(Element)]) {
  Vector h0 = Vector{} + std::numeric_limits<Element>::lowest();
  Vector l0 = Vector{} + std::numeric_limits<Element>::max();
  Vector h1 = h0, h2 = h0, h3 = h0;
  Vector l1 = l0, l2 = l0, l3 = l0;
  for (size_t i = 0; i < bytes; i += kStepBytes) {
    Vector v0, v1, v2, v3;
    memcpy(&v0, data + i, kVectorBytes);
    memcpy(&v1, data + i + 16, kVectorBytes);
    memcpy(&v2, data + i + 32, kVectorBytes);
    memcpy(&v3, data + i + 48, kVectorBytes);
    h0 = v0 > h0 ? v0 : h0;
    h1 = v1 > h1 ? v1 : h1;
    h2 = v2 > h2 ? v2 : h2;
    h3 = v3 > h3 ? v3 : h3;
    l0 = v0 < l0 ? v0 : l0;
    l1 = v1 < l1 ? v1 : l1;
    l2 = v2 < l2 ? v2 : l2;
    l3 = v3 < l3 ? v3 : l3;
  }
  h0 = h1 > h0 ? h1 : h0;
  h2 = h3 > h2 ? h3 : h2;
  h0 = h2 > h0 ? h2 : h0;
  l0 = l1 < l0 ? l1 : l0;
  l2 = l3 < l2 ? l3 : l2;
  l0 = l2 < l0 ? l2 : l0;
  memcpy(high, &h0, kVectorBytes);
  memcpy(low, &l0, kVectorBytes);
}

inline uint32_t ByteLevel(uint8_t b) { return b >= 128 ? b - 128u : 128u - b; }

inline int16_t WordAt(const uint8_t* data, size_t index) {
  int16_t s;
  memcpy(&s, data + 2 * index, sizeof s);
  return s;
}

inline uint32_t WordLevel(int16_t s) { return s < 0 ? 0u - static_cast<uint32_t>(static_cast<int32_t>(s)) : static_cast<uint32_t>(s); }

inline void Raise(uint32_t& peak, uint32_t level) {
  if (level > peak) peak = level;
}

// Class 0 and 2 at stride 1: every byte.
ChannelPeaks ScanBytesEveryFrame(const uint8_t* data, size_t count, bool stereo) {
  ChannelPeaks peaks;
  size_t grouped = count - count % kStepBytes;
  if (grouped > 0) {
    uint8_t high[kVectorBytes], low[kVectorBytes];
    LaneExtremes<ByteVector>(data, grouped, high, low);
    for (size_t k = 0; k < kVectorBytes; ++k) {
      uint32_t& peak = stereo && (k & 1) ? peaks.right : peaks.left;
      Raise(peak, ByteLevel(high[k]));
      Raise(peak, ByteLevel(low[k]));
    }
  }
  for (size_t i = grouped; i < count; ++i) {
    uint32_t& peak = stereo && (i & 1) ? peaks.right : peaks.left;
    Raise(peak, ByteLevel(data[i]));
  }
  return peaks;
}

// Class 1 and 3 at stride 1: every 16-bit sample of the first `count`.
ChannelPeaks ScanWordsEveryFrame(const uint8_t* data, size_t count, bool stereo) {
  ChannelPeaks peaks;
  size_t bytes = 2 * count;
  size_t grouped = bytes - bytes % kStepBytes;
  if (grouped > 0) {
    int16_t high[kVectorBytes / 2], low[kVectorBytes / 2];
    LaneExtremes<WordVector>(data, grouped, high, low);
    for (size_t k = 0; k < kVectorBytes / 2; ++k) {
      uint32_t& peak = stereo && (k & 1) ? peaks.right : peaks.left;
      Raise(peak, WordLevel(high[k]));
      Raise(peak, WordLevel(low[k]));
    }
  }
  for (size_t i = grouped / 2; i < count; ++i) {
    uint32_t& peak = stereo && (i & 1) ? peaks.right : peaks.left;
    Raise(peak, WordLevel(WordAt(data, i)));
  }
  return peaks;
}

}  // namespace

ChannelPeaks ScanPeaks(int sample_class, const uint8_t* data, long bytes, uint32_t stride) {
  ChannelPeaks peaks;
  if (data == nullptr || bytes <= 0 || stride == 0) return peaks;
  size_t count = static_cast<size_t>(bytes);
  size_t step = stride;
  if (step > count) step = count;  // one frame at most; keeps the index sums in range
  switch (sample_class & 3) {
    case CLASS_8BIT_MONO:
      if (step == 1) return ScanBytesEveryFrame(data, count, false);
      for (size_t p = 0; p < count; p += step) Raise(peaks.left, ByteLevel(data[p]));
      break;
    case CLASS_16BIT_MONO: {
      size_t samples = count / 2;
      if (step == 1) return ScanWordsEveryFrame(data, samples, false);
      for (size_t i = 0; i < samples; i += step) Raise(peaks.left, WordLevel(WordAt(data, i)));
      break;
    }
    case CLASS_8BIT_STEREO: {
      size_t frames_bytes = count - count % 2;
      if (step == 1) return ScanBytesEveryFrame(data, frames_bytes, true);
      for (size_t p = 0; p < frames_bytes; p += 2 * step) {
        Raise(peaks.left, ByteLevel(data[p]));
        Raise(peaks.right, ByteLevel(data[p + 1]));
      }
      break;
    }
    case CLASS_16BIT_STEREO: {
      size_t samples = count / 4 * 2;
      if (step == 1) return ScanWordsEveryFrame(data, samples, true);
      for (size_t i = 0; i < samples; i += 2 * step) {
        Raise(peaks.left, WordLevel(WordAt(data, i)));
        Raise(peaks.right, WordLevel(WordAt(data, i + 1)));
      }
      break;
    }
  }
  return peaks;
}

bool BlockClips(int sample_class, ChannelPeaks peaks) {
  uint32_t top = IsSixteenBitClass(sample_class) ? 32767 : 127;
  return peaks.left >= top || peaks.right >= top;
}

uint32_t UpdatedHold(uint32_t hold, uint32_t level, uint32_t delta, int peak_hold, bool db_scale) {
  if (peak_hold == PEAK_HOLD_DECAY) {
    if (!db_scale) {
      hold = delta / 4 >= hold ? 0 : hold - delta / 4;
    } else {
      hold = static_cast<uint32_t>(hold * 0.97 + 0.25);
    }
  }
  if (level > hold) hold = level;
  if (delta > 0 && level > 16 * delta - 2) hold = 17 * delta;
  return hold;
}

// ---- PCM of any width ----

namespace {

uint16_t U16At(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

constexpr size_t kShortestRecord = 14;        // the common header only
constexpr size_t kRecordWithBits = 16;        // up to wBitsPerSample

// Running extremes of the first two channels, in the sample's own type.
template <class Sample>
struct Extremes {
  Sample high[2];
  Sample low[2];
};

// Folds the lane-wise extremes of the first `bytes` bytes (see LaneExtremes)
// of 4-byte samples into e: in stereo the lanes alternate left and right.
template <class Vector, class Sample>
void AddLaneExtremes(const uint8_t* data, size_t bytes, bool stereo, Extremes<Sample>& e) {
  Sample high[4], low[4];
  LaneExtremes<Vector>(data, bytes, high, low);
  for (int k = 0; k < 4; ++k) {
    const int c = stereo ? (k & 1) : 0;
    e.high[c] = high[k] > e.high[c] ? high[k] : e.high[c];
    e.low[c] = low[k] < e.low[c] ? low[k] : e.low[c];
  }
}

inline int32_t Int24At(const uint8_t* p) {
  // Sign-extend through the top byte of a 32-bit value.
  return static_cast<int32_t>(static_cast<uint32_t>(p[0]) << 8 | static_cast<uint32_t>(p[1]) << 16 |
                              static_cast<uint32_t>(p[2]) << 24) >> 8;
}
inline int32_t Int32At(const uint8_t* p) {
  int32_t v;
  memcpy(&v, p, sizeof v);
  return v;
}
inline float FloatAt(const uint8_t* p) {
  float v;
  memcpy(&v, p, sizeof v);
  return v;
}
inline double DoubleAt(const uint8_t* p) {
  double v;
  memcpy(&v, p, sizeof v);
  return v;
}
inline int32_t Int16At(const uint8_t* p) {
  int16_t v;
  memcpy(&v, p, sizeof v);
  return v;
}
inline int32_t Int8At(const uint8_t* p) { return static_cast<int32_t>(p[0]) - 128; }

// One pass over the frames, keeping the largest and smallest sample of each
// of the first two channels; the levels are taken from them at the end, so
// the loop does no arithmetic beyond the comparisons.
template <class Sample, Sample (*Read)(const uint8_t*)>
Extremes<Sample> FrameExtremes(const uint8_t* data, size_t frames, size_t frame_bytes, size_t second, size_t step,
                               Sample start_high, Sample start_low) {
  Extremes<Sample> e = {{start_high, start_high}, {start_low, start_low}};
  for (size_t f = 0; f < frames; f += step) {
    const uint8_t* p = data + f * frame_bytes;
    const Sample a = Read(p);
    const Sample b = Read(p + second);
    e.high[0] = a > e.high[0] ? a : e.high[0];
    e.low[0] = a < e.low[0] ? a : e.low[0];
    e.high[1] = b > e.high[1] ? b : e.high[1];
    e.low[1] = b < e.low[1] ? b : e.low[1];
  }
  return e;
}

// The larger distance from zero of an integer channel's extremes, shifted
// down to the scan class's units.
uint32_t IntegerLevel(int32_t high, int32_t low, unsigned shift) {
  const uint32_t up = high > 0 ? static_cast<uint32_t>(high) : 0u;
  const uint32_t down = low < 0 ? 0u - static_cast<uint32_t>(low) : 0u;
  return (up > down ? up : down) >> shift;
}

uint32_t FloatLevel(float high, float low) {
  float magnitude = high > -low ? high : -low;
  if (!(magnitude > 0.0f)) return 0;  // also NaN: no level
  if (magnitude > 2.0f) magnitude = 2.0f;
  return static_cast<uint32_t>(magnitude * 32768.0f);
}

}  // namespace

PcmLayout PcmLayoutOf(const uint8_t* record, size_t size) {
  PcmLayout layout;
  if (record == nullptr || size < kShortestRecord) return layout;
  const uint16_t tag = EffectiveWaveTag(record, size);
  const unsigned channels = U16At(record + 2);
  const unsigned block_align = U16At(record + 12);
  // A record that ends before the bits per sample: the block size alone
  // tells the container.
  const unsigned bits = size >= kRecordWithBits ? U16At(record + 14) : 0;
  if (channels == 0 || block_align % channels != 0) return layout;
  const unsigned container = block_align / channels;
  if (bits > 8 * container) return layout;
  if (tag == WAVE_TAG_PCM && container >= 1 && container <= 4) {
    layout.direct = true;
  } else if (tag == WAVE_TAG_IEEE_FLOAT && (container == 4 || container == 8)) {
    layout.direct = true;
    layout.is_float = true;
  }
  if (layout.direct) {
    layout.channels = channels;
    layout.bytes_per_sample = container;
  }
  return layout;
}

int ScanClassOf(const PcmLayout& layout) {
  return SampleClassOf(layout.channels, layout.bytes_per_sample * 8);
}

ChannelPeaks ScanPcmPeaks(const PcmLayout& layout, const uint8_t* data, long bytes, uint32_t stride) {
  ChannelPeaks peaks;
  if (!layout.direct || data == nullptr || bytes <= 0 || stride == 0) return peaks;
  const size_t width = layout.bytes_per_sample;
  // Mono and stereo of 8 and 16 bits: the vector scan of the four classes.
  if (!layout.is_float && width <= 2 && layout.channels <= 2) return ScanPeaks(ScanClassOf(layout), data, bytes, stride);

  const size_t frame_bytes = width * layout.channels;
  const size_t frames = static_cast<size_t>(bytes) / frame_bytes;
  if (frames == 0) return peaks;
  const size_t step = stride < frames ? stride : frames;
  const bool stereo = layout.channels >= 2;
  // Mono reads its one channel twice: the second extremes are not used.
  const size_t second = stereo ? width : 0;
  // Four-byte samples of one or two channels at stride 1: the vector scan,
  // whose even lanes are the left channel and odd lanes the right one.
  if (width == 4 && layout.channels <= 2 && step == 1) {
    const size_t count = frames * frame_bytes;
    const size_t grouped = count - count % kStepBytes;
    if (layout.is_float) {
      Extremes<float> e = FrameExtremes<float, FloatAt>(data + grouped, (count - grouped) / frame_bytes, frame_bytes,
                                                        second, 1, 0.0f, 0.0f);
      if (grouped > 0) AddLaneExtremes<FloatVector>(data, grouped, stereo, e);
      peaks.left = FloatLevel(e.high[0], e.low[0]);
      if (stereo) peaks.right = FloatLevel(e.high[1], e.low[1]);
      return peaks;
    }
    Extremes<int32_t> e = FrameExtremes<int32_t, Int32At>(data + grouped, (count - grouped) / frame_bytes,
                                                          frame_bytes, second, 1, 0, 0);
    if (grouped > 0) AddLaneExtremes<LongVector>(data, grouped, stereo, e);
    peaks.left = IntegerLevel(e.high[0], e.low[0], 16);
    if (stereo) peaks.right = IntegerLevel(e.high[1], e.low[1], 16);
    return peaks;
  }
  if (layout.is_float && width == 8) {
    const Extremes<double> e = FrameExtremes<double, DoubleAt>(data, frames, frame_bytes, second, step, 0.0, 0.0);
    // Beyond twice full scale (and past what a float holds) the level is 2.0's.
    auto level = [](double high, double low) {
      return FloatLevel(static_cast<float>(std::min(high, 2.0)), static_cast<float>(std::max(low, -2.0)));
    };
    peaks.left = level(e.high[0], e.low[0]);
    if (stereo) peaks.right = level(e.high[1], e.low[1]);
    return peaks;
  }
  if (layout.is_float) {
    Extremes<float> e = FrameExtremes<float, FloatAt>(data, frames, frame_bytes, second, step, 0.0f, 0.0f);
    peaks.left = FloatLevel(e.high[0], e.low[0]);
    if (stereo) peaks.right = FloatLevel(e.high[1], e.low[1]);
    return peaks;
  }
  Extremes<int32_t> e;
  unsigned shift = 0;
  switch (width) {
    case 1:
      e = FrameExtremes<int32_t, Int8At>(data, frames, frame_bytes, second, step, 0, 0);
      break;
    case 2:
      e = FrameExtremes<int32_t, Int16At>(data, frames, frame_bytes, second, step, 0, 0);
      break;
    case 3:
      e = FrameExtremes<int32_t, Int24At>(data, frames, frame_bytes, second, step, 0, 0);
      shift = 8;
      break;
    default:
      e = FrameExtremes<int32_t, Int32At>(data, frames, frame_bytes, second, step, 0, 0);
      shift = 16;
      break;
  }
  peaks.left = IntegerLevel(e.high[0], e.low[0], shift);
  if (stereo) peaks.right = IntegerLevel(e.high[1], e.low[1], shift);
  return peaks;
}
