// The Ogg Vorbis codec driver of the audio compression manager (vorbis.acm):
// converts the Ogg Vorbis wave format (tag 0x674F) to 16-bit PCM of the same
// channel count and sample rate. The manager finds it through the value
// "msacm.vorbis" = "vorbis.acm" under the key
// HKLM\Software\Microsoft\Windows NT\CurrentVersion\Drivers32 and talks to
// it only through DriverProc.
#pragma once
#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>
#include <msacm.h>

// The driver side of the manager's interface (msacmdrv.h of the Windows
// driver kit), which MinGW's headers do not carry.
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

#pragma pack(push, 1)
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
#pragma pack(pop)

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

extern "C" __declspec(dllexport) LRESULT CALLBACK DriverProc(DWORD_PTR driver_id, HDRVR driver, UINT message,
                                                             LPARAM param1, LPARAM param2);

// Registers the driver (the value "msacm.vorbis" = "vorbis.acm" under
// Drivers32) as a self-registering DLL does. vorbis.inf has setup call it once
// the file has been copied into the system folder.
extern "C" __declspec(dllexport) HRESULT WINAPI DllRegisterServer();
