// The Ogg Vorbis codec driver of the audio compression manager (vorbis.acm):
// converts the Ogg Vorbis wave format (tag 0x674F) to 16-bit PCM, plain or
// extensible, of the same channel count and sample rate, channels in the
// WAVE order. The manager finds it through the value
// "msacm.vorbis" = "vorbis.acm" under the key
// HKLM\Software\Microsoft\Windows NT\CurrentVersion\Drivers32 and talks to
// it only through DriverProc, whose messages acm_driver.h answers.
#pragma once
#include "codec/acm_types.h"

extern "C" __declspec(dllexport) LRESULT CALLBACK DriverProc(DWORD_PTR driver_id, HDRVR driver, UINT message,
                                                             LPARAM param1, LPARAM param2);

// Registers the driver (the value "msacm.vorbis" = "vorbis.acm" under
// Drivers32) as a self-registering DLL does. vorbis.inf has setup call it once
// the file has been copied into the system folder.
extern "C" __declspec(dllexport) HRESULT WINAPI DllRegisterServer();
