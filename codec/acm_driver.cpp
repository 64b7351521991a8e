#include "codec/acm_driver.h"

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <new>

#include "codec/vorbis_decoder.h"

namespace {

constexpr WORD kTagVorbis = 0x674F;  // "OggVorbis mode1", the format TAPEON builds
constexpr WORD kPcmBits = 16;
constexpr WORD kVorbisCbSize = 8;
// The extension words of the Ogg Vorbis wave format, as TAPEON builds it.
constexpr DWORD kVorbisWords[2] = {0x20001214, 0x20001031};
constexpr DWORD kWaveFormatSize = 18;                                     // sizeof(WAVEFORMATEX)
constexpr DWORD kVorbisFormatSize = kWaveFormatSize + kVorbisCbSize;      // 26
constexpr DWORD kPcmFormatSize = sizeof(PCMWAVEFORMAT);                   // 16
constexpr WORD kMaxChannels = VorbisDecoder::kMaxChannels;
// Beyond any rate Vorbis is used at; the PCM byte rate of 8 channels at
// this rate fits in a DWORD.
constexpr DWORD kMaxRate = 768000;
// Standard formats offered for enumeration: these rates, mono and stereo
// (5.1 and 7.1 for the extensible PCM format).
constexpr DWORD kStandardRates[] = {8000, 11025, 16000, 22050, 32000, 44100, 48000};
constexpr DWORD kRateCount = sizeof kStandardRates / sizeof kStandardRates[0];
constexpr DWORD kStandardFormats = kRateCount * 2;
constexpr DWORD kExtensibleSize = sizeof(WAVEFORMATEXTENSIBLE);  // 40
constexpr WORD kExtensibleCbSize = kExtensibleSize - kWaveFormatSize;
// KSDATAFORMAT_SUBTYPE_PCM, the sub-format of extensible PCM.
constexpr GUID kSubtypePcm = {0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
// Byte rate given to enumerated Vorbis formats: 64 kbit/s per channel.
constexpr DWORD kVorbisBytesPerSecPerChannel = 8000;
constexpr DWORD kDriverVersion = 0x01000000;  // 1.0
constexpr DWORD kAcmVersion = 0x03320000;     // written for the manager of version 3.50
constexpr WORD kUnmappedId = 0xFFFF;          // no registered manufacturer or product id
constexpr FOURCC kAudioCodec = mmioFOURCC('a', 'u', 'd', 'c');

static_assert(sizeof(WAVEFORMATEX) == kWaveFormatSize, "WAVEFORMATEX is packed");

// Output of more than two channels is offered as WAVE_FORMAT_EXTENSIBLE
// with its speaker mask: devices take no plain PCM of more than two
// channels (Wine's PulseAudio driver refuses it, as Windows does).
enum TagIndex : DWORD { kIndexPcm = 0, kIndexVorbis = 1, kIndexExtensible = 2, kTagCount = 3 };

#pragma pack(push, 1)
struct VorbisFormat {
  WAVEFORMATEX wf;
  DWORD words[2];
};
#pragma pack(pop)

// A conversion stream: its decoder, and whether sound has come out of it
// since it was opened or moved.
struct Stream {
  Stream(int channels, double ratio) : decoder(channels, ratio) {}
  VorbisDecoder decoder;
  bool sound_begun = false;
};

// The bytes of a record the caller says it has, `size` of them, reach past
// the end of `field`.
template <typename Record, typename Field>
bool Reaches(const Record* record, DWORD size, const Field& field) {
  const size_t end =
      static_cast<size_t>(reinterpret_cast<const BYTE*>(&field) - reinterpret_cast<const BYTE*>(record)) + sizeof field;
  return size >= end;
}

// Copies a filled record into the caller's one, no more than its size says.
template <typename Record>
void CopyOut(const Record& full, Record* out) {
  const DWORD size = out->cbStruct < sizeof full ? out->cbStruct : static_cast<DWORD>(sizeof full);
  std::memcpy(out, &full, size);
  out->cbStruct = size;
}

void CopyName(WCHAR* to, size_t chars, const char* text) {
  size_t k = 0;
  for (; k + 1 < chars && text[k] != '\0'; ++k) to[k] = static_cast<WCHAR>(static_cast<unsigned char>(text[k]));
  to[k] = 0;
}

// The first fields of a record of `size` bytes: at least those of PCMWAVEFORMAT.
bool HasFormatFields(const WAVEFORMATEX* f, DWORD size) { return f != nullptr && size >= kPcmFormatSize; }

bool IsVorbis(const WAVEFORMATEX* f) {
  return f->wFormatTag == kTagVorbis && f->nChannels >= 1 && f->nChannels <= kMaxChannels &&
         f->nSamplesPerSec > 0 && f->nSamplesPerSec <= kMaxRate;
}

// 16-bit PCM, plain or extensible (in the WAVE order this driver gives,
// or with no speakers named); `size` is how much of the record may be read.
bool IsPcm16(const WAVEFORMATEX* f, DWORD size) {
  if (f->wBitsPerSample != kPcmBits || f->nChannels < 1 || f->nChannels > kMaxChannels) return false;
  if (f->wFormatTag == WAVE_FORMAT_PCM) return true;
  if (f->wFormatTag != WAVE_FORMAT_EXTENSIBLE || size < kExtensibleSize || f->cbSize < kExtensibleCbSize)
    return false;
  const auto* x = reinterpret_cast<const WAVEFORMATEXTENSIBLE*>(f);
  return std::memcmp(&x->SubFormat, &kSubtypePcm, sizeof kSubtypePcm) == 0 &&
         x->Samples.wValidBitsPerSample == kPcmBits &&
         (x->dwChannelMask == 0 || x->dwChannelMask == VorbisDecoder::WaveChannelMask(f->nChannels));
}

// Size of a format record the manager hands over: a plain PCM record may
// be a PCMWAVEFORMAT, any other carries cbSize bytes more.
DWORD RecordSize(const WAVEFORMATEX* f) {
  return f->wFormatTag == WAVE_FORMAT_PCM ? kPcmFormatSize : kWaveFormatSize + f->cbSize;
}

bool IsPcmFor(const WAVEFORMATEX* pcm, const WAVEFORMATEX* vorbis) {
  return IsPcm16(pcm, RecordSize(pcm)) && pcm->nChannels == vorbis->nChannels &&
         pcm->nSamplesPerSec == vorbis->nSamplesPerSec && pcm->nBlockAlign == pcm->nChannels * (kPcmBits / 8);
}

void FillPcm(WAVEFORMATEX* f, WORD channels, DWORD rate, DWORD size) {
  f->wFormatTag = WAVE_FORMAT_PCM;
  f->nChannels = channels;
  f->nSamplesPerSec = rate;
  f->nBlockAlign = static_cast<WORD>(channels * (kPcmBits / 8));
  f->nAvgBytesPerSec = rate * f->nBlockAlign;
  f->wBitsPerSample = kPcmBits;
  if (size >= kWaveFormatSize) f->cbSize = 0;
}

// `f` has room for kExtensibleSize bytes.
void FillExtensible(WAVEFORMATEX* f, WORD channels, DWORD rate) {
  WAVEFORMATEXTENSIBLE x = {};
  FillPcm(&x.Format, channels, rate, kWaveFormatSize);
  x.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
  x.Format.cbSize = kExtensibleCbSize;
  x.Samples.wValidBitsPerSample = kPcmBits;
  x.dwChannelMask = VorbisDecoder::WaveChannelMask(channels);
  x.SubFormat = kSubtypePcm;
  std::memcpy(f, &x, sizeof x);
}

// `f` has room for kVorbisFormatSize bytes.
void FillVorbis(WAVEFORMATEX* f, WORD channels, DWORD rate) {
  VorbisFormat v = {};
  v.wf.wFormatTag = kTagVorbis;
  v.wf.nChannels = channels;
  v.wf.nSamplesPerSec = rate;
  v.wf.nAvgBytesPerSec = channels * kVorbisBytesPerSecPerChannel;
  v.wf.nBlockAlign = static_cast<WORD>(channels * 2);
  v.wf.wBitsPerSample = kPcmBits;
  v.wf.cbSize = kVorbisCbSize;
  v.words[0] = kVorbisWords[0];
  v.words[1] = kVorbisWords[1];
  std::memcpy(f, &v, sizeof v);
}

void DescribeFormat(const WAVEFORMATEX* f, WCHAR* text) {
  char line[ACMFORMATDETAILS_FORMAT_CHARS];
  std::snprintf(line, sizeof line, "%lu Hz, %s", static_cast<unsigned long>(f->nSamplesPerSec),
                f->nChannels == 1 ? "Mono" : f->nChannels == 2 ? "Stereo" : "Multichannel");
  CopyName(text, ACMFORMATDETAILS_FORMAT_CHARS, line);
}

LRESULT OnOpenDriver(LPARAM param2) {
  auto* open = reinterpret_cast<ACMDRVOPENDESCW*>(param2);
  // Opened by the manager: only as an audio codec. Opened otherwise (a
  // control panel): any nonzero id will do.
  if (open == nullptr) return 1;
  if (!Reaches(open, open->cbStruct, open->dwError)) return 0;
  if (open->fccType != kAudioCodec) return 0;
  open->dwError = MMSYSERR_NOERROR;
  return 1;
}

LRESULT OnDriverDetails(ACMDRIVERDETAILSW* out) {
  if (out == nullptr) return MMSYSERR_INVALPARAM;
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
  CopyName(d.szShortName, ACMDRIVERDETAILS_SHORTNAME_CHARS, "Ogg Vorbis");
  CopyName(d.szLongName, ACMDRIVERDETAILS_LONGNAME_CHARS, "Ogg Vorbis decoder (libogg, libvorbis)");
  CopyName(d.szCopyright, ACMDRIVERDETAILS_COPYRIGHT_CHARS, "libogg and libvorbis: Xiph.Org Foundation");
  CopyName(d.szLicensing, ACMDRIVERDETAILS_LICENSING_CHARS, "BSD-style licence of libogg and libvorbis");
  CopyName(d.szFeatures, ACMDRIVERDETAILS_FEATURES_CHARS, "Ogg Vorbis to 16-bit PCM");
  CopyOut(d, out);
  return MMSYSERR_NOERROR;
}

LRESULT OnFormatTagDetails(ACMFORMATTAGDETAILSW* out, DWORD query) {
  if (out == nullptr || !Reaches(out, out->cbStruct, out->dwFormatTag)) return MMSYSERR_INVALPARAM;
  DWORD index;
  switch (query & ACM_FORMATTAGDETAILSF_QUERYMASK) {
    case ACM_FORMATTAGDETAILSF_INDEX:
      index = out->dwFormatTagIndex;
      break;
    case ACM_FORMATTAGDETAILSF_FORMATTAG:
    case ACM_FORMATTAGDETAILSF_LARGESTSIZE:
      if (out->dwFormatTag == WAVE_FORMAT_EXTENSIBLE ||
          (out->dwFormatTag == WAVE_FORMAT_UNKNOWN && (query & ACM_FORMATTAGDETAILSF_LARGESTSIZE)))
        index = kIndexExtensible;
      else if (out->dwFormatTag == kTagVorbis)
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
  static const struct {
    WORD tag;
    DWORD size;
    const char* name;
  } kTags[kTagCount] = {{WAVE_FORMAT_PCM, kPcmFormatSize, "PCM"},
                        {kTagVorbis, kVorbisFormatSize, "OggVorbis mode1"},
                        {WAVE_FORMAT_EXTENSIBLE, kExtensibleSize, "PCM (extensible)"}};
  d.dwFormatTag = kTags[index].tag;
  d.cbFormatSize = kTags[index].size;
  d.fdwSupport = ACMDRIVERDETAILS_SUPPORTF_CODEC;
  d.cStandardFormats = kStandardFormats;
  CopyName(d.szFormatTag, ACMFORMATTAGDETAILS_FORMATTAG_CHARS, kTags[index].name);
  CopyOut(d, out);
  return MMSYSERR_NOERROR;
}

LRESULT OnFormatDetails(ACMFORMATDETAILSW* d, DWORD query) {
  // The answer is written into the record's last field: the record is whole.
  if (d == nullptr || d->cbStruct < sizeof(ACMFORMATDETAILSW) || d->pwfx == nullptr) return MMSYSERR_INVALPARAM;
  switch (query & ACM_FORMATDETAILSF_QUERYMASK) {
    case ACM_FORMATDETAILSF_INDEX: {
      if (d->dwFormatIndex >= kStandardFormats) return ACMERR_NOTPOSSIBLE;
      WORD channels = static_cast<WORD>(d->dwFormatIndex % 2 + 1);
      const DWORD rate = kStandardRates[d->dwFormatIndex / 2];
      if (d->dwFormatTag == WAVE_FORMAT_EXTENSIBLE) {
        if (d->cbwfx < kExtensibleSize) return MMSYSERR_INVALPARAM;
        channels = channels == 1 ? 6 : 8;
        FillExtensible(d->pwfx, channels, rate);
      } else if (d->dwFormatTag == WAVE_FORMAT_PCM) {
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
      if (!HasFormatFields(f, d->cbwfx)) return MMSYSERR_INVALPARAM;
      const bool known = f->wFormatTag == kTagVorbis ? IsVorbis(f) : IsPcm16(f, d->cbwfx);
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
  if (s == nullptr || !Reaches(s, s->cbStruct, s->cbwfxDst)) return MMSYSERR_INVALPARAM;
  const WAVEFORMATEX* src = s->pwfxSrc;
  WAVEFORMATEX* dst = s->pwfxDst;
  if (!HasFormatFields(src, s->cbwfxSrc) || !HasFormatFields(dst, s->cbwfxDst)) return MMSYSERR_INVALPARAM;
  if (!IsVorbis(src)) return ACMERR_NOTPOSSIBLE;
  const DWORD asked = s->fdwSuggest & ACM_FORMATSUGGESTF_TYPEMASK;
  // Only the conversion this driver makes: 16-bit PCM, same channels and
  // rate; extensible for more than two channels unless plain PCM is asked.
  const bool tag_asked = (asked & ACM_FORMATSUGGESTF_WFORMATTAG) != 0;
  if (tag_asked && dst->wFormatTag != WAVE_FORMAT_PCM && dst->wFormatTag != WAVE_FORMAT_EXTENSIBLE)
    return ACMERR_NOTPOSSIBLE;
  if ((asked & ACM_FORMATSUGGESTF_NCHANNELS) && dst->nChannels != src->nChannels) return ACMERR_NOTPOSSIBLE;
  if ((asked & ACM_FORMATSUGGESTF_NSAMPLESPERSEC) && dst->nSamplesPerSec != src->nSamplesPerSec)
    return ACMERR_NOTPOSSIBLE;
  if ((asked & ACM_FORMATSUGGESTF_WBITSPERSAMPLE) && dst->wBitsPerSample != kPcmBits) return ACMERR_NOTPOSSIBLE;
  const bool extensible =
      tag_asked ? dst->wFormatTag == WAVE_FORMAT_EXTENSIBLE : src->nChannels > 2 && s->cbwfxDst >= kExtensibleSize;
  if (extensible) {
    if (s->cbwfxDst < kExtensibleSize) return ACMERR_NOTPOSSIBLE;
    FillExtensible(dst, src->nChannels, src->nSamplesPerSec);
  } else {
    FillPcm(dst, src->nChannels, src->nSamplesPerSec, s->cbwfxDst);
  }
  return MMSYSERR_NOERROR;
}

Stream* StreamOf(const ACMDRVSTREAMINSTANCE* instance) {
  return instance != nullptr ? reinterpret_cast<Stream*>(instance->dwDriver) : nullptr;
}

LRESULT OnStreamOpen(ACMDRVSTREAMINSTANCE* instance) {
  if (instance == nullptr || instance->pwfxSrc == nullptr || instance->pwfxDst == nullptr) return MMSYSERR_INVALPARAM;
  const WAVEFORMATEX* src = instance->pwfxSrc;
  const WAVEFORMATEX* dst = instance->pwfxDst;
  if (instance->pwfltr != nullptr || !IsVorbis(src) || !IsPcmFor(dst, src)) return ACMERR_NOTPOSSIBLE;
  // Conversions run synchronously, inside the convert call.
  if (instance->fdwOpen & ACM_STREAMOPENF_ASYNC) return ACMERR_NOTPOSSIBLE;
  if (instance->fdwOpen & ACM_STREAMOPENF_QUERY) return MMSYSERR_NOERROR;
  // The PCM byte rate of the formats (the caller's own figure for it may be
  // anything); the decoder bounds the ratio.
  const double pcm_rate = static_cast<double>(src->nSamplesPerSec) * src->nChannels * (kPcmBits / 8);
  const double ratio = src->nAvgBytesPerSec > 0 ? pcm_rate / src->nAvgBytesPerSec : 0.0;
  auto* stream = new (std::nothrow) Stream(dst->nChannels, ratio);
  if (stream == nullptr) return MMSYSERR_NOMEM;
  instance->dwDriver = reinterpret_cast<DWORD_PTR>(stream);
  return MMSYSERR_NOERROR;
}

LRESULT OnStreamClose(ACMDRVSTREAMINSTANCE* instance) {
  if (instance == nullptr) return MMSYSERR_INVALHANDLE;
  delete StreamOf(instance);
  instance->dwDriver = 0;
  return MMSYSERR_NOERROR;
}

LRESULT OnStreamSize(const ACMDRVSTREAMINSTANCE* instance, ACMDRVSTREAMSIZE* size) {
  const Stream* stream = StreamOf(instance);
  if (stream == nullptr) return MMSYSERR_INVALHANDLE;
  if (size == nullptr || !Reaches(size, size->cbStruct, size->cbDstLength)) return MMSYSERR_INVALPARAM;
  if (stream->decoder.exhausted()) return MMSYSERR_NOMEM;
  switch (size->fdwSize & ACM_STREAMSIZEF_QUERYMASK) {
    case ACM_STREAMSIZEF_SOURCE:
      size->cbDstLength = static_cast<DWORD>(stream->decoder.EstimateOutput(size->cbSrcLength));
      return MMSYSERR_NOERROR;
    case ACM_STREAMSIZEF_DESTINATION:
      size->cbSrcLength = static_cast<DWORD>(stream->decoder.EstimateInput(size->cbDstLength));
      return size->cbSrcLength > 0 ? MMSYSERR_NOERROR : ACMERR_NOTPOSSIBLE;
    default:
      return MMSYSERR_NOTSUPPORTED;
  }
}

LRESULT OnStreamConvert(const ACMDRVSTREAMINSTANCE* instance, ACMDRVSTREAMHEADER* header) {
  Stream* stream = StreamOf(instance);
  if (stream == nullptr) return MMSYSERR_INVALHANDLE;
  if (header == nullptr || (header->pbSrc == nullptr && header->cbSrcLength > 0) ||
      (header->pbDst == nullptr && header->cbDstLength > 0))
    return MMSYSERR_INVALPARAM;
  VorbisDecoder& decoder = stream->decoder;
  header->cbSrcLengthUsed = 0;
  header->cbDstLengthUsed = 0;
  // ACM_STREAMCONVERTF_START: the caller has moved in the stream (or is at
  // its start again); the headers read so far stay. BLOCKALIGN needs
  // nothing: the output is whole frames, and what the destination cannot
  // take waits, decoded or not, for the next call, up to a megabyte of the
  // source; cbSrcLengthUsed says how much was taken, and the caller hands
  // the rest again. (Wine's wave mapper never does, but its blocks, TAPEON's
  // at most 1 MB, fit whole into the destination it sizes by the estimate.)
  // END (or an empty source) hands out everything held.
  if (header->fdwConvert & ACM_STREAMCONVERTF_START) {
    decoder.Restart();
    stream->sound_begun = false;
  }
  const bool last = (header->fdwConvert & ACM_STREAMCONVERTF_END) != 0;
  DecodeResult r = decoder.Convert(header->pbSrc, header->cbSrcLength, header->pbDst, header->cbDstLength, last);
  // A stream past its memory budget has ended: everything of it is gone.
  if (decoder.exhausted()) return MMSYSERR_NOMEM;
  // A stream that cannot be decoded from its start fails its first
  // conversions, which the player reports. One that fails later (a damaged
  // link of a chained file) plays on in silence to its end.
  if (decoder.failed() && !decoder.decoded_any()) {
    header->cbSrcLengthUsed = header->cbSrcLength;
    return ACMERR_NOTPOSSIBLE;
  }
  // A conversion that gives no bytes makes Wine's wave mapper fail the
  // write, and the block would never come back to the player. Once sound
  // has begun the decoder keeps a frame back for such a call; before it (a
  // block of headers only, or the first after a move) one silent frame
  // keeps the queue moving. Never for an empty source or the last block:
  // there nothing is the answer.
  const DWORD frame = static_cast<DWORD>(instance->pwfxDst->nBlockAlign);
  if (r.produced > 0) stream->sound_begun = true;
  if (r.produced == 0 && header->cbSrcLength > 0 && !last && !stream->sound_begun && frame > 0 &&
      header->cbDstLength >= frame) {
    std::memset(header->pbDst, 0, frame);
    r.produced = frame;
  }
  header->cbSrcLengthUsed = static_cast<DWORD>(r.consumed);
  header->cbDstLengthUsed = static_cast<DWORD>(r.produced);
  return MMSYSERR_NOERROR;
}

LRESULT OnStreamReset(const ACMDRVSTREAMINSTANCE* instance) {
  Stream* stream = StreamOf(instance);
  if (stream == nullptr) return MMSYSERR_INVALHANDLE;
  // Conversions are synchronous, so none is pending; what the stream holds
  // (decoded sound, a partial page) is dropped, as a move would.
  stream->decoder.Restart();
  stream->sound_begun = false;
  return MMSYSERR_NOERROR;
}

LRESULT Dispatch(UINT message, LPARAM param1, LPARAM param2, bool* use_default) {
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
    case DRV_CONFIGURE:
      return DRVCNF_CANCEL;  // (DefDriverProc would show a message box)
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
      return OnStreamReset(reinterpret_cast<ACMDRVSTREAMINSTANCE*>(param1));
    case ACMDM_STREAM_PREPARE:
    case ACMDM_STREAM_UNPREPARE:
      return MMSYSERR_NOERROR;  // the headers need nothing of this driver
    case ACMDM_HARDWARE_WAVE_CAPS_INPUT:
    case ACMDM_HARDWARE_WAVE_CAPS_OUTPUT:
    case ACMDM_FILTERTAG_DETAILS:
    case ACMDM_FILTER_DETAILS:
      return MMSYSERR_NOTSUPPORTED;
    default:
      // A driver message of another kind (DRV_POWER and the like) gets the
      // system's default answer; a message of the manager this driver does
      // not know is not supported (DefDriverProc would answer 0, success).
      if (message >= DRV_USER) return MMSYSERR_NOTSUPPORTED;
      *use_default = true;
      return 0;
  }
}

}  // namespace

LRESULT AnswerDriverMessage(UINT message, LPARAM param1, LPARAM param2, bool* use_default) {
  *use_default = false;
  // Nothing here throws (allocations that fail answer MMSYSERR_NOMEM); were
  // anything to, it must not unwind through the frames of the compression
  // manager and of the program that loaded the driver.
  try {
    return Dispatch(message, param1, param2, use_default);
  } catch (...) {
    return MMSYSERR_ERROR;
  }
}
