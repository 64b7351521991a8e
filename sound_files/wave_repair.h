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

// Writes the two sizes. True when the file was repaired, false when it cannot
// be (the file is then unchanged, unless a write itself failed).
bool RepairWaveFile(ByteSource& file, uint64_t length);
