// Driver procedure of vorbis.acm: details, formats, suggestion and the
// conversion streams, each message handled by its own function. The decoding
// itself is the portable VorbisDecoder.
#include "codec/vorbis_acm_win32.h"

#include <cstring>
#include <cwchar>
#include <new>

#include "codec/vorbis_decoder.h"

namespace {

constexpr WORD kTagVorbis = 0x674F;  // "OggVorbis mode1", the format TAPEON builds
constexpr WORD kPcmBits = 16;
constexpr WORD kVorbisCbSize = 8;
// The extension words of the Ogg Vorbis wave format, as TAPEON builds it.
constexpr DWORD kVorbisWords[2] = {0x20001214, 0x20001031};
constexpr DWORD kVorbisFormatSize = sizeof(WAVEFORMATEX) + kVorbisCbSize;  // 26
constexpr DWORD kPcmFormatSize = sizeof(PCMWAVEFORMAT);                   // 16
constexpr WORD kMaxChannels = 8;
// Standard formats offered for enumeration: these rates, mono and stereo.
constexpr DWORD kStandardRates[] = {8000, 11025, 16000, 22050, 32000, 44100, 48000};
constexpr DWORD kRateCount = sizeof kStandardRates / sizeof kStandardRates[0];
constexpr DWORD kStandardFormats = kRateCount * 2;
// Byte rate given to enumerated Vorbis formats: 64 kbit/s per channel.
constexpr DWORD kVorbisBytesPerSecPerChannel = 8000;
constexpr DWORD kDriverVersion = 0x01000000;  // 1.0
constexpr DWORD kAcmVersion = 0x03320000;     // written for the manager of version 3.50
constexpr WORD kUnmappedId = 0xFFFF;          // no registered manufacturer or product id
constexpr FOURCC kAudioCodec = mmioFOURCC('a', 'u', 'd', 'c');

enum TagIndex : DWORD { kIndexPcm = 0, kIndexVorbis = 1, kTagCount = 2 };

#pragma pack(push, 1)
struct VorbisFormat {
  WAVEFORMATEX wf;
  DWORD words[2];
};
#pragma pack(pop)

// Copies a filled record into the caller's one, no more than its size says.
template <typename Record>
void CopyOut(const Record& full, Record* out) {
  DWORD size = out->cbStruct < sizeof full ? out->cbStruct : static_cast<DWORD>(sizeof full);
  std::memcpy(out, &full, size);
  out->cbStruct = size;
}

void CopyName(WCHAR* to, size_t chars, const wchar_t* text) {
  wcsncpy(to, text, chars - 1);
  to[chars - 1] = L'\0';
}

bool IsVorbis(const WAVEFORMATEX* f) {
  return f->wFormatTag == kTagVorbis && f->nChannels >= 1 && f->nChannels <= kMaxChannels &&
         f->nSamplesPerSec > 0;
}

bool IsPcmFor(const WAVEFORMATEX* pcm, const WAVEFORMATEX* vorbis) {
  return pcm->wFormatTag == WAVE_FORMAT_PCM && pcm->wBitsPerSample == kPcmBits &&
         pcm->nChannels == vorbis->nChannels && pcm->nSamplesPerSec == vorbis->nSamplesPerSec &&
         pcm->nBlockAlign == pcm->nChannels * (kPcmBits / 8);
}

void FillPcm(WAVEFORMATEX* f, WORD channels, DWORD rate, DWORD size) {
  f->wFormatTag = WAVE_FORMAT_PCM;
  f->nChannels = channels;
  f->nSamplesPerSec = rate;
  f->nBlockAlign = static_cast<WORD>(channels * (kPcmBits / 8));
  f->nAvgBytesPerSec = rate * f->nBlockAlign;
  f->wBitsPerSample = kPcmBits;
  if (size >= sizeof(WAVEFORMATEX)) f->cbSize = 0;
}

void FillVorbis(WAVEFORMATEX* f, WORD channels, DWORD rate) {
  VorbisFormat v = {};
  v.wf = {kTagVorbis, channels, rate, channels * kVorbisBytesPerSecPerChannel, static_cast<WORD>(channels * 2),
          kPcmBits, kVorbisCbSize};
  v.words[0] = kVorbisWords[0];
  v.words[1] = kVorbisWords[1];
  std::memcpy(f, &v, sizeof v);
}

void DescribeFormat(const WAVEFORMATEX* f, WCHAR* text) {
  _snwprintf(text, ACMFORMATDETAILS_FORMAT_CHARS, L"%lu Hz, %s", static_cast<unsigned long>(f->nSamplesPerSec),
             f->nChannels == 1 ? L"Mono" : f->nChannels == 2 ? L"Stereo" : L"Multichannel");
  text[ACMFORMATDETAILS_FORMAT_CHARS - 1] = L'\0';
}

LRESULT OnOpenDriver(LPARAM param2) {
  auto* open = reinterpret_cast<ACMDRVOPENDESCW*>(param2);
  // Opened by the manager: only as an audio codec. Opened otherwise (a
  // control panel): any nonzero id will do.
  if (open == nullptr) return 1;
  if (open->fccType != kAudioCodec) return 0;
  open->dwError = MMSYSERR_NOERROR;
  return 1;
}

LRESULT OnDriverDetails(ACMDRIVERDETAILSW* out) {
  ACMDRIVERDETAILSW d = {};
  d.cbStruct = sizeof d;
  d.fccType = kAudioCodec;
  d.fccComp = ACMDRIVERDETAILS_FCCCOMP_UNDEFINED;
  d.wMid = kUnmappedId;
  d.wPid = kUnmappedId;
  d.vdwACM = kAcmVersion;
  d.vdwDriver = kDriverVersion;
  d.fdwSupport = ACMDRIVERDETAILS_SUPPORTF_CODEC;
  d.cFormatTags = kTagCount;
  d.cFilterTags = 0;
  CopyName(d.szShortName, ACMDRIVERDETAILS_SHORTNAME_CHARS, L"Ogg Vorbis");
  CopyName(d.szLongName, ACMDRIVERDETAILS_LONGNAME_CHARS, L"Ogg Vorbis decoder (libogg, libvorbis)");
  CopyName(d.szCopyright, ACMDRIVERDETAILS_COPYRIGHT_CHARS, L"libogg and libvorbis: Xiph.Org Foundation");
  CopyName(d.szLicensing, ACMDRIVERDETAILS_LICENSING_CHARS, L"BSD-style licence of libogg and libvorbis");
  CopyName(d.szFeatures, ACMDRIVERDETAILS_FEATURES_CHARS, L"Ogg Vorbis to 16-bit PCM");
  CopyOut(d, out);
  return MMSYSERR_NOERROR;
}

LRESULT OnFormatTagDetails(ACMFORMATTAGDETAILSW* out, DWORD query) {
  DWORD index;
  switch (query & ACM_FORMATTAGDETAILSF_QUERYMASK) {
    case ACM_FORMATTAGDETAILSF_INDEX:
      index = out->dwFormatTagIndex;
      break;
    case ACM_FORMATTAGDETAILSF_FORMATTAG:
    case ACM_FORMATTAGDETAILSF_LARGESTSIZE:
      if (out->dwFormatTag == kTagVorbis ||
          (out->dwFormatTag == WAVE_FORMAT_UNKNOWN && (query & ACM_FORMATTAGDETAILSF_LARGESTSIZE)))
        index = kIndexVorbis;
      else if (out->dwFormatTag == WAVE_FORMAT_PCM)
        index = kIndexPcm;
      else
        return ACMERR_NOTPOSSIBLE;
      break;
    default:
      return MMSYSERR_NOTSUPPORTED;
  }
  if (index >= kTagCount) return ACMERR_NOTPOSSIBLE;
  ACMFORMATTAGDETAILSW d = {};
  d.cbStruct = sizeof d;
  d.dwFormatTagIndex = index;
  d.dwFormatTag = index == kIndexPcm ? WAVE_FORMAT_PCM : kTagVorbis;
  d.cbFormatSize = index == kIndexPcm ? kPcmFormatSize : kVorbisFormatSize;
  d.fdwSupport = ACMDRIVERDETAILS_SUPPORTF_CODEC;
  d.cStandardFormats = kStandardFormats;
  CopyName(d.szFormatTag, ACMFORMATTAGDETAILS_FORMATTAG_CHARS, index == kIndexPcm ? L"PCM" : L"OggVorbis mode1");
  CopyOut(d, out);
  return MMSYSERR_NOERROR;
}

LRESULT OnFormatDetails(ACMFORMATDETAILSW* d, DWORD query) {
  switch (query & ACM_FORMATDETAILSF_QUERYMASK) {
    case ACM_FORMATDETAILSF_INDEX: {
      if (d->dwFormatIndex >= kStandardFormats) return ACMERR_NOTPOSSIBLE;
      const WORD channels = static_cast<WORD>(d->dwFormatIndex % 2 + 1);
      const DWORD rate = kStandardRates[d->dwFormatIndex / 2];
      if (d->dwFormatTag == WAVE_FORMAT_PCM) {
        if (d->cbwfx < kPcmFormatSize) return MMSYSERR_INVALPARAM;
        FillPcm(d->pwfx, channels, rate, d->cbwfx);
      } else if (d->dwFormatTag == kTagVorbis) {
        if (d->cbwfx < kVorbisFormatSize) return MMSYSERR_INVALPARAM;
        FillVorbis(d->pwfx, channels, rate);
      } else {
        return ACMERR_NOTPOSSIBLE;
      }
      break;
    }
    case ACM_FORMATDETAILSF_FORMAT: {
      const WAVEFORMATEX* f = d->pwfx;
      const bool known = f->wFormatTag == WAVE_FORMAT_PCM
                             ? f->wBitsPerSample == kPcmBits && f->nChannels >= 1 && f->nChannels <= kMaxChannels
                             : IsVorbis(f);
      if (!known) return ACMERR_NOTPOSSIBLE;
      break;
    }
    default:
      return MMSYSERR_NOTSUPPORTED;
  }
  d->fdwSupport = ACMDRIVERDETAILS_SUPPORTF_CODEC;
  DescribeFormat(d->pwfx, d->szFormat);
  return MMSYSERR_NOERROR;
}

LRESULT OnFormatSuggest(ACMDRVFORMATSUGGEST* s) {
  const WAVEFORMATEX* src = s->pwfxSrc;
  WAVEFORMATEX* dst = s->pwfxDst;
  if (!IsVorbis(src) || s->cbwfxDst < kPcmFormatSize) return ACMERR_NOTPOSSIBLE;
  const DWORD asked = s->fdwSuggest & ACM_FORMATSUGGESTF_TYPEMASK;
  // Only the conversion this driver makes: 16-bit PCM, same channels and rate.
  if ((asked & ACM_FORMATSUGGESTF_WFORMATTAG) && dst->wFormatTag != WAVE_FORMAT_PCM) return ACMERR_NOTPOSSIBLE;
  if ((asked & ACM_FORMATSUGGESTF_NCHANNELS) && dst->nChannels != src->nChannels) return ACMERR_NOTPOSSIBLE;
  if ((asked & ACM_FORMATSUGGESTF_NSAMPLESPERSEC) && dst->nSamplesPerSec != src->nSamplesPerSec)
    return ACMERR_NOTPOSSIBLE;
  if ((asked & ACM_FORMATSUGGESTF_WBITSPERSAMPLE) && dst->wBitsPerSample != kPcmBits) return ACMERR_NOTPOSSIBLE;
  FillPcm(dst, src->nChannels, src->nSamplesPerSec, s->cbwfxDst);
  return MMSYSERR_NOERROR;
}

VorbisDecoder* DecoderOf(const ACMDRVSTREAMINSTANCE* stream) {
  return reinterpret_cast<VorbisDecoder*>(stream->dwDriver);
}

LRESULT OnStreamOpen(ACMDRVSTREAMINSTANCE* stream) {
  const WAVEFORMATEX* src = stream->pwfxSrc;
  const WAVEFORMATEX* dst = stream->pwfxDst;
  if (stream->pwfltr != nullptr || !IsVorbis(src) || !IsPcmFor(dst, src)) return ACMERR_NOTPOSSIBLE;
  // Conversions run synchronously, inside the convert call.
  if (stream->fdwOpen & ACM_STREAMOPENF_ASYNC) return ACMERR_NOTPOSSIBLE;
  if (stream->fdwOpen & ACM_STREAMOPENF_QUERY) return MMSYSERR_NOERROR;
  const double ratio =
      src->nAvgBytesPerSec > 0 ? static_cast<double>(dst->nAvgBytesPerSec) / src->nAvgBytesPerSec : 0.0;
  auto* decoder = new (std::nothrow) VorbisDecoder(dst->nChannels, ratio);
  if (decoder == nullptr) return MMSYSERR_NOMEM;
  stream->dwDriver = reinterpret_cast<DWORD_PTR>(decoder);
  return MMSYSERR_NOERROR;
}

LRESULT OnStreamClose(ACMDRVSTREAMINSTANCE* stream) {
  delete DecoderOf(stream);
  stream->dwDriver = 0;
  return MMSYSERR_NOERROR;
}

LRESULT OnStreamSize(const ACMDRVSTREAMINSTANCE* stream, ACMDRVSTREAMSIZE* size) {
  const VorbisDecoder* decoder = DecoderOf(stream);
  if (decoder == nullptr) return MMSYSERR_INVALHANDLE;
  switch (size->fdwSize & ACM_STREAMSIZEF_QUERYMASK) {
    case ACM_STREAMSIZEF_SOURCE: {
      const size_t bytes = decoder->EstimateOutput(size->cbSrcLength);
      size->cbDstLength = static_cast<DWORD>(bytes);
      return MMSYSERR_NOERROR;
    }
    case ACM_STREAMSIZEF_DESTINATION:
      size->cbSrcLength = static_cast<DWORD>(decoder->EstimateInput(size->cbDstLength));
      return size->cbSrcLength > 0 ? MMSYSERR_NOERROR : ACMERR_NOTPOSSIBLE;
    default:
      return MMSYSERR_NOTSUPPORTED;
  }
}

LRESULT OnStreamConvert(const ACMDRVSTREAMINSTANCE* stream, ACMDRVSTREAMHEADER* header) {
  VorbisDecoder* decoder = DecoderOf(stream);
  if (decoder == nullptr) return MMSYSERR_INVALHANDLE;
  // ACM_STREAMCONVERTF_START begins a new stream. BLOCKALIGN and END need
  // nothing more: the source is always taken whole and the output is whole
  // frames; what the destination cannot take waits, decoded or not, for the
  // next call.
  if (header->fdwConvert & ACM_STREAMCONVERTF_START) decoder->Reset();
  DecodeResult r = decoder->Convert(header->pbSrc, header->cbSrcLength, header->pbDst, header->cbDstLength);
  // A stream that cannot be decoded from its start fails its first
  // conversions, which the player reports. One that fails later (a damaged
  // link of a chained file) plays on in silence to its end.
  if (decoder->failed() && !decoder->decoded_any()) {
    header->cbSrcLengthUsed = header->cbSrcLength;
    header->cbDstLengthUsed = 0;
    return ACMERR_NOTPOSSIBLE;
  }
  // A conversion that gives no bytes (a block of headers or damaged pages
  // only) makes Wine's wave mapper fail the write, and the block would never
  // come back to the player; one silent frame keeps the queue moving.
  const DWORD frame = stream->pwfxDst->nBlockAlign;
  if (r.produced == 0 && header->cbDstLength >= frame) {
    std::memset(header->pbDst, 0, frame);
    r.produced = frame;
  }
  header->cbSrcLengthUsed = static_cast<DWORD>(r.consumed);
  header->cbDstLengthUsed = static_cast<DWORD>(r.produced);
  return MMSYSERR_NOERROR;
}

}  // namespace

extern "C" LRESULT CALLBACK DriverProc(DWORD_PTR driver_id, HDRVR driver, UINT message, LPARAM param1,
                                       LPARAM param2) {
  switch (message) {
    case DRV_LOAD:
    case DRV_FREE:
    case DRV_ENABLE:
    case DRV_DISABLE:
    case DRV_CLOSE:
      return 1;
    case DRV_OPEN:
      return OnOpenDriver(param2);
    case DRV_QUERYCONFIGURE:
      return 0;  // nothing to configure
    case DRV_INSTALL:
    case DRV_REMOVE:
      return DRVCNF_OK;
    case ACMDM_DRIVER_NOTIFY:
      return MMSYSERR_NOERROR;
    case ACMDM_DRIVER_DETAILS:
      return OnDriverDetails(reinterpret_cast<ACMDRIVERDETAILSW*>(param1));
    case ACMDM_FORMATTAG_DETAILS:
      return OnFormatTagDetails(reinterpret_cast<ACMFORMATTAGDETAILSW*>(param1), static_cast<DWORD>(param2));
    case ACMDM_FORMAT_DETAILS:
      return OnFormatDetails(reinterpret_cast<ACMFORMATDETAILSW*>(param1), static_cast<DWORD>(param2));
    case ACMDM_FORMAT_SUGGEST:
      return OnFormatSuggest(reinterpret_cast<ACMDRVFORMATSUGGEST*>(param1));
    case ACMDM_STREAM_OPEN:
      return OnStreamOpen(reinterpret_cast<ACMDRVSTREAMINSTANCE*>(param1));
    case ACMDM_STREAM_CLOSE:
      return OnStreamClose(reinterpret_cast<ACMDRVSTREAMINSTANCE*>(param1));
    case ACMDM_STREAM_SIZE:
      return OnStreamSize(reinterpret_cast<ACMDRVSTREAMINSTANCE*>(param1),
                          reinterpret_cast<ACMDRVSTREAMSIZE*>(param2));
    case ACMDM_STREAM_CONVERT:
      return OnStreamConvert(reinterpret_cast<ACMDRVSTREAMINSTANCE*>(param1),
                             reinterpret_cast<ACMDRVSTREAMHEADER*>(param2));
    case ACMDM_STREAM_RESET:
      // Conversions are synchronous: none is ever pending to be stopped.
      return MMSYSERR_NOERROR;
    case ACMDM_STREAM_PREPARE:
    case ACMDM_STREAM_UNPREPARE:
      return MMSYSERR_NOERROR;  // the headers need nothing of this driver
    case ACMDM_HARDWARE_WAVE_CAPS_INPUT:
    case ACMDM_HARDWARE_WAVE_CAPS_OUTPUT:
    case ACMDM_FILTERTAG_DETAILS:
    case ACMDM_FILTER_DETAILS:
      return MMSYSERR_NOTSUPPORTED;
    default:
      return DefDriverProc(driver_id, driver, message, param1, param2);
  }
}

// Setup runs this from the copy in the system folder, so the name is written
// only when the file is there: a package without vorbis.acm leaves the
// registry as it was, also under Wine, whose setup skips a missing file
// without asking. A different "msacm.vorbis" value (another Ogg Vorbis
// driver) is replaced: the manager loads one driver per name, and the user
// asked for this one. Its file stays where it is.
extern "C" HRESULT WINAPI DllRegisterServer() {
  static const char kDrivers32[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32";
  static const char kValue[] = "msacm.vorbis";
  static const char kFile[] = "vorbis.acm";
  // What the manager learnt of the driver known by this name (a replaced
  // one's formats) would otherwise be used instead of asking this one.
  static const char kCache[] = "Software\\Microsoft\\AudioCompressionManager\\DriverCache\\msacm.vorbis";
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kDrivers32, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return E_ACCESSDENIED;
  const LONG written =
      RegSetValueExA(key, kValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(kFile), sizeof(kFile));
  RegCloseKey(key);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, kCache);
  return written == ERROR_SUCCESS ? S_OK : E_ACCESSDENIED;
}
