#include "sound_files/sound_file_open.h"

#include "base/device_results.h"
#include "base/format_record.h"
#include "base/windows_version.h"
#include "resources/ja_sound_files.h"
#include "resources/resource_ids.h"
#include "sound_files/mpeg_analysis.h"
#include "sound_files/ogg_analysis.h"

namespace {

constexpr uint32_t kWave = FourCC("WAVE");
constexpr uint32_t kFmt = FourCC("fmt ");
constexpr uint32_t kData = FourCC("data");

// Plausibility limits of a format record.
constexpr uint32_t kSmallestFormat = 14;  // the common header: tag to block align
constexpr uint32_t kCbSizeOffset = 16;
constexpr uint32_t kFormatWithCbSize = 18;
constexpr uint32_t kLargestFormat = 65535;
constexpr uint32_t kLowestRate = 500;  // rounds to 1 kHz at least
constexpr uint32_t kHighestRate = 1000000;
constexpr uint32_t kHighestByteRate = 0x7FFFFFFF;

// The data chunk's size, cut to what the file holds after its header.
uint32_t DataInFile(RiffFile& file, const ChunkInfo& data) {
  const uint32_t length = file.Size();
  const uint32_t available = data.data_offset <= length ? length - data.data_offset : 0;
  return data.size < available ? data.size : available;
}

// The bytes an MPEG stream of data_total bytes holds before its first frame
// and after its last, and the sound between them.
void TakeEdges(SoundFileIdentity& id, const MpegEdges& edges, uint32_t data_total) {
  id.audio_offset = edges.head;
  id.audio_tail = edges.tail;
  const uint64_t not_sound = static_cast<uint64_t>(edges.head) + edges.tail;
  id.analysed_data_total = data_total > not_sound ? static_cast<uint32_t>(data_total - not_sound) : 0;
}

void IdentifyRawStream(RiffFile& file, SoundFileIdentity& id) {
  const uint32_t length = file.Size();
  id.analysed_data_total = length;
  file.Seek(0);
  MpegEdges edges;
  if (AnalyzeMpeg(file, length, id.report, id.format, &edges, MpegSearch::ANYWHERE) == ANALYSIS_OK) {
    id.kind = SoundKind::RAW_MPEG;
    TakeEdges(id, edges, length);
    return;
  }
  id.report.Clear();
  if (AnalyzeOgg(file, 0, id.report, id.format) == ANALYSIS_OK) {
    id.kind = SoundKind::OGG;
    return;
  }
  id.report.Clear();
  // Ogg of another codec: no codec of the system plays it as Ogg Vorbis.
  id.failure = IsOggStream(file, 0) ? OpenFailure::UNSUPPORTED : OpenFailure::NOT_RIFF;
}

void IdentifyWrappedStream(RiffFile& file, SoundFileIdentity& id) {
  if (!DescendToChunk(file, kData)) {
    id.failure = OpenFailure::NO_DATA_IN_RIFF;
    return;
  }
  const uint32_t data_total = DataInFile(file, file.Chunk(INNER_SLOT));
  id.analysed_data_total = data_total;
  MpegEdges edges;
  if (AnalyzeMpeg(file, data_total, id.report, id.format, &edges) != ANALYSIS_OK) {
    id.report.Clear();
    id.failure = OpenFailure::NOT_WAVE;  // Ogg is not looked for inside RIFF
    return;
  }
  id.kind = SoundKind::RIFF_MPEG;
  TakeEdges(id, edges, data_total);
  // Back to the top, inside the RIFF chunk again, for the data search later.
  file.Ascend(INNER_SLOT);
  file.Ascend(RIFF_SLOT);
  file.Seek(0);
  DescendToRiff(file);
}

void IdentifyWave(RiffFile& file, SoundFileIdentity& id) {
  id.kind = SoundKind::RIFF_WAVE;
  if (!DescendToChunk(file, kFmt)) {
    id.failure = OpenFailure::NO_FMT;
    return;
  }
  const uint32_t size = file.Chunk(INNER_SLOT).size;
  // A chunk too short for the common header, or too long for a record, is
  // refused before anything is allocated.
  if (size < kSmallestFormat || size > kLargestFormat) {
    id.failure = OpenFailure::SHORT_FMT;
    return;
  }
  id.report.Allocate(static_cast<uint16_t>(size));
  id.format.assign(size, 0);
  if (!ReadExact(file, id.format.data(), size)) {
    id.format.clear();
    id.failure = OpenFailure::SHORT_FMT;
    return;
  }
  // A chunk that ends inside the cbSize field has no extension. Its odd byte
  // is cleared: the record is handed on in a zeroed block of at least 18
  // bytes, where that byte would read as an extension length of up to 255,
  // and a codec would copy that much from past the record.
  if (size > kCbSizeOffset && size < kFormatWithCbSize) id.format[kCbSizeOffset] = 0;
  file.Ascend(INNER_SLOT);
}

}  // namespace

SoundFileIdentity IdentifySoundFile(RiffFile& file) {
  SoundFileIdentity id;
  file.Seek(0);
  if (!DescendToRiff(file)) {
    IdentifyRawStream(file, id);
  } else {
    id.riff = true;
    const ChunkInfo riff = file.Chunk(RIFF_SLOT);
    if (riff.size == 0)
      id.failure = OpenFailure::DAMAGED;
    else if (riff.form_type != kWave)
      IdentifyWrappedStream(file, id);
    else
      IdentifyWave(file, id);
  }
  if (id.failure == OpenFailure::NONE) id.failure = CheckPlayableFormat(id.format);
  return id;
}

FormatFields ReadFormatFields(const std::vector<uint8_t>& format) {
  FormatFields f;
  ByteCursor in(format.data(), format.size());
  f.wFormatTag = in.U16LE();
  f.nChannels = in.U16LE();
  f.nSamplesPerSec = in.U32LE();
  f.nAvgBytesPerSec = in.U32LE();
  f.nBlockAlign = in.U16LE();
  f.wBitsPerSample = in.U16LE();
  f.cbSize = in.U16LE();
  return f;
}

OpenFailure CheckPlayableFormat(const std::vector<uint8_t>& format) {
  if (format.size() < kSmallestFormat || format.size() > kLargestFormat) return OpenFailure::SHORT_FMT;
  const FormatFields f = ReadFormatFields(format);
  // The extension must lie inside the record, or a codec would read past it.
  if (format.size() >= kFormatWithCbSize && f.wFormatTag != WAVE_TAG_PCM &&
      kFormatWithCbSize + f.cbSize > format.size())
    return OpenFailure::SHORT_FMT;
  // A byte rate of 0 is left to the device query: an Ogg Vorbis encoder that
  // gives no nominal bitrate writes a valid file with it.
  const uint32_t rate = f.nSamplesPerSec;
  if (f.nChannels == 0 || f.nBlockAlign == 0 || f.nAvgBytesPerSec > kHighestByteRate || rate < kLowestRate ||
      rate > kHighestRate)
    return OpenFailure::UNSUPPORTED;
  return OpenFailure::NONE;
}

OpenFailure LocateSoundData(RiffFile& file, const SoundFileIdentity& id, uint32_t& data_total) {
  const bool riff = id.riff;
  const uint32_t audio_offset = id.audio_offset;
  uint32_t start = 0;
  if (riff) {
    if (!DescendToChunk(file, kData)) return OpenFailure::NO_DATA_IN_WAVE;
    data_total = DataInFile(file, file.Chunk(INNER_SLOT));
    start = file.Chunk(INNER_SLOT).data_offset;
  } else {
    data_total = file.Size();
  }
  if (static_cast<uint64_t>(audio_offset) + id.audio_tail >= data_total) {
    data_total = 0;
  } else {
    data_total -= audio_offset + id.audio_tail;
    // A RIFF file's descent has left it at the data already.
    if (!riff || audio_offset != 0) file.Seek(start + audio_offset);
  }
  return data_total == 0 ? OpenFailure::DATA_EMPTY : OpenFailure::NONE;
}

FailureText OpenFailureText(OpenFailure failure) {
  namespace jf = ja::files;
  switch (failure) {
    case OpenFailure::NONE:
      break;
    case OpenFailure::NOT_RIFF:
      return {IDS_NOT_WAVE, nullptr, jf::kNotRiffFile};
    case OpenFailure::NOT_WAVE:
      return {IDS_NOT_WAVE, nullptr, jf::kNotWaveFile};
    case OpenFailure::DAMAGED:
      return {IDS_RECOVER, nullptr, jf::kRecover};
    case OpenFailure::NO_DATA_IN_RIFF:
      return {IDS_NO_DATA, nullptr, jf::kNoDataInRiff};
    case OpenFailure::NO_FMT:
      return {IDS_FILE_DESTROYED, nullptr, jf::kFileDestroyed};
    case OpenFailure::SHORT_FMT:
      return {IDS_CANT_READ_FMT, nullptr, jf::kCantReadFmt};
    case OpenFailure::UNSUPPORTED:
      return {IDS_NO_SUPPORT, nullptr, jf::kNoPlayDriver};
    case OpenFailure::NO_DATA_IN_WAVE:
      return {IDS_NO_DATA, nullptr, jf::kNoDataInWave};
    case OpenFailure::DATA_EMPTY:
      return {IDS_DATA_EMPTY, nullptr, jf::kDataEmpty};
  }
  return {-1, "", ""};
}

bool FormatRefused(unsigned result) { return result == kDeviceBadFormat || result == kDeviceInvalidParam; }

QueryStep NextPlayQueryStep(unsigned result, const std::vector<uint8_t>& format, unsigned windows_version) {
  if (!FormatRefused(result) || format.size() < kSmallestFormat) return QueryStep::GIVE_UP;
  const FormatFields f = ReadFormatFields(format);
  if (f.nSamplesPerSec == 48000) return QueryStep::RETRY_44100;
  if (windows_version > kWindows311 || f.wFormatTag == WAVE_TAG_PCM || f.nChannels == 1) return QueryStep::GIVE_UP;
  return QueryStep::RETRY_MONO;
}

FailureText PlayQueryFailureText(unsigned result) {
  namespace jf = ja::files;
  switch (result) {
    case kDeviceBadId:
      return {IDS_CANT_OPEN_WAVEOUT, nullptr, jf::kBadDeviceId};
    case kDeviceAllocated:
      return {IDS_CANT_OPEN_WAVEOUT, nullptr, jf::kOutputInUse};
    case kDeviceNoMemory:
      return {IDS_NO_MEMORY, nullptr, jf::kQueryNoMemory};
    case kDeviceBadFormat:
    case kDeviceInvalidParam:
      return {IDS_NO_SUPPORT, nullptr, jf::kNoPlayDriver};
    default:
      return {IDS_CANT_OPEN_WAVEOUT, nullptr, jf::kCantOpenOutput};
  }
}
