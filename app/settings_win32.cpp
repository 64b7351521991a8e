#include "app/settings_win32.h"

#include <string>

#include "app/owned_app_win32.h"
#include "base/app_state_win32.h"
#include "base/file_names_win32.h"
#include "base/text_rules.h"

namespace {

constexpr char kSection[] = "TAPEON";

std::string ReadKey(const char* key, const char* default_text, void* context) {
  return ProfileTextNamed(static_cast<const std::string*>(context)->c_str(), kSection, key, default_text, 32);
}

// The settings file: %USERPROFILE%\TAPEON.INI, or the bare name (the Windows
// directory) without a user profile or where the path would be too long. The
// profile's folder is read as a name, so that a folder in any script holds
// the settings.
std::string IniPath() {
  const std::string profile = EnvironmentName("USERPROFILE");
  const std::string path = profile + "\\TAPEON.INI";
  return profile.empty() || !FitsNameLength(path.c_str()) ? std::string("TAPEON.INI") : path;
}

}  // namespace

void ReadSettings() {
  std::string path = IniPath();
  AppState& owned = OwnedApp();
  ParseSettings(owned.settings, owned.windows_version, ReadKey, &path);
}

void SaveSettings() {
  const std::string path = IniPath();
  for (const auto& entry : SettingsToWrite(app.settings, app.windows_version))
    WriteProfileTextNamed(path.c_str(), kSection, entry.first.c_str(), entry.second.c_str());
}
