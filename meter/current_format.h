// The current format: the file's format record parsed once into the values
// everyone reads (the status lines, the meter, the information dialog, the
// transport). A value: replaced whole when another file becomes current, never
// changed in part. What the device is opened with is the transport's own.
#pragma once
#include <cstddef>
#include <cstdint>

#include "meter/levels.h"
#include "meter/status_text.h"

struct CurrentFormat : DisplayFormat {
  // DisplayFormat: BytesPerSec, blockalign, khz (the display's rounded kHz,
  // never for timing), sample_bits, format_tag, sample_class, channels.
  uint32_t rate = 0;  // samples per second: what timing is computed with
  PcmLayout layout;   // how the meter reads the samples (not direct: it cannot)
};

// The current format of a format record of `size` bytes. A record shorter than
// the 14-byte header gives the empty format; one of 14 or 15 bytes has no
// bits per sample (0).
CurrentFormat CurrentFormatOf(const uint8_t* record, size_t size);
