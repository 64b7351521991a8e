// What the file information and detail dialogs show, worked out from the
// current format and from the file's own bytes. Portable: the dialogs only put
// these texts into their controls.
#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "sound_files/analysis_report.h"
#include "sound_files/byte_source.h"
#include "sound_files/sound_file_open.h"

// The texts of a dialog's controls by control id. Controls not listed keep
// their template text.
class DialogTexts {
 public:
  void Set(int id, std::string text) { texts_[id] = std::move(text); }
  bool Has(int id) const { return texts_.count(id) != 0; }
  // The text of a listed control, or an empty text.
  const std::string& Get(int id) const;
  const std::map<int, std::string>& All() const { return texts_; }

 private:
  std::map<int, std::string> texts_;
};

// The two switches that change how the dialogs word their texts.
struct InfoTextMode {
  bool japanese = false;      // japanese_ui
  bool levelwarning = false;  // the levelwarning setting
};

// The display values that the open derived from the current format.
struct InfoBoxValues {
  int khz = 0;                 // sample rate to the nearest kHz
  int channels = 0;            // as the format says (more than two too)
  int sample_bits = 0;         // 0 for Ogg Vorbis tags
  uint16_t format_tag = 0;
  uint32_t bytes_per_sec = 0;  // BytesPerSec
  uint32_t data_total = 0;
  bool has_format = true;      // false: no file, or one refused; no values are shown
};

// The texts of the information dialog: the four values and, where they
// change, the labels (Japanese labels on a Japanese interface).
DialogTexts InfoBoxTexts(const InfoBoxValues& values, const InfoTextMode& mode);

// How the detail dialog goes on after the WAVE fields: a file without a RIFF
// header, an "RMP3" RIFF file and a WAVE file of MPEG Layer-3 also get the
// stream analysis in a text box.
enum DetailKind { KIND_WAVE = 0, KIND_RAW = 1, KIND_RMP3 = 2, KIND_WAVE_MP3 = 3 };

// Names a format tag for control 177 (the Windows side also asks installed
// codecs).
using FormatNamer = std::string (*)(uint16_t tag);

struct DetailFields {
  DialogTexts texts;
  DetailKind kind = KIND_WAVE;
  bool file_read = false;  // false when the file could not be opened at all
};

// The RIFF header, the first three chunks and the format chunk's fields, read
// from the start of the file. file is null when the file cannot be opened;
// file_size is the size the file system reports, negative when unknown.
DetailFields ReadDetailFields(ByteSource* file, int64_t file_size, const InfoTextMode& mode, FormatNamer namer);

// The total playing time as the detail dialog words it: bytes_per_sec 0 or
// an unknown data size give "unknown sec".
std::string TotalTimeText(uint32_t bytes_per_sec, uint64_t data_size, bool data_size_known, const InfoTextMode& mode);

// After an MPEG analysis recognised the stream (format: the fields of the
// record it built): its byte and sample rates, for files other than WAVE also
// its other fields, then the total time. tag_bytes: the bytes of tags before
// the first frame and after the last (from the analysis), not counted in the
// time.
void ShowMpegAnalysis(DialogTexts& texts, DetailKind kind, const FormatFields& format, int64_t file_size,
                      const InfoTextMode& mode, uint64_t tag_bytes = 0);

// The total time of an analysed stream, unless the WAVE fields already gave
// one: the data chunk's size for an "RMP3" file whose first chunk is the data,
// else the whole file, less the tag_bytes of tags before the first frame and
// after the last, at the stream's average byte rate. current_time is the text
// control 178 shows; returns the text it should show.
std::string StreamTimeText(const std::string& current_time, DetailKind kind, const std::string& chunk1_id,
                           const std::string& chunk1_size, uint32_t avg_bytes_per_sec, int64_t file_size,
                           const InfoTextMode& mode, uint64_t tag_bytes = 0);

// Where a stream analysis starts: the first byte of the RIFF chunk's "data"
// chunk for the RIFF kinds, 0 for a file without a RIFF header. False when a
// RIFF file has no data chunk.
bool StreamStart(ByteSource& file, DetailKind kind, uint32_t* offset, uint32_t* size);

// For every kind but KIND_WAVE: the MPEG analysis from the stream's start,
// else the Ogg analysis from byte 0, and the fields they change. The report
// holds the text box's lines and the message boxes, in order. Returns the
// analysis result (ANALYSIS_NOT_MINE when neither recognised the stream).
AnalysisResult AnalyseStream(ByteSource& file, DetailFields& detail, int64_t file_size, const InfoTextMode& mode,
                  AnalysisReport& report);
