// Levels of compressed sound: the bytes handed to the wave device are
// converted once more, through the audio compression manager, to 16-bit PCM
// of the file's channels and rate, and that PCM is measured.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "meter/levels.h"

// Opens the conversion for a run of the format record as read from the file
// (before the playing rate changes it; the rate only changes how fast the
// device plays). Closes a previous one first. Does nothing for a format the
// scan reads itself, or where no converter takes it: the meter then has no
// decoded source.
void OpenDecodedLevels(const uint8_t* record, size_t size);
void CloseDecodedLevels();
bool DecodedLevelsOpen();

enum DecodedResult {
  DECODED_LEVELS,   // peaks of the PCM the bytes gave
  DECODED_PENDING,  // nothing came out yet (the decoder is still filling up)
  DECODED_NONE,     // the conversion failed, or the stream has stopped giving sound
};

// Source bytes converted per call, and handed to MeasureDecoded at a time.
// Small, so that the destination stays a few hundred KB whatever the
// compression ratio, and the meter never holds more than this of a memory
// block at once.
constexpr long DECODED_SOURCE_PIECE = 4096;

// Converts the next bytes of the stream, in order, piece by piece through a
// small buffer, and finds the peaks of the PCM (16-bit units) of its first
// two channels, as for PCM of more than two.
DecodedResult MeasureDecoded(const uint8_t* data, long bytes, ChannelPeaks& peaks);

// Sound time of the PCM converted since the open, in ms.
double DecodedMilliseconds();

// Whether the meter's decoded source is switched off for a comparison of
// costs. Only test builds read the switch (TAPEON_METER_SOURCE_OFF).
bool DecodedLevelsSwitchedOff();
