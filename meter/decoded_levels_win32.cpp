// Levels of compressed sound through the audio compression manager. The
// library is loaded at run time, as for the format names, so that the
// program runs where it is missing (the meter then has no decoded source).
#include "meter/decoded_levels_win32.h"

#include <mmreg.h>
#include <msacm.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

typedef MMRESULT(WINAPI* StreamOpenFn)(LPHACMSTREAM, HACMDRIVER, LPWAVEFORMATEX, LPWAVEFORMATEX, LPWAVEFILTER,
                                       DWORD_PTR, DWORD_PTR, DWORD);
typedef MMRESULT(WINAPI* StreamCloseFn)(HACMSTREAM, DWORD);
typedef MMRESULT(WINAPI* StreamSizeFn)(HACMSTREAM, DWORD, LPDWORD, DWORD);
typedef MMRESULT(WINAPI* StreamHeaderFn)(HACMSTREAM, LPACMSTREAMHEADER, DWORD);

// Source bytes converted per call. Small, so that the destination stays a
// few hundred KB whatever the compression ratio, and the meter never holds
// more than this of a memory block at once.
constexpr DWORD kSourcePiece = 4096;
// Block-coded formats convert whole blocks: a piece holds at least one.
constexpr DWORD kLargestBlock = 65536;
// A destination estimate beyond this is not believed: no decoded source.
constexpr DWORD kLargestDestination = 4u << 20;
// So much source without any sound out of it means the stream has lost its
// way (garbage, a cut): the meter says it has no level rather than freeze.
constexpr DWORD kLeastSilentSource = 8192;
// Fewer frames than this from one measurement are not a level: a converter
// may answer bytes that complete nothing with a frame or two of silence.
constexpr DWORD kLeastFrames = 64;

struct Converter {
  HMODULE library = nullptr;
  StreamOpenFn open = nullptr;
  StreamCloseFn close = nullptr;
  StreamSizeFn size = nullptr;
  StreamHeaderFn prepare = nullptr;
  StreamHeaderFn unprepare = nullptr;
  MMRESULT(WINAPI* convert)(HACMSTREAM, LPACMSTREAMHEADER, DWORD) = nullptr;

  HACMSTREAM stream = nullptr;
  ACMSTREAMHEADER header = {};
  bool prepared = false;
  std::vector<uint8_t> source;       // staged source bytes, `staged` of them
  std::vector<uint8_t> destination;  // the PCM of one call
  DWORD staged = 0;
  DWORD piece = kSourcePiece;
  bool started = false;       // the first conversion was made (with the start flag)
  bool gave_sound = false;    // some PCM has come out since the open
  DWORD silent_source = 0;    // source bytes converted since the last PCM
  DWORD silent_limit = kLeastSilentSource;
  bool stereo = false;
  DWORD frame_bytes = 2;
  DWORD rate = 0;
  unsigned long long frames_out = 0;  // PCM frames converted since the open
};

Converter converter;

template <class Function>
Function Find(HMODULE library, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

bool LoadLibraryOnce() {
  if (converter.library) return converter.open != nullptr;
  HMODULE library = LoadLibraryA("MSACM32.DLL");
  if (reinterpret_cast<UINT_PTR>(library) < 32) return false;
  converter.library = library;
  converter.open = Find<StreamOpenFn>(library, "acmStreamOpen");
  converter.close = Find<StreamCloseFn>(library, "acmStreamClose");
  converter.size = Find<StreamSizeFn>(library, "acmStreamSize");
  converter.prepare = Find<StreamHeaderFn>(library, "acmStreamPrepareHeader");
  converter.unprepare = Find<StreamHeaderFn>(library, "acmStreamUnprepareHeader");
  converter.convert = Find<StreamHeaderFn>(library, "acmStreamConvert");
  if (!converter.open || !converter.close || !converter.size || !converter.prepare || !converter.unprepare ||
      !converter.convert) {
    converter.open = nullptr;
    return false;
  }
  return true;
}

void PrepareHeader() {
  ACMSTREAMHEADER& h = converter.header;
  h = ACMSTREAMHEADER();
  h.cbStruct = sizeof h;
  h.pbSrc = converter.source.data();
  h.cbSrcLength = static_cast<DWORD>(converter.source.size());
  h.pbDst = converter.destination.data();
  h.cbDstLength = static_cast<DWORD>(converter.destination.size());
  converter.prepared = converter.prepare(converter.stream, &h, 0) == MMSYSERR_NOERROR;
}

// Hands the staged bytes to the converter and takes the peaks of what comes
// out. False when the call fails.
bool ConvertStaged(ChannelPeaks& peaks, DWORD& frames) {
  ACMSTREAMHEADER& h = converter.header;
  h.cbSrcLength = converter.staged;
  h.cbDstLength = static_cast<DWORD>(converter.destination.size());
  h.cbSrcLengthUsed = 0;
  h.cbDstLengthUsed = 0;
  DWORD flags = ACM_STREAMCONVERTF_BLOCKALIGN;
  if (!converter.started) flags |= ACM_STREAMCONVERTF_START;
  converter.started = true;
  if (converter.convert(converter.stream, &h, flags) != MMSYSERR_NOERROR) return false;
  // The driver's counts are not trusted beyond the buffers.
  DWORD used = h.cbSrcLengthUsed <= converter.staged ? h.cbSrcLengthUsed : converter.staged;
  DWORD out = h.cbDstLengthUsed <= h.cbDstLength ? h.cbDstLengthUsed : h.cbDstLength;
  if (out > 0) {
    PcmLayout pcm;
    pcm.direct = true;
    pcm.channels = converter.stereo ? 2 : 1;
    pcm.bytes_per_sample = 2;
    ChannelPeaks got = ScanPcmPeaks(pcm, converter.destination.data(), static_cast<long>(out), 1);
    converter.frames_out += out / converter.frame_bytes;
    frames += out / converter.frame_bytes;
    if (got.left > peaks.left) peaks.left = got.left;
    if (got.right > peaks.right) peaks.right = got.right;
  }
  // What the converter left (a partial block) waits for the next bytes;
  // a full piece it takes nothing of is dropped, or it would stay stuck.
  if (used == 0 && converter.staged == converter.source.size()) used = converter.staged;
  memmove(converter.source.data(), converter.source.data() + used, converter.staged - used);
  converter.staged -= used;
  return true;
}

}  // namespace

void OpenDecodedLevels(const uint8_t* record, size_t size) {
  CloseDecodedLevels();
  if (DecodedLevelsSwitchedOff()) return;
  if (record == nullptr || size < sizeof(WAVEFORMAT) || PcmLayoutOf(record, size).direct) return;
  if (!LoadLibraryOnce()) return;

  // The converter reads cbSize extension bytes after the 18-byte record:
  // give it a copy that holds them, whatever the file's record held.
  std::vector<uint8_t> source_format(size < sizeof(WAVEFORMATEX) ? sizeof(WAVEFORMATEX) : size, 0);
  memcpy(source_format.data(), record, size);
  auto* from = reinterpret_cast<WAVEFORMATEX*>(source_format.data());
  if (size < sizeof(WAVEFORMATEX) || sizeof(WAVEFORMATEX) + from->cbSize > size) {
    from->cbSize = static_cast<WORD>(size > sizeof(WAVEFORMATEX) ? size - sizeof(WAVEFORMATEX) : 0);
  }
  if (from->nChannels == 0 || from->nSamplesPerSec == 0) return;

  WAVEFORMATEX to = {};
  to.wFormatTag = WAVE_FORMAT_PCM;
  to.nChannels = from->nChannels;
  to.nSamplesPerSec = from->nSamplesPerSec;
  to.wBitsPerSample = 16;
  to.nBlockAlign = static_cast<WORD>(to.nChannels * 2);
  to.nAvgBytesPerSec = to.nSamplesPerSec * to.nBlockAlign;

  HACMSTREAM stream = nullptr;
  if (converter.open(&stream, nullptr, from, &to, nullptr, 0, 0, 0) != MMSYSERR_NOERROR || !stream) return;
  converter.stream = stream;

  DWORD piece = kSourcePiece;
  if (from->nBlockAlign > 1) {
    if (from->nBlockAlign > kLargestBlock) {
      CloseDecodedLevels();
      return;
    }
    piece = (piece + from->nBlockAlign - 1) / from->nBlockAlign * from->nBlockAlign;
  }
  DWORD out = 0;
  if (converter.size(stream, piece, &out, ACM_STREAMSIZEF_SOURCE) != MMSYSERR_NOERROR || out == 0 ||
      out > kLargestDestination) {
    CloseDecodedLevels();
    return;
  }
  converter.piece = piece;
  converter.source.assign(piece, 0);
  converter.destination.assign(out, 0);
  converter.staged = 0;
  converter.started = false;
  converter.gave_sound = false;
  converter.silent_source = 0;
  // About a second of the stream, and never less than a few pages of it.
  converter.silent_limit = from->nAvgBytesPerSec > kLeastSilentSource ? from->nAvgBytesPerSec : kLeastSilentSource;
  converter.stereo = to.nChannels >= 2;
  converter.frame_bytes = to.nBlockAlign;
  converter.rate = to.nSamplesPerSec;
  converter.frames_out = 0;
  PrepareHeader();
  if (!converter.prepared) CloseDecodedLevels();
}

void CloseDecodedLevels() {
  if (converter.stream) {
    if (converter.prepared) {
      converter.header.cbSrcLength = static_cast<DWORD>(converter.source.size());
      converter.header.cbDstLength = static_cast<DWORD>(converter.destination.size());
      converter.unprepare(converter.stream, &converter.header, 0);
    }
    converter.close(converter.stream, 0);
  }
  converter.stream = nullptr;
  converter.prepared = false;
  converter.staged = 0;
  // The buffers go with the run.
  std::vector<uint8_t>().swap(converter.source);
  std::vector<uint8_t>().swap(converter.destination);
}

bool DecodedLevelsOpen() { return converter.stream != nullptr && converter.prepared; }

DecodedResult MeasureDecoded(const uint8_t* data, long bytes, ChannelPeaks& peaks) {
  peaks = ChannelPeaks();
  if (!DecodedLevelsOpen()) return DECODED_NONE;
  if (data == nullptr || bytes <= 0) return DECODED_PENDING;
  DWORD frames = 0;
  size_t at = 0;
  const size_t total = static_cast<size_t>(bytes);
  while (at < total) {
    const size_t room = converter.source.size() - converter.staged;
    const size_t take = total - at < room ? total - at : room;
    memcpy(converter.source.data() + converter.staged, data + at, take);
    converter.staged += static_cast<DWORD>(take);
    at += take;
    if (!ConvertStaged(peaks, frames)) {
      converter.staged = 0;
      converter.silent_source = 0;
      return DECODED_NONE;
    }
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
  return converter.rate ? static_cast<double>(converter.frames_out) * 1000.0 / converter.rate : 0.0;
}

bool DecodedLevelsSwitchedOff() {
#ifdef TAPEON_TEST_SWITCHES
  return getenv("TAPEON_METER_SOURCE_OFF") != nullptr;
#else
  return false;
#endif
}
