// The entry points of vorbis.acm: DriverProc, which hands every message to
// the portable message layer (acm_driver.h) and the rest to the system's
// default driver procedure, and the registration.
#include "codec/vorbis_acm_win32.h"

#include "codec/acm_driver.h"
#include "codec/current_stream_win32.h"

// The thread-local slot of the current stream is taken here, once, rather
// than at a stream's first call, where two threads could race for it.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, void*) {
  if (reason == DLL_PROCESS_ATTACH) TakeCurrentStreamSlot();
  if (reason == DLL_PROCESS_DETACH) ReturnCurrentStreamSlot();
  return TRUE;
}

extern "C" LRESULT CALLBACK DriverProc(DWORD_PTR driver_id, HDRVR driver, UINT message, LPARAM param1,
                                       LPARAM param2) {
  bool use_default = false;
  const LRESULT answer = AnswerDriverMessage(message, param1, param2, &use_default);
  return use_default ? DefDriverProc(driver_id, driver, message, param1, param2) : answer;
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
