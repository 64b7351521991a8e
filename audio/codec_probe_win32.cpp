// Whether the wave mapper can play the compressed formats the Open command
// offers: a format query only, nothing is opened.
#include "audio/codec_probe_win32.h"

#include <vector>

#include "base/app_state_win32.h"
#include "sound_files/mpeg_analysis.h"
#include "sound_files/ogg_analysis.h"

namespace {

bool QueryOutput(const std::vector<uint8_t>& format) {
  return waveOutOpen(nullptr, WAVE_MAPPER, reinterpret_cast<const WAVEFORMATEX*>(format.data()), 0, 0,
                     WAVE_FORMAT_QUERY) == MMSYSERR_NOERROR;
}

}  // namespace

// The records are those the analysis builds for a file, for a typical
// stream: MPEG-2 Layer III, 24 kHz stereo at 56 kbit/s (168-byte frames);
// Ogg Vorbis, 44.1 kHz stereo at 128 kbit/s.
bool CanPlayMpegLayer3() {
  MpegRecordFields fields;
  fields.channels = 2;
  fields.sample_rate = 24000;
  fields.byte_rate = 7000;
  fields.padding_flag = MPEG_PADDING_OFF;
  fields.block_size = 168;
  return QueryOutput(MakeMpegRecord(fields));
}

bool CanPlayOggVorbis() { return QueryOutput(MakeOggRecord(2, 44100, 16000)); }
