// Levels of compressed sound through the audio compression manager (where
// it is missing the meter has no decoded source).
#include "meter/decoded_levels_win32.h"

#include <cstdlib>

#include "base/acm_stream_win32.h"
#include "base/format_record.h"
#include "meter/meter_record_win32.h"

namespace {

// So much source without any sound out of it means the stream has lost its
// way (garbage, a cut): the meter says it has no level rather than freeze.
constexpr DWORD kLeastSilentSource = 8192;
// Fewer frames than this from one measurement are not a level: a converter
// may answer bytes that complete nothing with a frame or two of silence.
constexpr DWORD kLeastFrames = 64;

}  // namespace

void OpenDecodedLevels(const uint8_t* record, size_t size) {
  CloseDecodedLevels();
  if (DecodedLevelsSwitchedOff()) return;
  if (record == nullptr || size < sizeof(WAVEFORMAT) || PcmLayoutOf(record, size).direct) return;

  std::vector<uint8_t> source_format = AcmSourceRecord(record, size);
  const auto* from = reinterpret_cast<const WAVEFORMATEX*>(source_format.data());
  if (from->nChannels == 0 || from->nSamplesPerSec == 0) return;

  WAVEFORMATEX to = {};
  to.wFormatTag = WAVE_TAG_PCM;
  to.nChannels = from->nChannels;
  to.nSamplesPerSec = from->nSamplesPerSec;
  to.wBitsPerSample = 16;
  to.nBlockAlign = static_cast<WORD>(to.nChannels * 2);
  to.nAvgBytesPerSec = to.nSamplesPerSec * to.nBlockAlign;
  DecodedSource& converter = OwnedMeter().decoded;
  if (!converter.stream.Open(from, &to, DECODED_SOURCE_PIECE, ACM_LARGEST_DESTINATION)) return;

  converter.gave_sound = false;
  converter.silent_source = 0;
  // About a second of the stream, and never less than a few pages of it.
  converter.silent_limit = from->nAvgBytesPerSec > kLeastSilentSource ? from->nAvgBytesPerSec : kLeastSilentSource;
  converter.channels = to.nChannels;
  converter.frame_bytes = to.nBlockAlign;
  converter.rate = to.nSamplesPerSec;
  converter.frames_out = 0;
}

void CloseDecodedLevels() { OwnedMeter().decoded.stream.Close(); }

bool DecodedLevelsOpen() { return level_meter.decoded.stream.is_open(); }

DecodedResult MeasureDecoded(const uint8_t* data, long bytes, ChannelPeaks& peaks) {
  peaks = ChannelPeaks();
  if (!DecodedLevelsOpen()) return DECODED_NONE;
  if (data == nullptr || bytes <= 0) return DECODED_PENDING;
  DecodedSource& converter = OwnedMeter().decoded;
  DWORD frames = 0;
  PcmLayout pcm;
  pcm.direct = true;
  // Every channel in its place; the first two drive the bars, as for PCM.
  pcm.channels = converter.channels;
  pcm.bytes_per_sample = 2;
  const bool converted = converter.stream.Convert(data, static_cast<size_t>(bytes), false,
                                                  [&](const uint8_t* out, DWORD out_bytes) {
    const ChannelPeaks got = ScanPcmPeaks(pcm, out, static_cast<long>(out_bytes), 1);
    converter.frames_out += out_bytes / converter.frame_bytes;
    frames += out_bytes / converter.frame_bytes;
    if (got.left > peaks.left) peaks.left = got.left;
    if (got.right > peaks.right) peaks.right = got.right;
  });
  if (!converted) {
    converter.silent_source = 0;
    return DECODED_NONE;
  }
  if (frames >= kLeastFrames) {
    converter.gave_sound = true;
    converter.silent_source = 0;
    return DECODED_LEVELS;
  }
  converter.silent_source += static_cast<DWORD>(bytes);
  if (converter.gave_sound && converter.silent_source >= converter.silent_limit) return DECODED_NONE;
  return DECODED_PENDING;
}

double DecodedMilliseconds() {
  const DecodedSource& converter = level_meter.decoded;
  return converter.rate ? static_cast<double>(converter.frames_out) * 1000.0 / converter.rate : 0.0;
}

bool DecodedLevelsSwitchedOff() {
#ifdef TAPEON_TEST_SWITCHES
  return getenv("TAPEON_METER_SOURCE_OFF") != nullptr;
#else
  return false;
#endif
}
