// The Windows versions at which the program's behaviour changes, in the form
// of AppState::windows_version (major * 256 + minor). Portable.
#pragma once

constexpr unsigned kWindows310 = 0x30A;  // 778
constexpr unsigned kWindows311 = 0x30B;  // 779
constexpr unsigned kWindows312 = 0x30C;  // 780
constexpr unsigned kWindows395 = 0x35F;  // 863
constexpr unsigned kWindows400 = 0x400;  // 1024
