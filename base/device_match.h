// Finding the wave device the user chose, again at every open. Portable.
//
// Device numbers shift whenever a device is plugged in or out, so a choice is
// never kept by its number: it is the device's name (UTF-8, as the program
// holds text) and, where the system gives one, its device interface path
// (DRV_QUERYDEVICEINTERFACE; the same device keeps it across plugging and
// restarts). The system gives names cut to 31 UTF-16 units (the 32 units of
// the capabilities' name, less its zero), possibly in the middle of a
// surrogate pair; the Windows side hands them over in WTF-8
// (Wtf8FromUtf16), so such a cut survives.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

// The name the system cuts device names to, in UTF-16 units.
constexpr size_t kDeviceNameUnits = 31;

// A device as the system lists it now, or as the user chose it. A choice with
// neither name nor path is the default device (which follows the system's).
struct WaveDeviceId {
  std::string name;            // UTF-8 (WTF-8)
  std::string interface_path;  // empty where the system gives none
};

enum class DeviceMatchKind {
  kDefault,   // nothing chosen: the default device
  kPath,      // found by its interface path
  kName,      // found by its exact name
  kPrefix,    // found by the first 31 UTF-16 units of its name, the only such device
  kNotFound,  // chosen, not present (or ambiguous): use the default device and say so
};

struct DeviceMatch {
  DeviceMatchKind kind = DeviceMatchKind::kDefault;
  size_t index = 0;  // in the list handed in, when found
  bool found() const { return kind == DeviceMatchKind::kPath || kind == DeviceMatchKind::kName || kind == DeviceMatchKind::kPrefix; }
};

// The device to open for `choice` among `present` (in the system's order,
// index = device number): by interface path first, compared as the system
// compares such paths, without case; then by exact name; then by the first
// 31 UTF-16 units of the names, when exactly one present device matches so
// (two alike are ambiguous: not found rather than perhaps the wrong one). Of
// several with the same path or the same exact name, the first: the system
// tells them apart no further.
DeviceMatch FindChosenDevice(const WaveDeviceId& choice, const std::vector<WaveDeviceId>& present);

// Two device interface paths name the same device: equal UTF-16 units once
// lower case is folded to upper (ASCII, Latin-1, Greek, Cyrillic and the
// full-width Latin letters; the paths are made of bus and hardware names and
// GUIDs, ASCII in practice).
bool SameInterfacePath(const std::string& a, const std::string& b);
