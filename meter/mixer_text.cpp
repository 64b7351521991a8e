#include "meter/mixer_text.h"

#include <cstdio>

StatusText MixerErrorName(uint32_t code) {
  static const char* const kNames[20] = {
      "unspecified error         ",
      "device ID out of range    ",
      "driver failed enable      ",
      "device already allocated  ",
      "device handle is invalid  ",
      "no device driver present  ",
      "memory allocation error   ",
      "function isn't supported  ",
      "error value out of range  ",
      "invalid flag passed       ",
      "invalid parameter passed  ",
      "handle being used         ",
      "specified alias not found ",
      "bad registry database     ",
      "registry key not found    ",
      "registry read error       ",
      "registry write error      ",
      "registry delete error     ",
      "registry value not found  ",
      "driver does not call DriverCallback ",
  };
  StatusText out;
  if (code >= 1 && code <= 20) {
    snprintf(out.text, sizeof out.text, "%s", kNames[code - 1]);
  } else {
    snprintf(out.text, sizeof out.text, "error=%u                           ", static_cast<unsigned>(code));
  }
  return out;
}
