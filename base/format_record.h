// The current wave format in the byte layout of a RIFF "fmt " chunk body.
#pragma once
#include <cstdint>

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
constexpr uint16_t WAVE_TAG_MPEGLAYER3 = 0x0055;
constexpr uint16_t WAVE_TAG_OGG_VORBIS1 = 0x674F;
constexpr uint16_t WAVE_TAG_OGG_VORBIS3 = 0x6751;

// The 11025 Hz family (11025, 22050, 44100, 88200 Hz): a buffer of deltatime
// units lasts deltatime / 11025 s there, deltatime / 8000 s at other rates.
// Decided by the rate in Hz, never by the display's rounded kHz.
inline bool In11025Family(uint32_t rate) { return rate % 11025 == 0; }

inline bool IsOggVorbisTag(uint16_t tag) { return tag >= WAVE_TAG_OGG_VORBIS1 && tag <= WAVE_TAG_OGG_VORBIS3; }
