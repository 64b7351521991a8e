// The current wave format in the byte layout of a RIFF "fmt " chunk body.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

#pragma pack(push, 1)
// The common header of every wave format (the first five fields).
struct WaveFormatHeader {
  uint16_t wFormatTag;
  uint16_t nChannels;
  uint32_t nSamplesPerSec;
  uint32_t nAvgBytesPerSec;
  uint16_t nBlockAlign;
};

// The record as held in memory: wf, then the fields that exist only when the
// record is long enough (wBitsPerSample from 16 bytes, cbSize from 18 bytes),
// then cbSize extension bytes.
struct FormatRecord {
  WaveFormatHeader wf;
  uint16_t wBitsPerSample;
  uint16_t cbSize;
  uint8_t extension[1];
};
#pragma pack(pop)

static_assert(sizeof(WaveFormatHeader) == 14, "wave format header is 14 bytes");

constexpr uint16_t WAVE_TAG_PCM = 0x0001;
constexpr uint16_t WAVE_TAG_MS_ADPCM = 0x0002;
constexpr uint16_t WAVE_TAG_IEEE_FLOAT = 0x0003;
constexpr uint16_t WAVE_TAG_ALAW = 0x0006;
constexpr uint16_t WAVE_TAG_MULAW = 0x0007;
constexpr uint16_t WAVE_TAG_SBC8 = 0x0071;
constexpr uint16_t WAVE_TAG_SBC16 = 0x0073;
constexpr uint16_t WAVE_TAG_MPEGLAYER3 = 0x0055;
constexpr uint16_t WAVE_TAG_EXTENSIBLE = 0xFFFE;
constexpr uint16_t WAVE_TAG_OGG_VORBIS1 = 0x674F;
constexpr uint16_t WAVE_TAG_OGG_VORBIS3 = 0x6751;

// The 11025 Hz family (11025, 22050, 44100, 88200 Hz): a buffer of deltatime
// units lasts deltatime / 11025 s there, deltatime / 8000 s at other rates.
// Decided by the rate in Hz, never by the display's rounded kHz.
inline bool In11025Family(uint32_t rate) { return rate % 11025 == 0; }

inline bool IsOggVorbisTag(uint16_t tag) { return tag >= WAVE_TAG_OGG_VORBIS1 && tag <= WAVE_TAG_OGG_VORBIS3; }
// SBC-8, SBC-12 and SBC-16, the block-coded tags the playing rate and the
// information dialog treat apart.
inline bool IsSbcTag(uint16_t tag) { return tag >= WAVE_TAG_SBC8 && tag <= WAVE_TAG_SBC16; }

// The extensible record: the 18 bytes up to cbSize, then cbSize 22 bytes of
// valid bits, speaker mask and sub-format GUID.
constexpr uint16_t EXTENSIBLE_EXTENSION_BYTES = 22;
constexpr size_t EXTENSIBLE_RECORD_BYTES = 18 + EXTENSIBLE_EXTENSION_BYTES;
constexpr size_t EXTENSIBLE_MASK_OFFSET = 20;
constexpr size_t EXTENSIBLE_SUBFORMAT_OFFSET = 24;
// The sub-format GUID of a plain wave tag is {tag-0000-0010-8000-00AA00389B71}:
// the tag in its first two bytes, then these 14.
constexpr uint8_t EXTENSIBLE_SUBFORMAT_TAIL[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                                   0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// The wave tag a record stands for: its own, or for a whole extensible
// record (size bytes, cbSize at least 22) the tag of its sub-format; 0 for
// an extensible record that is cut short or whose sub-format is no wave tag.
inline uint16_t EffectiveWaveTag(const uint8_t* record, size_t size) {
  if (record == nullptr || size < 2) return 0;
  const uint16_t tag = static_cast<uint16_t>(record[0] | record[1] << 8);
  if (tag != WAVE_TAG_EXTENSIBLE) return tag;
  if (size < EXTENSIBLE_RECORD_BYTES || (record[16] | record[17] << 8) < EXTENSIBLE_EXTENSION_BYTES) return 0;
  const uint8_t* guid = record + EXTENSIBLE_SUBFORMAT_OFFSET;
  if (memcmp(guid + 2, EXTENSIBLE_SUBFORMAT_TAIL, sizeof EXTENSIBLE_SUBFORMAT_TAIL) != 0) return 0;
  return static_cast<uint16_t>(guid[0] | guid[1] << 8);
}
