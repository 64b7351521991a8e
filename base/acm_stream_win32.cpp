// Conversions through the audio compression manager, looked up at run time.
#include "base/acm_stream_win32.h"

#include <cstring>

#include "base/format_record.h"

namespace {

// acmStreamOpen only reads the two format records; its header's writable
// pointers are declared const here, which passes the same pointers.
typedef MMRESULT(WINAPI* StreamOpenFn)(LPHACMSTREAM, HACMDRIVER, const WAVEFORMATEX*, const WAVEFORMATEX*, LPWAVEFILTER,
                                       DWORD_PTR, DWORD_PTR, DWORD);
typedef MMRESULT(WINAPI* StreamCloseFn)(HACMSTREAM, DWORD);
typedef MMRESULT(WINAPI* StreamSizeFn)(HACMSTREAM, DWORD, LPDWORD, DWORD);
typedef MMRESULT(WINAPI* StreamHeaderFn)(HACMSTREAM, LPACMSTREAMHEADER, DWORD);
typedef MMRESULT(WINAPI* FormatSuggestFn)(HACMDRIVER, LPWAVEFORMATEX, LPWAVEFORMATEX, DWORD, DWORD);

// Block-coded formats convert whole blocks: a piece holds at least one.
constexpr DWORD kLargestBlock = 65536;
// Room for the largest PCM record a codec may suggest (extensible: 40 bytes).
constexpr DWORD kSuggestedRecordBytes = 64;

struct Library {
  bool tried = false;
  StreamOpenFn open = nullptr;
  StreamCloseFn close = nullptr;
  StreamSizeFn size = nullptr;
  StreamHeaderFn prepare = nullptr;
  StreamHeaderFn unprepare = nullptr;
  StreamHeaderFn convert = nullptr;
  FormatSuggestFn suggest = nullptr;
  AcmFormatTagDetailsFn tag_details = nullptr;
};

// Per process: loaded once, at the first use, and kept (Loaded).
Library library;

template <class Function>
Function Find(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// The library, loaded once, here alone; it stays loaded for the life of the
// program. The functions it lacks are nullptr.
const Library& Loaded() {
  if (!library.tried) {
    library.tried = true;
    HMODULE module = LoadLibraryA("MSACM32.DLL");
    if (reinterpret_cast<UINT_PTR>(module) >= 32) {
      library.open = Find<StreamOpenFn>(module, "acmStreamOpen");
      library.close = Find<StreamCloseFn>(module, "acmStreamClose");
      library.size = Find<StreamSizeFn>(module, "acmStreamSize");
      library.prepare = Find<StreamHeaderFn>(module, "acmStreamPrepareHeader");
      library.unprepare = Find<StreamHeaderFn>(module, "acmStreamUnprepareHeader");
      library.convert = Find<StreamHeaderFn>(module, "acmStreamConvert");
      library.suggest = Find<FormatSuggestFn>(module, "acmFormatSuggest");
      library.tag_details = Find<AcmFormatTagDetailsFn>(module, "acmFormatTagDetailsA");
    }
  }
  return library;
}

// The conversion functions, or nullptr where the library or one of them is
// missing.
const Library* Acm() {
  const Library& l = Loaded();
  const bool whole = l.open && l.close && l.size && l.prepare && l.unprepare && l.convert && l.suggest;
  return whole ? &library : nullptr;
}

}  // namespace

AcmFormatTagDetailsFn AcmFormatTagDetails() { return Loaded().tag_details; }

std::vector<uint8_t> AcmSourceRecord(const uint8_t* record, size_t size) {
  std::vector<uint8_t> copy(size < sizeof(WAVEFORMATEX) ? sizeof(WAVEFORMATEX) : size, 0);
  if (record && size > 0) memcpy(copy.data(), record, size);
  auto* format = reinterpret_cast<WAVEFORMATEX*>(copy.data());
  if (size < sizeof(WAVEFORMATEX) || sizeof(WAVEFORMATEX) + format->cbSize > size) {
    format->cbSize = static_cast<WORD>(size > sizeof(WAVEFORMATEX) ? size - sizeof(WAVEFORMATEX) : 0);
  }
  return copy;
}

std::vector<uint8_t> SuggestAcmPcm(const std::vector<uint8_t>& source) {
  const Library* acm = Acm();
  if (!acm || source.size() < sizeof(WAVEFORMATEX)) return {};
  std::vector<uint8_t> source_copy(source);  // the call takes a writable record
  std::vector<uint8_t> pcm(kSuggestedRecordBytes, 0);
  auto* from = reinterpret_cast<WAVEFORMATEX*>(source_copy.data());
  auto* to = reinterpret_cast<WAVEFORMATEX*>(pcm.data());
  if (acm->suggest(nullptr, from, to, kSuggestedRecordBytes, 0) != MMSYSERR_NOERROR) return {};
  // Only PCM, or extensible PCM whose record is whole, is taken; the codec's
  // answer is not trusted beyond the room it was given.
  if (to->nChannels == 0 || to->nSamplesPerSec == 0 || to->nBlockAlign == 0) return {};
  if (to->wFormatTag == WAVE_TAG_PCM) {
    to->cbSize = 0;
    pcm.resize(sizeof(WAVEFORMATEX));
    return pcm;
  }
  if (to->wFormatTag != WAVE_TAG_EXTENSIBLE || EffectiveWaveTag(pcm.data(), pcm.size()) != WAVE_TAG_PCM) return {};
  to->cbSize = EXTENSIBLE_EXTENSION_BYTES;
  pcm.resize(EXTENSIBLE_RECORD_BYTES);
  return pcm;
}

bool AcmStream::Open(const WAVEFORMATEX* from, const WAVEFORMATEX* to, DWORD piece, DWORD largest_out) {
  Close();
  const Library* acm = Acm();
  if (!acm || !from || !to || from->nChannels == 0 || from->nSamplesPerSec == 0) return false;
  if (from->nBlockAlign > kLargestBlock) return false;
  HACMSTREAM stream = nullptr;
  if (acm->open(&stream, nullptr, from, to, nullptr, 0, 0, 0) !=
          MMSYSERR_NOERROR ||
      !stream) {
    return false;
  }
  stream_ = stream;
  const DWORD block = from->nBlockAlign > 1 ? from->nBlockAlign : 1;
  piece = (piece + block - 1) / block * block;
  DWORD out = 0;
  for (;;) {
    if (acm->size(stream, piece, &out, ACM_STREAMSIZEF_SOURCE) != MMSYSERR_NOERROR || out == 0) {
      Close();
      return false;
    }
    if (out <= largest_out || piece <= block) break;
    piece = (piece / 2 + block - 1) / block * block;
  }
  // A converter that estimates more than the largest destination even for
  // one block fills it again and again (Convert).
  if (out > largest_out) out = largest_out;
  source_.assign(piece, 0);
  destination_.assign(out, 0);
  staged_ = 0;
  started_ = false;
  header_ = ACMSTREAMHEADER();
  header_.cbStruct = sizeof header_;
  header_.pbSrc = source_.data();
  header_.cbSrcLength = piece;
  header_.pbDst = destination_.data();
  header_.cbDstLength = out;
  prepared_ = acm->prepare(stream_, &header_, 0) == MMSYSERR_NOERROR;
  if (!prepared_) Close();
  return prepared_;
}

void AcmStream::Close() {
  // Only an open stream touches the library (a closed one may be destroyed
  // at exit without it ever having been loaded).
  const Library* acm = stream_ ? Acm() : nullptr;
  if (acm) {
    if (prepared_) {
      header_.cbSrcLength = static_cast<DWORD>(source_.size());
      header_.cbDstLength = static_cast<DWORD>(destination_.size());
      acm->unprepare(stream_, &header_, 0);
    }
    acm->close(stream_, 0);
  }
  stream_ = nullptr;
  prepared_ = false;
  staged_ = 0;
  // The buffers go with the stream.
  std::vector<uint8_t>().swap(source_);
  std::vector<uint8_t>().swap(destination_);
}

bool AcmStream::ConvertStaged(bool end, DWORD& out) {
  out = 0;
  const Library* acm = Acm();
  if (!is_open() || !acm) return false;
  ACMSTREAMHEADER& h = header_;
  h.cbSrcLength = staged_;
  h.cbDstLength = static_cast<DWORD>(destination_.size());
  h.cbSrcLengthUsed = 0;
  h.cbDstLengthUsed = 0;
  DWORD flags = end ? ACM_STREAMCONVERTF_END : ACM_STREAMCONVERTF_BLOCKALIGN;
  if (!started_) flags |= ACM_STREAMCONVERTF_START;
  started_ = true;
  if (acm->convert(stream_, &h, flags) != MMSYSERR_NOERROR) return false;
  // The driver's counts are not trusted beyond the buffers.
  DWORD used = h.cbSrcLengthUsed <= staged_ ? h.cbSrcLengthUsed : staged_;
  out = h.cbDstLengthUsed <= h.cbDstLength ? h.cbDstLengthUsed : h.cbDstLength;
  // What the converter left (a partial block) waits for the next bytes; a
  // full piece it takes nothing of is dropped, or it would stay stuck; after
  // the last bytes nothing waits.
  if ((used == 0 && staged_ == source_.size()) || end) used = staged_;
  memmove(source_.data(), source_.data() + used, staged_ - used);
  staged_ -= used;
  return true;
}
