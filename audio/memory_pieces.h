// The pieces in which an on-memory playback of a converted format hands its
// memory block to the device.
#pragma once
#include <cstdint>

// Bytes per piece: about two seconds of the file's bytes, at least 16 KB,
// at most 1 MB, whole blocks of `block_align`; for an MPEG stream (its
// frame blocks) an even number of them, as streaming buffers are cut. The
// wave mapper converts each buffer in one call into a destination sized by
// the codec's estimate; a piece keeps that a few MB whatever the file's
// length.
uint32_t MemoryPieceBytes(uint32_t bytes_per_sec, uint32_t block_align, bool mpeg = false);
