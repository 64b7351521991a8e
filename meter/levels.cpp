#include "meter/levels.h"

#include <cstddef>
#include <cstring>
#include <limits>

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "16-bit samples are read in host byte order");

int SampleClassOf(unsigned channels, unsigned bits_per_sample) {
  int sample_class = channels == 2 ? CLASS_8BIT_STEREO : CLASS_8BIT_MONO;
  if (channels == 1 && bits_per_sample == 16) sample_class = CLASS_16BIT_MONO;
  if (channels == 2 && bits_per_sample == 16) sample_class = CLASS_16BIT_STEREO;
  return sample_class;
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
  Vector h0 = Vector{} + std::numeric_limits<Element>::min();
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
