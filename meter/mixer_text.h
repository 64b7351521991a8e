// Names of the mixer's error codes, written into the main window when the
// mixer offers no peak meter.
#pragma once
#include <cstdint>

#include "meter/status_text.h"

// Codes 1 to 20 by name, padded with blanks; any other code as its number.
StatusText MixerErrorName(uint32_t code);
