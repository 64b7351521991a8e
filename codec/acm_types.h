// The Windows types and constants of the codec driver's messages. On Windows
// the system's own headers, and the driver side of the compression
// manager's interface (msacmdrv.h of the Windows driver kit), which MinGW's
// headers do not carry. In the native build (the driver's message layer
// under the sanitizers and the fuzzer) the same names with the same fields,
// packed as the system's headers pack them, so that the message layer
// compiles unchanged beside the tests.
#pragma once

#ifdef _WIN32
#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>
#include <msacm.h>
#else
#include <cstdint>

typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef unsigned int UINT;
typedef int32_t LONG;
typedef intptr_t LRESULT;
typedef intptr_t LPARAM;
typedef uintptr_t DWORD_PTR;
typedef char16_t WCHAR;
typedef const WCHAR* LPCWSTR;
typedef DWORD FOURCC;
typedef UINT MMRESULT;
typedef void* HICON;
typedef void* HDRVR;
typedef void* HACMSTREAM;
typedef int32_t HRESULT;

constexpr FOURCC mmioFOURCC(char a, char b, char c, char d) {
  return static_cast<FOURCC>(static_cast<BYTE>(a)) | static_cast<FOURCC>(static_cast<BYTE>(b)) << 8 |
         static_cast<FOURCC>(static_cast<BYTE>(c)) << 16 | static_cast<FOURCC>(static_cast<BYTE>(d)) << 24;
}

constexpr UINT DRV_LOAD = 0x0001, DRV_ENABLE = 0x0002, DRV_OPEN = 0x0003, DRV_CLOSE = 0x0004,
               DRV_DISABLE = 0x0005, DRV_FREE = 0x0006, DRV_CONFIGURE = 0x0007, DRV_QUERYCONFIGURE = 0x0008,
               DRV_INSTALL = 0x0009, DRV_REMOVE = 0x000A, DRV_POWER = 0x000F, DRV_USER = 0x4000;
constexpr LRESULT DRVCNF_CANCEL = 0, DRVCNF_OK = 1;
constexpr MMRESULT MMSYSERR_NOERROR = 0, MMSYSERR_ERROR = 1, MMSYSERR_INVALHANDLE = 5, MMSYSERR_NOMEM = 7,
                   MMSYSERR_NOTSUPPORTED = 8, MMSYSERR_INVALFLAG = 10, MMSYSERR_INVALPARAM = 11,
                   ACMERR_NOTPOSSIBLE = 512;
constexpr WORD WAVE_FORMAT_UNKNOWN = 0, WAVE_FORMAT_PCM = 1, WAVE_FORMAT_EXTENSIBLE = 0xFFFE;
constexpr UINT ACMDM_USER = DRV_USER, ACMDM_BASE = DRV_USER + 0x2000;
constexpr DWORD ACMDRIVERDETAILS_SHORTNAME_CHARS = 32, ACMDRIVERDETAILS_LONGNAME_CHARS = 128,
                ACMDRIVERDETAILS_COPYRIGHT_CHARS = 80, ACMDRIVERDETAILS_LICENSING_CHARS = 128,
                ACMDRIVERDETAILS_FEATURES_CHARS = 512, ACMFORMATTAGDETAILS_FORMATTAG_CHARS = 48,
                ACMFORMATDETAILS_FORMAT_CHARS = 128;
constexpr FOURCC ACMDRIVERDETAILS_FCCCOMP_UNDEFINED = 0;
constexpr DWORD ACMDRIVERDETAILS_SUPPORTF_CODEC = 0x00000001;
constexpr DWORD ACM_FORMATTAGDETAILSF_INDEX = 0, ACM_FORMATTAGDETAILSF_FORMATTAG = 1,
                ACM_FORMATTAGDETAILSF_LARGESTSIZE = 2, ACM_FORMATTAGDETAILSF_QUERYMASK = 0xF;
constexpr DWORD ACM_FORMATDETAILSF_INDEX = 0, ACM_FORMATDETAILSF_FORMAT = 1, ACM_FORMATDETAILSF_QUERYMASK = 0xF;
constexpr DWORD ACM_FORMATSUGGESTF_WFORMATTAG = 0x00010000, ACM_FORMATSUGGESTF_NCHANNELS = 0x00020000,
                ACM_FORMATSUGGESTF_NSAMPLESPERSEC = 0x00040000, ACM_FORMATSUGGESTF_WBITSPERSAMPLE = 0x00080000,
                ACM_FORMATSUGGESTF_TYPEMASK = 0x00FF0000;
constexpr DWORD ACM_STREAMOPENF_QUERY = 0x1, ACM_STREAMOPENF_ASYNC = 0x2, ACM_STREAMOPENF_NONREALTIME = 0x4;
constexpr DWORD ACM_STREAMSIZEF_SOURCE = 0, ACM_STREAMSIZEF_DESTINATION = 1, ACM_STREAMSIZEF_QUERYMASK = 0xF;
constexpr DWORD ACM_STREAMCONVERTF_BLOCKALIGN = 0x4, ACM_STREAMCONVERTF_START = 0x10, ACM_STREAMCONVERTF_END = 0x20;

struct GUID {
  DWORD Data1;
  WORD Data2;
  WORD Data3;
  BYTE Data4[8];
};

#pragma pack(push, 1)
struct WAVEFORMATEX {
  WORD wFormatTag;
  WORD nChannels;
  DWORD nSamplesPerSec;
  DWORD nAvgBytesPerSec;
  WORD nBlockAlign;
  WORD wBitsPerSample;
  WORD cbSize;
};
struct WAVEFORMAT {
  WORD wFormatTag;
  WORD nChannels;
  DWORD nSamplesPerSec;
  DWORD nAvgBytesPerSec;
  WORD nBlockAlign;
};
struct PCMWAVEFORMAT {
  WAVEFORMAT wf;
  WORD wBitsPerSample;
};
struct WAVEFORMATEXTENSIBLE {
  WAVEFORMATEX Format;
  union {
    WORD wValidBitsPerSample;
    WORD wSamplesPerBlock;
    WORD wReserved;
  } Samples;
  DWORD dwChannelMask;
  GUID SubFormat;
};
struct WAVEFILTER {
  DWORD cbStruct;
  DWORD dwFilterTag;
  DWORD fdwFilter;
  DWORD dwReserved[5];
};
struct ACMDRIVERDETAILSW {
  DWORD cbStruct;
  FOURCC fccType;
  FOURCC fccComp;
  WORD wMid;
  WORD wPid;
  DWORD vdwACM;
  DWORD vdwDriver;
  DWORD fdwSupport;
  DWORD cFormatTags;
  DWORD cFilterTags;
  HICON hicon;
  WCHAR szShortName[ACMDRIVERDETAILS_SHORTNAME_CHARS];
  WCHAR szLongName[ACMDRIVERDETAILS_LONGNAME_CHARS];
  WCHAR szCopyright[ACMDRIVERDETAILS_COPYRIGHT_CHARS];
  WCHAR szLicensing[ACMDRIVERDETAILS_LICENSING_CHARS];
  WCHAR szFeatures[ACMDRIVERDETAILS_FEATURES_CHARS];
};
struct ACMFORMATTAGDETAILSW {
  DWORD cbStruct;
  DWORD dwFormatTagIndex;
  DWORD dwFormatTag;
  DWORD cbFormatSize;
  DWORD fdwSupport;
  DWORD cStandardFormats;
  WCHAR szFormatTag[ACMFORMATTAGDETAILS_FORMATTAG_CHARS];
};
struct ACMFORMATDETAILSW {
  DWORD cbStruct;
  DWORD dwFormatIndex;
  DWORD dwFormatTag;
  DWORD fdwSupport;
  WAVEFORMATEX* pwfx;
  DWORD cbwfx;
  WCHAR szFormat[ACMFORMATDETAILS_FORMAT_CHARS];
};
#pragma pack(pop)
#endif

// The driver side of the manager's interface (msacmdrv.h).
constexpr UINT ACMDM_DRIVER_NOTIFY = ACMDM_BASE + 1;
constexpr UINT ACMDM_DRIVER_DETAILS = ACMDM_BASE + 10;
constexpr UINT ACMDM_HARDWARE_WAVE_CAPS_INPUT = ACMDM_BASE + 20;
constexpr UINT ACMDM_HARDWARE_WAVE_CAPS_OUTPUT = ACMDM_BASE + 21;
constexpr UINT ACMDM_FORMATTAG_DETAILS = ACMDM_BASE + 25;
constexpr UINT ACMDM_FORMAT_DETAILS = ACMDM_BASE + 26;
constexpr UINT ACMDM_FORMAT_SUGGEST = ACMDM_BASE + 27;
constexpr UINT ACMDM_FILTERTAG_DETAILS = ACMDM_BASE + 50;
constexpr UINT ACMDM_FILTER_DETAILS = ACMDM_BASE + 51;
constexpr UINT ACMDM_STREAM_OPEN = ACMDM_BASE + 76;
constexpr UINT ACMDM_STREAM_CLOSE = ACMDM_BASE + 77;
constexpr UINT ACMDM_STREAM_SIZE = ACMDM_BASE + 78;
constexpr UINT ACMDM_STREAM_CONVERT = ACMDM_BASE + 79;
constexpr UINT ACMDM_STREAM_RESET = ACMDM_BASE + 80;
constexpr UINT ACMDM_STREAM_PREPARE = ACMDM_BASE + 81;
constexpr UINT ACMDM_STREAM_UNPREPARE = ACMDM_BASE + 82;

#pragma pack(push, 1)
struct ACMDRVOPENDESCW {
  DWORD cbStruct;
  FOURCC fccType;
  FOURCC fccComp;
  DWORD dwVersion;
  DWORD dwFlags;
  DWORD dwError;
  LPCWSTR pszSectionName;
  LPCWSTR pszAliasName;
  DWORD dnDevNode;
};

struct ACMDRVSTREAMINSTANCE {
  DWORD cbStruct;
  WAVEFORMATEX* pwfxSrc;
  WAVEFORMATEX* pwfxDst;
  WAVEFILTER* pwfltr;
  DWORD_PTR dwCallback;
  DWORD_PTR dwInstance;
  DWORD fdwOpen;
  DWORD fdwDriver;
  DWORD_PTR dwDriver;
  HACMSTREAM has;
};

struct ACMDRVSTREAMHEADER {
  DWORD cbStruct;
  DWORD fdwStatus;
  DWORD_PTR dwUser;
  BYTE* pbSrc;
  DWORD cbSrcLength;
  DWORD cbSrcLengthUsed;
  DWORD_PTR dwSrcUser;
  BYTE* pbDst;
  DWORD cbDstLength;
  DWORD cbDstLengthUsed;
  DWORD_PTR dwDstUser;
  DWORD fdwConvert;
  ACMDRVSTREAMHEADER* padshNext;
  DWORD fdwDriver;
  DWORD_PTR dwDriver;
  DWORD fdwPrepared;
  DWORD_PTR dwPrepared;
  BYTE* pbPreparedSrc;
  DWORD cbPreparedSrcLength;
  BYTE* pbPreparedDst;
  DWORD cbPreparedDstLength;
};

struct ACMDRVSTREAMSIZE {
  DWORD cbStruct;
  DWORD fdwSize;
  DWORD cbSrcLength;
  DWORD cbDstLength;
};

struct ACMDRVFORMATSUGGEST {
  DWORD cbStruct;
  DWORD fdwSuggest;
  WAVEFORMATEX* pwfxSrc;
  DWORD cbwfxSrc;
  WAVEFORMATEX* pwfxDst;
  DWORD cbwfxDst;
};
#pragma pack(pop)
