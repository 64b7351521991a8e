#include "sound_files/device_pcm_win32.h"

#include <mmsystem.h>

#include "base/acm_stream_win32.h"
#include "base/format_record.h"

std::vector<uint8_t> DevicePcmFor(const uint8_t* record, size_t size) {
  if (!record || size < sizeof(WAVEFORMAT)) return {};
  const std::vector<uint8_t> source = AcmSourceRecord(record, size);
  const auto* from = reinterpret_cast<const WAVEFORMATEX*>(source.data());
  if (from->wFormatTag == WAVE_TAG_PCM || from->wFormatTag == WAVE_FORMAT_EXTENSIBLE) return {};
  std::vector<uint8_t> pcm = SuggestAcmPcm(source);
  if (pcm.empty()) return {};
  const MMRESULT query = waveOutOpen(nullptr, WAVE_MAPPER, reinterpret_cast<const WAVEFORMATEX*>(pcm.data()), 0, 0,
                                     WAVE_FORMAT_QUERY);
  if (query != MMSYSERR_NOERROR) return {};
  return pcm;
}
