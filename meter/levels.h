// Peak levels of PCM blocks and the bookkeeping that follows each measurement:
// the sample classes, the stride limits, the clip test and the peak holds.
#pragma once
#include <cstddef>
#include <cstdint>

// Sample classes: bit 0 set means 16-bit samples, bit 1 set means stereo.
constexpr int CLASS_8BIT_MONO = 0;
constexpr int CLASS_16BIT_MONO = 1;
constexpr int CLASS_8BIT_STEREO = 2;
constexpr int CLASS_16BIT_STEREO = 3;

inline bool IsSixteenBitClass(int sample_class) { return (sample_class & 1) != 0; }
inline bool IsStereoClass(int sample_class) { return (sample_class & 2) != 0; }

// The class of a format: stereo for two channels or more (the first two
// drive the bars), 16-bit level units for samples of more than 8 bits (wider
// samples are scaled to the 16-bit full scale); 8 bits and less (and the
// compressed formats that give no depth) count in 8-bit units.
int SampleClassOf(unsigned channels, unsigned bits_per_sample);

// One level unit: full scale / 16 (8 for 8-bit data, 2048 for 16-bit data and
// for mixer readings).
constexpr uint32_t DELTA_8BIT = 8;
constexpr uint32_t DELTA_16BIT = 2048;
inline uint32_t LevelDelta(int sample_class) { return IsSixteenBitClass(sample_class) ? DELTA_16BIT : DELTA_8BIT; }

// Never step over more than this many frames at once.
constexpr uint32_t MAX_METER_STRIDE = 16000;

// The stride actually used for a block: at most 16000, small enough that at
// least 32 frames of every display unit are examined, never 0, and 1 while the
// level report is on (so that its maximum is exact).
uint32_t LimitStride(uint32_t stride, uint32_t unit_size, int sample_class, bool levelwarning);

// Peak magnitudes of the left (or mono) and right channel. 8-bit samples are
// unsigned with silence at 128 (levels 0..128); 16-bit samples are signed
// little-endian (levels 0..32768).
struct ChannelPeaks {
  uint32_t left = 0;
  uint32_t right = 0;
};

// Scans every stride-th frame of the first `bytes` bytes of `data`. Only whole
// frames are read: a trailing partial frame is ignored. A null block, a byte
// count of 0 or less, or a stride of 0 scans nothing.
ChannelPeaks ScanPeaks(int sample_class, const uint8_t* data, long bytes, uint32_t stride);

// A block clips when its peak reaches the top of the sample range (127 for
// 8-bit data, 32767 for 16-bit data) in either channel.
bool BlockClips(int sample_class, ChannelPeaks peaks);

// The PeakHold setting.
constexpr int PEAK_HOLD_OFF = 0;
constexpr int PEAK_HOLD_DECAY = 1;
constexpr int PEAK_HOLD_CONSTANT = 2;

// The hold of a channel after a block of this level was drawn: decay (linear by
// delta/4, or 3% on the dB scale), then raised to the level, and put above full
// scale (17 delta, on the over lamp) when the level passed the clip threshold.
uint32_t UpdatedHold(uint32_t hold, uint32_t level, uint32_t delta, int peak_hold, bool db_scale);

// ---- PCM of any width ----

// How the scan reads the samples of a format. Formats it cannot read (every
// compressed one) are not direct: their levels come from elsewhere.
struct PcmLayout {
  bool direct = false;
  unsigned channels = 0;
  unsigned bytes_per_sample = 0;  // container: 1, 2, 3 or 4; 4 or 8 for float
  bool is_float = false;          // IEEE float of 32 or 64 bits, full scale 1.0
};

// The layout of a format record (the bytes of a "fmt " chunk body, `size` of
// them): tag 1 with 1 to 4 byte containers, tag 3 with 4- or 8-byte floats,
// and tag 0xFFFE whose sub-format is one of those two. Anything else, or a record
// whose block size is not channels times the container (of 1 to 4 bytes),
// or whose bits do not fit in it, is not direct.
PcmLayout PcmLayoutOf(const uint8_t* record, size_t size);

// The sample class whose units and bars a layout is drawn with.
int ScanClassOf(const PcmLayout& layout);

// Peaks of every stride-th frame of a direct layout, in the units of its scan
// class: 8-bit containers as 8-bit data, wider ones scaled to 16-bit full
// scale (a full-scale negative sample is 32768; float beyond full scale is
// limited to twice it). Of more than two channels the first two are read.
ChannelPeaks ScanPcmPeaks(const PcmLayout& layout, const uint8_t* data, long bytes, uint32_t stride);
