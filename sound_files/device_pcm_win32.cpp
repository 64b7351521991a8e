#include "sound_files/device_pcm_win32.h"

#include <mmsystem.h>

#include "base/acm_stream_win32.h"
#include "base/format_record.h"
#include "sound_files/wide_pcm.h"

namespace {

bool OutputTakes(const std::vector<uint8_t>& pcm) {
  return waveOutOpen(nullptr, WAVE_MAPPER, reinterpret_cast<const WAVEFORMATEX*>(pcm.data()), 0, 0,
                     WAVE_FORMAT_QUERY) == MMSYSERR_NOERROR;
}

}  // namespace

std::vector<uint8_t> DevicePcmFor(const uint8_t* record, size_t size) {
  if (!record || size < sizeof(WAVEFORMAT)) return {};
  const std::vector<std::vector<uint8_t>> narrower = NarrowerPcmRecords(record, size);
  for (const std::vector<uint8_t>& pcm : narrower) {
    if (OutputTakes(pcm)) return pcm;
  }
  const std::vector<uint8_t> source = AcmSourceRecord(record, size);
  const auto* from = reinterpret_cast<const WAVEFORMATEX*>(source.data());
  if (!narrower.empty() || from->wFormatTag == WAVE_TAG_PCM || from->wFormatTag == WAVE_TAG_EXTENSIBLE) {
    return {};
  }
  std::vector<uint8_t> pcm = SuggestAcmPcm(source);
  if (pcm.empty() || !OutputTakes(pcm)) return {};
  return pcm;
}
