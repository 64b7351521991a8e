// Whether the wave mapper can play the compressed formats the Open command
// offers: a format query only, nothing is opened.
#include "audio/codec_probe_win32.h"

#include <cstring>

#include "base/app_state_win32.h"

namespace {

bool QueryOutput(const void* format) {
  return waveOutOpen(nullptr, WAVE_MAPPER, static_cast<const WAVEFORMATEX*>(format), 0, 0, WAVE_FORMAT_QUERY) ==
         MMSYSERR_NOERROR;
}

#pragma pack(push, 1)
struct Layer3Probe {
  WAVEFORMATEX wf;
  WORD wID;
  DWORD fdwFlags;
  WORD nBlockSize;
  WORD nFramesPerBlock;
  WORD nCodecDelay;
};
struct VorbisProbe {
  WAVEFORMATEX wf;
  DWORD words[2];
};
#pragma pack(pop)

}  // namespace

bool CanPlayMpegLayer3() {
  Layer3Probe format = {};
  format.wf = {0x55, 2, 24000, 7000, 1, 0, 12};
  format.wID = 1;       // MPEGLAYER3_ID_MPEG
  format.fdwFlags = 2;  // MPEGLAYER3_FLAG_PADDING_OFF
  format.nBlockSize = 168;
  format.nFramesPerBlock = 1;
  format.nCodecDelay = 1393;
  return QueryOutput(&format);
}

bool CanPlayOggVorbis() {
  VorbisProbe format = {};
  format.wf = {0x674F, 2, 44100, 16000, 4, 16, 8};
  format.words[0] = 0x20001214;
  format.words[1] = 0x20001031;
  return QueryOutput(&format);
}
