#include "sound_files/info_fields.h"

#include <cstdlib>
#include <cstring>

#include "base/format_record.h"
#include "resources/ja_info.h"
#include "resources/resource_ids.h"
#include "sound_files/mpeg_analysis.h"
#include "sound_files/ogg_analysis.h"
#include "sound_files/riff_file.h"

const std::string& DialogTexts::Get(int id) const {
  static const std::string empty;
  auto found = texts_.find(id);
  return found == texts_.end() ? empty : found->second;
}

namespace {

std::string Unsigned(uint64_t value) { return FormatText("%llu", static_cast<unsigned long long>(value)); }

const char* Pick(const InfoTextMode& mode, const char* english, const char* japanese) {
  return mode.japanese ? japanese : english;
}

// An identifier as the four bytes the file holds.
struct ChunkId {
  uint8_t bytes[4] = {};
  explicit ChunkId(uint32_t id = 0) {
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(id >> (8 * i));
  }
  bool Is(const char* id) const { return std::memcmp(bytes, id, 4) == 0; }
};

// A chunk or form identifier as readable text: up to the first zero byte,
// anything but printable ASCII shown as '.'.
std::string IdText(const uint8_t* bytes, size_t count) {
  std::string text;
  for (size_t i = 0; i < count && bytes[i] != 0; ++i)
    text += (bytes[i] >= 0x20 && bytes[i] < 0x7F) ? static_cast<char>(bytes[i]) : '.';
  return text;
}

// The format chunk's fields, each shown only when the chunk holds it.
struct FormatChunk {
  bool has_rate = false;
  uint32_t rate = 0;
  uint32_t bytes_per_sec = 0;
};

// The largest part of a format chunk shown: the common fields, cbSize and the
// 12-byte MPEG Layer-3 extension.
constexpr uint32_t kShownFormatBytes = 30;

// The format chunk whose header is `chunk`: each field is shown when the
// chunk holds it and the file has it.
FormatChunk ShowFormatChunk(ByteSource& file, const ChunkHeader& chunk, DetailFields& detail,
                            const InfoTextMode& mode, FormatNamer namer) {
  DialogTexts& t = detail.texts;
  FormatChunk format;
  const uint32_t chunk_size = chunk.size;
  uint8_t bytes[kShownFormatBytes] = {};
  uint32_t got = 0;
  if (chunk.DataOffset() <= 0xFFFFFFFFu && file.Seek(static_cast<uint32_t>(chunk.DataOffset())))
    got = file.Read(bytes, chunk_size < kShownFormatBytes ? chunk_size : kShownFormatBytes);
  ByteCursor in(bytes, got);
  auto holds = [&](uint32_t end) { return chunk_size >= end; };
  uint16_t tag = 0, channels = 0, align = 0, bits = 0, cb_size = 0;
  uint32_t bytes_per_sec = 0;
  // Reads one field through the cursor; false when the bytes end first.
  auto u16 = [&](uint16_t* value) {
    *value = in.U16LE();
    return in.ok();
  };
  auto u32 = [&](uint32_t* value) {
    *value = in.U32LE();
    return in.ok();
  };

  if (!holds(2) || !u16(&tag)) return format;
  t.Set(IDC_DET_TAG, Unsigned(tag));
  t.Set(IDC_DET_TAG_NAME, namer(tag));
  if (tag == WAVE_TAG_MPEGLAYER3) detail.kind = KIND_WAVE_MP3;

  if (!holds(4) || !u16(&channels)) return format;
  t.Set(IDC_DET_CHANNELS, Unsigned(channels));
  if (channels == 1) t.Set(IDC_DET_CHAN_NOTE, Pick(mode, "monaural", ja::kDetailMonaural));
  if (channels == 2) t.Set(IDC_DET_CHAN_NOTE, Pick(mode, "stereo", ja::kDetailStereo));

  if (!holds(8) || !u32(&format.rate)) return format;
  format.has_rate = true;
  t.Set(IDC_DET_RATE, Unsigned(format.rate));
  if (format.rate != 0)
    t.Set(IDC_DET_PERIOD, FormatText(Pick(mode, "%.0fmicroSec", ja::kDetailPeriodFormat), 1000000.0 / format.rate));
  else
    t.Set(IDC_DET_PERIOD, Pick(mode, "Inf sec", ja::kDetailInfinitePeriod));

  if (!holds(12) || !u32(&bytes_per_sec)) return format;
  format.bytes_per_sec = bytes_per_sec;
  t.Set(IDC_DET_BYTES, Unsigned(bytes_per_sec));

  if (!holds(14) || !u16(&align)) return format;
  t.Set(IDC_DET_ALIGN, Unsigned(align));
  if (!holds(16) || !u16(&bits)) return format;
  t.Set(IDC_DET_BITS, Unsigned(bits));

  if (!holds(18) || !u16(&cb_size)) return format;
  t.Set(IDC_DET_CBSIZE, Unsigned(cb_size));
  // The MPEG Layer-3 extension, when the chunk really holds all 12 bytes.
  if (cb_size == 12 && detail.kind == KIND_WAVE_MP3 && holds(30)) {
    uint16_t id = 0, block = 0, frames = 0, delay = 0;
    uint32_t flags = 0;
    if (u16(&id) && u32(&flags) && u16(&block) && u16(&frames) && u16(&delay)) {
      t.Set(IDC_DET_TAG_NAME, FormatText("ID=%u", id));
      t.Set(IDC_DET_CHAN_NOTE, FormatText("flags=%04lx", static_cast<unsigned long>(flags)));
      t.Set(IDC_DET_ALIGN_NOTE, FormatText("blksiz=%u", block));
      t.Set(IDC_DET_BITS_NOTE, FormatText("frames=%u", frames));
      t.Set(IDC_DET_CBSIZE_NOTE, FormatText("delay=%u", delay));
    }
  }
  return format;
}

// The chunk header at `offset`: identifier, then size, shown in id_control
// and size_control as far as the file holds them. True when both were read.
bool ShowChunkHeader(ByteSource& file, uint64_t offset, DialogTexts& t, int id_control, int size_control,
                     ChunkHeader* header) {
  uint8_t bytes[8];
  uint32_t got = 0;
  if (offset <= 0xFFFFFFFFu && file.Seek(static_cast<uint32_t>(offset))) got = file.Read(bytes, sizeof bytes);
  if (got < 4) return false;
  t.Set(id_control, IdText(bytes, 4));
  if (!ReadChunkHeader(file, offset, *header)) return false;
  t.Set(size_control, Unsigned(header->size));
  return true;
}

}  // namespace

DialogTexts InfoBoxTexts(const InfoBoxValues& v, const InfoTextMode& mode) {
  DialogTexts t;
  if (mode.japanese) {
    t.Set(IDC_INFO_FREQ_LABEL, ja::kInfoFrequency);
    t.Set(IDC_INFO_CHAN_LABEL, ja::kInfoChannels);
    t.Set(IDC_INFO_RATE_LABEL, ja::kInfoBitRate);
    t.Set(IDC_INFO_TIME_LABEL, ja::kInfoTotalTime);
    t.Set(IDC_INFO_DETAIL, ja::kInfoDetail);
  }
  // Without a format, the values stay empty: never a format of nothing.
  if (!v.has_format) {
    for (int id : {IDC_INFO_FREQ, IDC_INFO_CHAN, IDC_INFO_RATE, IDC_INFO_TIME}) t.Set(id, "");
    return t;
  }
  t.Set(IDC_INFO_FREQ, FormatText("%dkHz", v.khz));
  t.Set(IDC_INFO_CHAN, FormatText("%d", v.channels));

  // Wide arithmetic: a hand-made format may claim any byte rate.
  uint64_t bits_per_sec = static_cast<uint64_t>(v.bytes_per_sec) * 8;
  if (v.sample_bits != 0) {
    t.Set(IDC_INFO_RATE, FormatText("%5d bit", v.sample_bits));
    t.Set(IDC_INFO_RATE_LABEL, Pick(mode, "Bits", ja::kInfoBits));
  } else if (v.format_tag == 0x32) {
    t.Set(IDC_INFO_RATE, FormatText("%5llu baud", static_cast<unsigned long long>(bits_per_sec)));
  } else if (bits_per_sec / 1000 <= 999) {
    t.Set(IDC_INFO_RATE, FormatText("%5llu kbps", static_cast<unsigned long long>(bits_per_sec / 1000)));
  } else {
    t.Set(IDC_INFO_RATE, FormatText("%5lu KB/s", static_cast<unsigned long>(v.bytes_per_sec / 1024)));
  }

  uint16_t tag = v.format_tag;
  bool compressed_stream = tag == WAVE_TAG_MPEGLAYER3 || IsSbcTag(tag) || IsOggVorbisTag(tag);
  if (compressed_stream) {
    t.Set(IDC_INFO_TIME_LABEL, Pick(mode, "Data Size", ja::kInfoDataSize));
    t.Set(IDC_INFO_TIME, FormatText("%7lu KB", static_cast<unsigned long>(v.data_total / 1024)));
  } else if (v.bytes_per_sec != 0) {
    std::string time = FormatText(Pick(mode, "%6.1f sec", ja::kInfoSecondsFormat),
                              static_cast<double>(v.data_total) / v.bytes_per_sec);
    if (mode.japanese && mode.levelwarning) {
      size_t point = time.find('.');
      if (point != std::string::npos) time.replace(point, 1, ja::kInfoDecimalPoint);
    }
    t.Set(IDC_INFO_TIME, time);
  } else {
    t.Set(IDC_INFO_TIME, FormatText("%6ld sec", 0L));
  }
  return t;
}

std::string TotalTimeText(uint32_t bytes_per_sec, uint64_t data_size, bool data_size_known, const InfoTextMode& mode) {
  if (bytes_per_sec == 0 || !data_size_known) return Pick(mode, "unknown sec", ja::kDetailUnknownTime);
  double seconds = static_cast<double>(data_size) / bytes_per_sec;
  if (mode.levelwarning && seconds < 1.0)
    return FormatText(Pick(mode, "%.3f msec", ja::kDetailMillisecondsFormat), static_cast<double>(data_size) * 1000.0 / bytes_per_sec);
  return FormatText("%f sec", seconds);
}

DetailFields ReadDetailFields(ByteSource* file, int64_t file_size, const InfoTextMode& mode, FormatNamer namer) {
  DetailFields detail;
  DialogTexts& t = detail.texts;
  if (mode.levelwarning) t.Set(IDC_DET_SIZE_NOTE, Pick(mode, "FileSize minus 8", ja::kDetailSizeNote));
  if (mode.japanese) {
    t.Set(IDC_DET_BYTES_NOTE, ja::kDetailBytesNote);
    t.Set(IDC_DET_ALIGN_NOTE, ja::kDetailAlignNote);
    t.Set(IDC_DET_CHAN_NOTE, ja::kDetailChannelNote);
  }
  for (int id : {IDC_DET_RIFF_SIZE, IDC_DET_RIFF_TYPE, IDC_DET_CHUNK1_ID, IDC_DET_CHUNK1_SIZE, IDC_DET_TAG,
                 IDC_DET_CHANNELS, IDC_DET_RATE, IDC_DET_BYTES, IDC_DET_ALIGN, IDC_DET_BITS, IDC_DET_CBSIZE,
                 IDC_DET_CHUNK2_ID, IDC_DET_CHUNK2_SIZE, IDC_DET_TOTAL_TIME})
    t.Set(id, "");
  t.Set(IDC_DET_FILE_SIZE, file_size >= 0 ? Unsigned(static_cast<uint64_t>(file_size)) : "");
  if (!file) return detail;
  detail.file_read = true;

  uint8_t riff[4] = {};
  file->Seek(0);
  const uint32_t got = file->Read(riff, 4);
  t.Set(IDC_DET_RIFF_ID, got > 0 && riff[0] == 0xFF ? "FFF" : IdText(riff, got));
  if (got < 4 || std::memcmp(riff, "RIFF", 4) != 0) {
    detail.kind = KIND_RAW;
    return detail;
  }

  uint8_t fields[8];
  if (ReadAt(*file, 4, fields, 4)) {
    t.Set(IDC_DET_RIFF_SIZE, Unsigned(ByteCursor(fields, 4).U32LE()));
    if (ReadAt(*file, 8, fields, 4)) {
      t.Set(IDC_DET_RIFF_TYPE, IdText(fields, 4));
      if (std::memcmp(fields, "RMP3", 4) == 0) detail.kind = KIND_RMP3;
    }
  }

  // The first three chunks, in the order they stand: the walk's steps, each
  // shown as it is.
  FormatChunk format;
  bool data_known = false;
  uint32_t data_size = 0;
  ChunkHeader first, second, third;
  if (ShowChunkHeader(*file, 12, t, IDC_DET_CHUNK1_ID, IDC_DET_CHUNK1_SIZE, &first)) {
    if (std::memcmp(ChunkId(first.id).bytes, "fmt", 3) == 0)
      format = ShowFormatChunk(*file, first, detail, mode, namer);
    if (ShowChunkHeader(*file, first.Next(), t, IDC_DET_CHUNK2_ID, IDC_DET_CHUNK2_SIZE, &second)) {
      const ChunkId second_id(second.id);
      if (second_id.Is("data")) {
        data_known = true;
        data_size = second.size;
      }
      uint8_t samples_bytes[4];
      if (second_id.Is("fact") && second.size >= 4 && ReadAt(*file, second.DataOffset(), samples_bytes, 4)) {
        const uint32_t samples = ByteCursor(samples_bytes, 4).U32LE();
        t.Set(IDC_DET_SIZE_NOTE, FormatText("fact=%lu", static_cast<unsigned long>(samples)));
        if (format.has_rate && format.rate != 0)
          t.Set(IDC_DET_FACT_TIME, FormatText("%5f sec", static_cast<double>(samples) / format.rate));
        else
          t.Set(IDC_DET_FACT_TIME, FormatText("%3s sec", "Inf"));
      }
      if (ShowChunkHeader(*file, second.Next(), t, IDC_DET_CHUNK3_ID, IDC_DET_CHUNK3_SIZE, &third) &&
          ChunkId(third.id).Is("data")) {
        data_known = true;
        data_size = third.size;
      }
    }
  }

  t.Set(IDC_DET_TOTAL_TIME, TotalTimeText(format.bytes_per_sec, data_size, data_known, mode));
  return detail;
}

std::string StreamTimeText(const std::string& current_time, DetailKind kind, const std::string& chunk1_id,
                           const std::string& chunk1_size, uint32_t avg_bytes_per_sec, int64_t file_size,
                           const InfoTextMode& mode, uint64_t tag_bytes) {
  if (std::strtod(current_time.c_str(), nullptr) != 0.0) return current_time;
  auto sound = [tag_bytes](uint64_t bytes) { return bytes > tag_bytes ? bytes - tag_bytes : 0; };
  if (kind == KIND_RMP3 && chunk1_id == "data")
    return TotalTimeText(avg_bytes_per_sec, sound(std::strtoull(chunk1_size.c_str(), nullptr, 10)), true, mode);
  return TotalTimeText(avg_bytes_per_sec, file_size >= 0 ? sound(static_cast<uint64_t>(file_size)) : 0, file_size >= 0,
                       mode);
}

void ShowMpegAnalysis(DialogTexts& t, DetailKind kind, const FormatFields& format, int64_t file_size,
                      const InfoTextMode& mode, uint64_t tag_bytes) {
  t.Set(IDC_DET_BYTES_NOTE, Unsigned(format.nAvgBytesPerSec));
  t.Set(IDC_DET_PERIOD, Unsigned(format.nSamplesPerSec));
  if (kind != KIND_WAVE_MP3) {
    t.Set(IDC_DET_TAG_NAME, Unsigned(format.wFormatTag));
    t.Set(IDC_DET_CHAN_NOTE, Unsigned(format.nChannels));
    t.Set(IDC_DET_ALIGN_NOTE, Unsigned(format.nBlockAlign));
    t.Set(IDC_DET_BITS_NOTE, Unsigned(format.wBitsPerSample));
    t.Set(IDC_DET_CBSIZE_NOTE, Unsigned(format.cbSize));
  }
  t.Set(IDC_DET_TOTAL_TIME, StreamTimeText(t.Get(IDC_DET_TOTAL_TIME), kind, t.Get(IDC_DET_CHUNK1_ID),
                                           t.Get(IDC_DET_CHUNK1_SIZE), format.nAvgBytesPerSec, file_size, mode,
                                           tag_bytes));
}

bool StreamStart(ByteSource& file, DetailKind kind, uint32_t* offset, uint32_t* size) {
  *offset = 0;
  *size = 0;
  if (kind == KIND_RAW || kind == KIND_WAVE) return true;
  ChunkHeader riff, data;
  if (!ReadChunkHeader(file, 0, riff) || riff.id != FourCC("RIFF")) return false;
  // Chunks inside the RIFF chunk, after its form type, as far as the RIFF
  // size rule lets the walk go.
  if (!FindChunk(file, 12, RiffWalkEnd(0, riff.size, file.Size()), FourCC("data"), data)) return false;
  *offset = static_cast<uint32_t>(data.DataOffset());
  *size = data.size;
  return true;
}

AnalysisResult AnalyseStream(ByteSource& file, DetailFields& detail, int64_t file_size, const InfoTextMode& mode,
                  AnalysisReport& report) {
  std::vector<uint8_t> record;
  uint32_t start = 0, data_size = 0;
  if (StreamStart(file, detail.kind, &start, &data_size)) {
    // A raw stream's data is the whole file.
    if (detail.kind == KIND_RAW) data_size = file.Size();
    MpegEdges edges;
    // Searched as the open searches it.
    const MpegSearch search = detail.kind == KIND_RAW ? MpegSearch::ANYWHERE : MpegSearch::AFTER_TAGS;
    if (file.Seek(start) && AnalyzeMpeg(file, data_size, report, record, &edges, search) == ANALYSIS_OK) {
      ShowMpegAnalysis(detail.texts, detail.kind, ReadFormatFields(record), file_size, mode,
                       static_cast<uint64_t>(edges.head) + edges.tail);
      return ANALYSIS_OK;
    }
  }
  if (AnalyzeOgg(file, 0, report, record) == ANALYSIS_OK) {
    DialogTexts& t = detail.texts;
    t.Set(IDC_DET_TOTAL_TIME, StreamTimeText(t.Get(IDC_DET_TOTAL_TIME), detail.kind, t.Get(IDC_DET_CHUNK1_ID),
                                             t.Get(IDC_DET_CHUNK1_SIZE), ReadFormatFields(record).nAvgBytesPerSec,
                                             file_size, mode));
    return ANALYSIS_OK;
  }
  return ANALYSIS_NOT_MINE;
}
