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
// `bytes` of whole blocks after the declared data that the repair would add,
// at the format's byte rate. 0 bytes when the file is not of that kind: a
// RIFF size of 0 (the repair's own case), a data chunk that does not end the
// RIFF chunk exactly, less than a block after it, or after it something
// another program put there (a chunk header that fits in the rest of the
// file, an "ID3" or "TAG" tag).
struct RecordingTail {
  uint32_t bytes = 0;
  uint32_t bytes_per_sec = 0;
};
RecordingTail FindRecordingTail(ByteSource& file, uint64_t length);

// Writes the two sizes. True when the file was repaired, false when it cannot
// be (the file is then unchanged, unless a write itself failed).
bool RepairWaveFile(ByteSource& file, uint64_t length);
