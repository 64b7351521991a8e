// The chosen wave device found again among the devices present now: by its
// interface path, its name, or the part of its name the system keeps, never by
// a number that shifts.
#include <gtest/gtest.h>

#include "base/device_match.h"

namespace {

const char kPath[] = "\\\\?\\SWD#MMDEVAPI#{0.0.1.00000000}.{4c2a9b0e-1f}#{2eef81be-33fa-4800-9670-1cd474972c3f}";

TEST(DeviceMatch, PathFirstThenExactNameAndDefaultOrNotFound) {
  const WaveDeviceId chosen{"USB Mic", kPath};
  // Numbers shifted, and an alike microphone listed first: the path decides,
  // in whatever case the system now spells it.
  const std::vector<WaveDeviceId> present = {
      {"USB Mic", "\\\\?\\SWD#MMDEVAPI#{0.0.1.00000000}.{99}#{2eef81be-33fa-4800-9670-1cd474972c3f}"},
      {"Line In", ""},
      {"USB Mic (2)", "\\\\?\\swd#mmdevapi#{0.0.1.00000000}.{4C2A9B0E-1F}#{2EEF81BE-33FA-4800-9670-1CD474972C3F}"}};
  DeviceMatch match = FindChosenDevice(chosen, present);
  EXPECT_EQ(match.kind, DeviceMatchKind::kPath);
  EXPECT_EQ(match.index, 2u);

  // No path at hand (it is gone, or the system gives none): the exact name.
  match = FindChosenDevice(chosen, {{"Line In", ""}, {"USB Mic", ""}});
  EXPECT_EQ(match.kind, DeviceMatchKind::kName);
  EXPECT_EQ(match.index, 1u);

  EXPECT_EQ(FindChosenDevice(chosen, {{"Line In", ""}, {"USB Mi", ""}}).kind, DeviceMatchKind::kNotFound);
  EXPECT_EQ(FindChosenDevice(WaveDeviceId{}, present).kind, DeviceMatchKind::kDefault);
}

TEST(DeviceMatch, LongNamesMatchOnTheirFirst31Utf16UnitsWhenUnique) {
  // "Microphone Array (Realtek High Definition Audio)" as the system cuts it.
  const WaveDeviceId chosen{"Microphone Array (Realtek High Definition Audio)", ""};
  DeviceMatch match = FindChosenDevice(chosen, {{"Line In", ""}, {"Microphone Array (Realtek High ", ""}});
  EXPECT_EQ(match.kind, DeviceMatchKind::kPrefix);
  EXPECT_EQ(match.index, 1u);
  // Two devices that the cut makes alike: neither, rather than the wrong one.
  EXPECT_EQ(FindChosenDevice(chosen, {{"Microphone Array (Realtek High ", ""}, {"Microphone Array (Realtek High ", ""}})
                .kind,
            DeviceMatchKind::kNotFound);

  // Japanese: 31 units are 93 bytes. A device whose name differs only past
  // the first 31 bytes is another one.
  std::string japanese;  // "マイク" x 11 (33 units)
  for (int k = 0; k < 11; ++k) japanese += "\xE3\x83\x9E\xE3\x82\xA4\xE3\x82\xAF";
  const std::string cut = japanese.substr(0, 31 * 3);
  std::string other = japanese.substr(0, 33);
  other += "X";
  match = FindChosenDevice(WaveDeviceId{japanese, ""}, {{other, ""}, {cut, ""}});
  EXPECT_EQ(match.kind, DeviceMatchKind::kPrefix);
  EXPECT_EQ(match.index, 1u);

  // Cut in the middle of a surrogate pair: 30 letters and "🎤" (U+1F3A4) come
  // as the 30 letters and the pair's high half alone (WTF-8 ED A0 BC).
  const std::string letters(30, 'm');
  match = FindChosenDevice(WaveDeviceId{letters + "\xF0\x9F\x8E\xA4 USB", ""},
                           {{letters + "m", ""}, {letters + "\xED\xA0\xBC", ""}});
  EXPECT_EQ(match.kind, DeviceMatchKind::kPrefix);
  EXPECT_EQ(match.index, 1u);
}

}  // namespace
