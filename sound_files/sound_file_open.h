// Opening a sound file for playing, apart from the Windows calls: which kind
// of file it is, the format record it is played with, where its sound data
// lies, and which failure stops it. The Windows side runs these on the open
// multimedia file and adds the device query and the messages.
#pragma once
#include <cstdint>
#include <vector>

#include "sound_files/analysis_report.h"
#include "sound_files/riff_file.h"

enum class SoundKind {
  RIFF_WAVE,  // RIFF of form type "WAVE": the record is the "fmt " chunk
  RIFF_MPEG,  // RIFF of another form type ("RMP3") holding MPEG audio in "data"
  RAW_MPEG,   // no RIFF chunk: MPEG audio from byte 0
  OGG,        // no RIFF chunk: Ogg Vorbis from byte 0
};

enum class OpenFailure {
  NONE,
  NOT_RIFF,         // no RIFF chunk and neither analyser knows the stream (96, RIFF wording)
  NOT_WAVE,         // RIFF of another form whose data is not MPEG audio (96, WAVE wording)
  DAMAGED,          // RIFF size 0: the repair is offered (5)
  NO_DATA_IN_RIFF,  // RIFF of another form without a data chunk (49, RIFF wording)
  NO_FMT,           // WAVE without a "fmt " chunk (1)
  SHORT_FMT,        // the "fmt " chunk cannot be read whole, or cannot be a format (17)
  UNSUPPORTED,      // a format no device can be run with: no channels, no block size,
                    // a byte rate above 2^31 - 1, a rate below 500 Hz or above 1 MHz;
                    // an Ogg stream that is not Vorbis (33)
  NO_DATA_IN_WAVE,  // RIFF file without a data chunk after the query (49, WAVE wording)
  DATA_EMPTY,       // data length 0 (65)
};

struct SoundFileIdentity {
  OpenFailure failure = OpenFailure::NONE;
  SoundKind kind = SoundKind::RIFF_WAVE;
  bool riff = false;                // the file has a RIFF chunk
  std::vector<uint8_t> format;      // the format record (when one was built)
  uint32_t analysed_data_total = 0; // sound bytes of an analysed stream (between the two below)
  uint32_t audio_offset = 0;        // bytes of ID3v2 tags (and junk) before an MPEG stream's first frame
  uint32_t audio_tail = 0;          // bytes of tags after an MPEG stream's last frame
  // The stream analysis' notes and the allocation point of the record, in
  // order; for a WAVE file only the allocation of the "fmt " chunk's size.
  AnalysisReport report;
};

// The first part of the open: finds the RIFF chunk (or tries the MPEG and the
// Ogg analysis on a raw file), and builds the format record. On success the
// file is left inside the RIFF chunk (after the "fmt " chunk for WAVE), or
// anywhere for a raw stream.
SoundFileIdentity IdentifySoundFile(RiffFile& file);

// The fields of a format record, 0 where the record is too short to hold
// them (cbSize from 18 bytes on).
struct FormatFields {
  uint16_t wFormatTag = 0;
  uint16_t nChannels = 0;
  uint32_t nSamplesPerSec = 0;
  uint32_t nAvgBytesPerSec = 0;
  uint16_t nBlockAlign = 0;
  uint16_t wBitsPerSample = 0;
  uint16_t cbSize = 0;
};
FormatFields ReadFormatFields(const std::vector<uint8_t>& format);

// The plausibility limits of a format record, checked before any device sees
// it. Returns NONE, SHORT_FMT or UNSUPPORTED.
OpenFailure CheckPlayableFormat(const std::vector<uint8_t>& format);

// The second part, after the device query: positions the file at the first
// sound data byte and gives the data length. For a RIFF file the data chunk is
// looked for from the present position; a declared size that runs past the end
// of the file is cut to the bytes the file holds. For a raw stream the data is
// the whole file. Either way an MPEG stream's tags, the audio_offset bytes
// before its first frame and the audio_tail bytes after its last (`id`), are
// left out: the codec gets frames only. Returns NONE, NO_DATA_IN_WAVE or
// DATA_EMPTY.
OpenFailure LocateSoundData(RiffFile& file, const SoundFileIdentity& id, uint32_t& data_total);

// A failure text: the English string-table id (or a fixed English text when
// the id is -1) and the Japanese text.
struct FailureText {
  int english_id;
  const char* english;
  const char* japanese;
};
FailureText OpenFailureText(OpenFailure failure);

// Whether a device result refuses the format: WAVERR_BADFORMAT, or
// MMSYSERR_INVALPARAM, which Wine's driver answers where Windows' drivers
// refuse the format (64-bit float, an extensible extension longer than 22
// bytes). A format refused so is tried as the PCM it converts to, and
// where nothing plays it the message says so, not that the device failed.
bool FormatRefused(unsigned result);

// The output device query and its fallbacks. After a refusal with `result`,
// the next step: try again at 44100 Hz (a 48000 Hz format), try again in mono
// (a stereo non-PCM format on Windows 3.11 or older), or give up.
enum class QueryStep { RETRY_44100, RETRY_MONO, GIVE_UP };
QueryStep NextPlayQueryStep(unsigned result, const std::vector<uint8_t>& format, unsigned windows_version);
// The text shown when the output device query finally fails with `result`.
FailureText PlayQueryFailureText(unsigned result);
