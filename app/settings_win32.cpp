#include "app/settings_win32.h"

#include <cstdio>

#include "app/owned_app_win32.h"
#include "base/app_state_win32.h"

namespace {

constexpr char kSection[] = "TAPEON";

std::string ReadKey(const char* key, const char* default_text, void* context) {
  char value[32];
  GetPrivateProfileStringA(kSection, key, default_text, value, sizeof value, static_cast<const char*>(context));
  return value;
}

}  // namespace

void IniPath(char* buffer) {
  char profile[MAX_PATH];
  DWORD length = GetEnvironmentVariableA("USERPROFILE", profile, sizeof profile);
  if (length > 0 && length < sizeof profile && length + sizeof "\\TAPEON.INI" <= MAX_PATH)
    snprintf(buffer, MAX_PATH, "%s\\TAPEON.INI", profile);
  else
    lstrcpyA(buffer, "TAPEON.INI");
}

void ReadSettings() {
  char path[MAX_PATH];
  IniPath(path);
  ParseSettings(OwnedApp().settings, app.windows_version, ReadKey, path);
}

void SaveSettings() {
  char path[MAX_PATH];
  IniPath(path);
  for (const auto& entry : SettingsToWrite(app.settings, app.windows_version))
    WritePrivateProfileStringA(kSection, entry.first.c_str(), entry.second.c_str(), path);
}
