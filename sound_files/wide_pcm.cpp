#include "sound_files/wide_pcm.h"

#include <cmath>
#include <cstring>

#include "base/format_record.h"

namespace {


// The speaker mask of the common layout of 1 to 8 channels (mono, stereo,
// L C R, quadraphonic, 5.0, 5.1, 6.1, 7.1); 0 (no positions) beyond.
uint32_t StandardMask(unsigned channels) {
  constexpr uint32_t kMasks[8] = {0x4, 0x3, 0x7, 0x33, 0x37, 0x3F, 0x70F, 0x63F};
  return channels >= 1 && channels <= 8 ? kMasks[channels - 1] : 0;
}

uint32_t U32At(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}
void Put16(std::vector<uint8_t>& b, uint16_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& b, uint32_t v) {
  Put16(b, static_cast<uint16_t>(v));
  Put16(b, static_cast<uint16_t>(v >> 16));
}

bool IsWide(const PcmLayout& layout) { return layout.direct && (layout.is_float || layout.bytes_per_sample >= 3); }

std::vector<uint8_t> PcmRecord(bool extensible, unsigned channels, uint32_t rate, unsigned bytes, uint32_t mask) {
  const uint16_t align = static_cast<uint16_t>(channels * bytes);
  std::vector<uint8_t> r;
  Put16(r, extensible ? WAVE_TAG_EXTENSIBLE : WAVE_TAG_PCM);
  Put16(r, static_cast<uint16_t>(channels));
  Put32(r, rate);
  Put32(r, rate * align);
  Put16(r, align);
  Put16(r, static_cast<uint16_t>(8 * bytes));
  Put16(r, extensible ? EXTENSIBLE_EXTENSION_BYTES : 0);
  if (extensible) {
    Put16(r, static_cast<uint16_t>(8 * bytes));  // valid bits
    Put32(r, mask);
    Put16(r, WAVE_TAG_PCM);  // the sub-format: PCM's GUID
    r.insert(r.end(), EXTENSIBLE_SUBFORMAT_TAIL, EXTENSIBLE_SUBFORMAT_TAIL + sizeof EXTENSIBLE_SUBFORMAT_TAIL);
  }
  return r;
}

// An integer sample of 3 or 4 bytes as the top bits of a 32-bit value.
int64_t LeftAligned(const uint8_t* p, unsigned width) {
  const uint32_t v = width == 3 ? static_cast<uint32_t>(p[0]) << 8 | static_cast<uint32_t>(p[1]) << 16 |
                                      static_cast<uint32_t>(p[2]) << 24
                                : U32At(p);
  return static_cast<int32_t>(v);
}

// A float sample of 4 or 8 bytes.
double FloatSample(const uint8_t* p, unsigned width) {
  if (width == 8) {
    double d;
    memcpy(&d, p, sizeof d);
    return d;
  }
  float f;
  memcpy(&f, p, sizeof f);
  return f;
}

// One sample rounded to `to_bytes` bytes: to the nearest value, halves
// upward, clipped at full scale (NaN is silence).
int32_t Narrowed(const uint8_t* p, const PcmLayout& from, unsigned to_bytes) {
  const int shift = 32 - 8 * static_cast<int>(to_bytes);
  const int64_t top = (int64_t{1} << (8 * to_bytes - 1)) - 1;
  if (from.is_float) {
    const double v = FloatSample(p, from.bytes_per_sample);
    if (std::isnan(v)) return 0;
    const double scaled = std::floor(v * static_cast<double>(top + 1) + 0.5);
    // Only a value inside the range reaches the conversion (one outside it
    // has no integer value): what is not below the top clips.
    if (!(scaled <= static_cast<double>(top))) return static_cast<int32_t>(top);
    if (!(scaled >= static_cast<double>(-top - 1))) return static_cast<int32_t>(-top - 1);
    return static_cast<int32_t>(scaled);
  }
  // Floor division by a power of two; the rounding can only overshoot the top.
  const int64_t rounded = (LeftAligned(p, from.bytes_per_sample) + (int64_t{1} << (shift - 1))) >> shift;
  return static_cast<int32_t>(rounded > top ? top : rounded);
}

// The speaker mask a device is handed for `channels`: the file's when it
// names as many speakers; when it names more, the first `channels` of them
// (the ones its channels play on); when fewer, the common layout's.
uint32_t DeviceMask(uint32_t mask, unsigned channels) {
  unsigned named = 0;
  uint32_t kept = 0;
  for (uint32_t bit = 1; bit != 0 && named < channels; bit <<= 1) {
    if (mask & bit) {
      kept |= bit;
      ++named;
    }
  }
  return named == channels ? kept : StandardMask(channels);
}

}  // namespace

bool IsWidePcm(const uint8_t* record, size_t size) { return IsWide(PcmLayoutOf(record, size)); }

std::vector<uint8_t> DeviceRecordOf(const uint8_t* record, size_t size) {
  if (record == nullptr) return {};
  std::vector<uint8_t> device(record, record + size);
  // Only a whole extensible record of a plain wave tag is made so; any
  // other goes as the file has it.
  if (size < EXTENSIBLE_RECORD_BYTES || (record[0] | record[1] << 8) != WAVE_TAG_EXTENSIBLE ||
      EffectiveWaveTag(record, size) == 0)
    return device;
  device.resize(EXTENSIBLE_RECORD_BYTES);
  device[16] = static_cast<uint8_t>(EXTENSIBLE_EXTENSION_BYTES);
  device[17] = 0;
  const unsigned channels = static_cast<unsigned>(record[2] | record[3] << 8);
  const uint32_t mask = DeviceMask(U32At(record + EXTENSIBLE_MASK_OFFSET), channels);
  for (int k = 0; k < 4; ++k) device[EXTENSIBLE_MASK_OFFSET + k] = static_cast<uint8_t>(mask >> (8 * k));
  return device;
}

std::vector<std::vector<uint8_t>> NarrowerPcmRecords(const uint8_t* record, size_t size) {
  const PcmLayout layout = PcmLayoutOf(record, size);
  if (!IsWide(layout)) return {};
  const uint32_t rate = U32At(record + 4);
  // PcmLayoutOf takes an extensible record only when it is whole.
  const bool file_extensible = (record[0] | record[1] << 8) == WAVE_TAG_EXTENSIBLE;
  const uint32_t mask = file_extensible ? DeviceMask(U32At(record + EXTENSIBLE_MASK_OFFSET), layout.channels)
                                        : StandardMask(layout.channels);
  std::vector<std::vector<uint8_t>> records;
  for (unsigned bytes : {3u, 2u}) {
    const bool extensible_first = bytes > 2 || layout.channels > 2;
    records.push_back(PcmRecord(extensible_first, layout.channels, rate, bytes, mask));
    records.push_back(PcmRecord(!extensible_first, layout.channels, rate, bytes, mask));
  }
  return records;
}

PcmNarrowing PcmNarrowingOf(const uint8_t* record, size_t size, const uint8_t* device_record, size_t device_size) {
  PcmNarrowing narrowing;
  const PcmLayout from = PcmLayoutOf(record, size);
  const PcmLayout to = PcmLayoutOf(device_record, device_size);
  if (!IsWide(from) || !to.direct || to.is_float || to.channels != from.channels) return narrowing;
  if (to.bytes_per_sample != 2 && to.bytes_per_sample != 3) return narrowing;
  narrowing.from = from;
  narrowing.to_bytes = to.bytes_per_sample;
  return narrowing;
}

size_t NarrowedBytes(const PcmNarrowing& narrowing, size_t bytes) {
  if (!narrowing.valid()) return 0;
  const size_t frame = static_cast<size_t>(narrowing.from.channels) * narrowing.from.bytes_per_sample;
  return bytes / frame * narrowing.from.channels * narrowing.to_bytes;
}

size_t NarrowPcm(const PcmNarrowing& narrowing, const uint8_t* in, size_t bytes, uint8_t* out) {
  const size_t written = NarrowedBytes(narrowing, bytes);
  if (written == 0 || in == nullptr || out == nullptr) return 0;
  const unsigned width = narrowing.from.bytes_per_sample;
  const unsigned to = narrowing.to_bytes;
  const size_t samples = written / to;
  for (size_t k = 0; k < samples; ++k) {
    const uint32_t v = static_cast<uint32_t>(Narrowed(in + k * width, narrowing.from, to));
    for (unsigned b = 0; b < to; ++b) out[k * to + b] = static_cast<uint8_t>(v >> (8 * b));
  }
  return written;
}
