#include "meter/levels.h"

#include <cstddef>
#include <cstring>

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

// The scan is the program's inner loop. At stride 1 it keeps the running
// maximum and minimum of each lane of a fixed-size group of samples; the
// compiler turns the fixed inner loops into vector max/min instructions. For
// interleaved stereo the even lanes are the left channel and the odd lanes the
// right one. The level is then the larger distance of maximum and minimum from
// the zero point.

constexpr size_t kByteLanes = 32;  // a multiple of 2, so lanes keep their channel
constexpr size_t kWordLanes = 16;

struct ByteExtremes {
  uint8_t high[kByteLanes];
  uint8_t low[kByteLanes];
};

// Extremes of bytes [0, count) of data, count a multiple of kByteLanes.
void ByteExtremesOf(const uint8_t* data, size_t count, ByteExtremes& out) {
  uint8_t high[kByteLanes];
  uint8_t low[kByteLanes];
  for (size_t k = 0; k < kByteLanes; ++k) {
    high[k] = 0;
    low[k] = 255;
  }
  for (size_t i = 0; i < count; i += kByteLanes) {
    for (size_t k = 0; k < kByteLanes; ++k) {
      uint8_t b = data[i + k];
      high[k] = b > high[k] ? b : high[k];
      low[k] = b < low[k] ? b : low[k];
    }
  }
  memcpy(out.high, high, sizeof high);
  memcpy(out.low, low, sizeof low);
}

struct WordExtremes {
  int16_t high[kWordLanes];
  int16_t low[kWordLanes];
};

// Extremes of the 16-bit samples [0, count) of data, count a multiple of kWordLanes.
void WordExtremesOf(const uint8_t* data, size_t count, WordExtremes& out) {
  int16_t high[kWordLanes];
  int16_t low[kWordLanes];
  for (size_t k = 0; k < kWordLanes; ++k) {
    high[k] = INT16_MIN;
    low[k] = INT16_MAX;
  }
  for (size_t i = 0; i < count; i += kWordLanes) {
    int16_t group[kWordLanes];
    memcpy(group, data + 2 * i, sizeof group);
    for (size_t k = 0; k < kWordLanes; ++k) {
      high[k] = group[k] > high[k] ? group[k] : high[k];
      low[k] = group[k] < low[k] ? group[k] : low[k];
    }
  }
  memcpy(out.high, high, sizeof high);
  memcpy(out.low, low, sizeof low);
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

// Class 0 and 2 at stride 1: every byte, lanes split by channel for stereo.
ChannelPeaks ScanBytesEveryFrame(const uint8_t* data, size_t count, bool stereo) {
  ChannelPeaks peaks;
  size_t grouped = count - count % kByteLanes;
  if (grouped > 0) {
    ByteExtremes extremes;
    ByteExtremesOf(data, grouped, extremes);
    for (size_t k = 0; k < kByteLanes; ++k) {
      uint32_t& peak = stereo && (k & 1) ? peaks.right : peaks.left;
      Raise(peak, ByteLevel(extremes.high[k]));
      Raise(peak, ByteLevel(extremes.low[k]));
    }
  }
  for (size_t i = grouped; i < count; ++i) {
    uint32_t& peak = stereo && (i & 1) ? peaks.right : peaks.left;
    Raise(peak, ByteLevel(data[i]));
  }
  return peaks;
}

// Class 1 and 3 at stride 1: every 16-bit sample.
ChannelPeaks ScanWordsEveryFrame(const uint8_t* data, size_t count, bool stereo) {
  ChannelPeaks peaks;
  size_t grouped = count - count % kWordLanes;
  if (grouped > 0) {
    WordExtremes extremes;
    WordExtremesOf(data, grouped, extremes);
    for (size_t k = 0; k < kWordLanes; ++k) {
      uint32_t& peak = stereo && (k & 1) ? peaks.right : peaks.left;
      Raise(peak, WordLevel(extremes.high[k]));
      Raise(peak, WordLevel(extremes.low[k]));
    }
  }
  for (size_t i = grouped; i < count; ++i) {
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
