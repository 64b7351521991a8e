#include "base/device_match.h"

#include "base/text_rules.h"

namespace {

char16_t UpperUnit(char16_t unit) {
  if ((unit >= u'a' && unit <= u'z') || (unit >= 0x00E0 && unit <= 0x00FE && unit != 0x00F7) ||
      (unit >= 0x03B1 && unit <= 0x03C9 && unit != 0x03C2) || (unit >= 0x0430 && unit <= 0x044F) ||
      (unit >= 0xFF41 && unit <= 0xFF5A)) {
    return static_cast<char16_t>(unit - 0x20);
  }
  if (unit >= 0x0450 && unit <= 0x045F) return static_cast<char16_t>(unit - 0x50);
  return unit;
}

}  // namespace

bool SameInterfacePath(const std::string& a, const std::string& b) {
  const std::u16string wide_a = Utf16FromWtf8(a);
  const std::u16string wide_b = Utf16FromWtf8(b);
  if (wide_a.size() != wide_b.size()) return false;
  for (size_t k = 0; k < wide_a.size(); ++k) {
    if (UpperUnit(wide_a[k]) != UpperUnit(wide_b[k])) return false;
  }
  return true;
}

DeviceMatch FindChosenDevice(const WaveDeviceId& choice, const std::vector<WaveDeviceId>& present) {
  DeviceMatch match;
  if (choice.name.empty() && choice.interface_path.empty()) return match;
  if (!choice.interface_path.empty()) {
    for (size_t k = 0; k < present.size(); ++k) {
      if (!present[k].interface_path.empty() && SameInterfacePath(choice.interface_path, present[k].interface_path)) {
        return DeviceMatch{DeviceMatchKind::kPath, k};
      }
    }
  }
  match.kind = DeviceMatchKind::kNotFound;
  if (choice.name.empty()) return match;
  for (size_t k = 0; k < present.size(); ++k) {
    if (present[k].name == choice.name) return DeviceMatch{DeviceMatchKind::kName, k};
  }
  const std::u16string prefix = Utf16FromWtf8(choice.name).substr(0, kDeviceNameUnits);
  size_t matches = 0;
  for (size_t k = 0; k < present.size(); ++k) {
    if (Utf16FromWtf8(present[k].name).substr(0, kDeviceNameUnits) == prefix && ++matches == 1) {
      match.index = k;
    }
  }
  if (matches == 1) match.kind = DeviceMatchKind::kPrefix;
  else match.index = 0;
  return match;
}
