// Repair of a WAVE file whose recording never closed: the RIFF size and the
// data size are rewritten from the file's length. Works on a ByteSource
// opened for reading and writing (plain file functions on Windows).
#pragma once
#include <cstdint>

#include "sound_files/byte_source.h"

// What the repair would write.
struct RepairPlan {
  bool repairable = false;
  bool has_fact = false;
  uint32_t data_size = 0;         // D
  uint32_t data_size_offset = 0;  // P: where D goes
  uint32_t riff_size = 0;         // R: goes at offset 4
};

// Reads the headers of a file of `length` bytes and works out the two sizes.
// Nothing is written.
RepairPlan PlanWaveRepair(ByteSource& file, uint64_t length);

// A recording whose sizes were kept true while it ran, cut off after it had
// written sound past its last update (the process ended, the power went):
// `bytes` of whole frames after the declared data that the repair would add,
// at the format's byte rate. What follows the data is taken for such a tail
// only when
// 1. the repair can plan the file, its RIFF size is not 0 (a size of 0 is
//    the repair's own case) and its data chunk ends the RIFF chunk exactly;
// 2. the format gives a frame size and a byte rate, the declared data is
//    whole frames and at least one whole frame more follows;
// 3. it is nothing another program puts after a WAVE file's data: no ID3v2,
//    ID3v1 or APEv2 tag at its start or at the end of the file, no chunk of a
//    known kind (whole or cut short: "LIST", "bext", ...), no other chunk
//    header whose size fits in it;
// 4. it is not all zeros (sector padding, space a program reserved, the pad
//    byte after odd data; judged on its first 16 MB).
// Otherwise 0 bytes.
struct RecordingTail {
  uint32_t bytes = 0;
  uint32_t bytes_per_sec = 0;
};
RecordingTail FindRecordingTail(ByteSource& file, uint64_t length);

// How the offer shows a tail's length: in seconds from 0.1 s on, a shorter
// one in whole milliseconds rounded up, so that no tail shows as 0.0 s.
struct TailLength {
  bool in_milliseconds = false;
  double seconds = 0.0;
  unsigned long milliseconds = 0;
};
TailLength TailLengthShown(const RecordingTail& tail);

// Writes the two sizes. True when the file was repaired, false when it cannot
// be (the file is then unchanged, unless a write itself failed).
bool RepairWaveFile(ByteSource& file, uint64_t length);
