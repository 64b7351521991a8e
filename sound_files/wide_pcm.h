// Wide PCM (24- and 32-bit integer samples, 32- and 64-bit float) played as a
// narrower PCM where the output device and the wave mapper refuse it: the
// device records to ask for, and the conversion of the samples. Every sample
// is rounded to the nearest value of the narrower width (halves upward) and
// clipped at full scale; there is no dither (see the README).
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "meter/levels.h"

// A file's wide PCM and the width of the samples the device is handed.
struct PcmNarrowing {
  PcmLayout from;
  unsigned to_bytes = 0;  // 3 or 2; 0: no narrowing
  bool valid() const { return to_bytes != 0; }
};

// A record of wide PCM: tag 1 with 3- or 4-byte containers, tag 3 with 4- or
// 8-byte ones, or extensible of those, as the meter reads it.
bool IsWidePcm(const uint8_t* record, size_t size);

// The record the output device is asked for and opened with, for a file's
// format record: the file's own, but for an extensible record of a plain
// wave tag 40 bytes with an extension of exactly 22 (a longer one, which
// files may have, is refused by drivers) and a speaker mask that names as
// many speakers as there are channels (a file's that names more keeps the
// first of them; one that names fewer gives the common layout of the count,
// or none beyond eight). The file's record stays as it is for the
// information dialogs.
std::vector<uint8_t> DeviceRecordOf(const uint8_t* record, size_t size);

// The PCM records a wide PCM record may be played as, most wanted first: 24 bits,
// then 16 bits, at the file's channels and rate. At each width extensible
// comes first where Windows asks for it (beyond 16 bits or two channels; a
// sound driver may refuse plain PCM there, as Wine's does), then the other
// kind. Extensible records keep an extensible file's speaker mask as
// DeviceRecordOf gives it (a plain file gets the common one of its channel
// count). Empty for any other
// record: 8- and 16-bit PCM, or anything compressed.
std::vector<std::vector<uint8_t>> NarrowerPcmRecords(const uint8_t* record, size_t size);

// The narrowing from a wide PCM file record to a PCM device record of its
// channels with 2- or 3-byte samples; not valid for any other pair.
PcmNarrowing PcmNarrowingOf(const uint8_t* record, size_t size, const uint8_t* device_record, size_t device_size);

// Bytes the whole frames of `bytes` file bytes narrow to.
size_t NarrowedBytes(const PcmNarrowing& narrowing, size_t bytes);

// Narrows the whole frames of the `bytes` bytes at `in` into `out`, which
// has room for NarrowedBytes(bytes); a trailing part of a frame is left out.
// Returns the bytes written.
size_t NarrowPcm(const PcmNarrowing& narrowing, const uint8_t* in, size_t bytes, uint8_t* out);
