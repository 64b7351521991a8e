#include "audio/memory_pieces.h"

namespace {
constexpr uint32_t kPieceSeconds = 2;
constexpr uint32_t kSmallestPiece = 16u << 10;
constexpr uint32_t kLargestPiece = 1u << 20;
}  // namespace

uint32_t MemoryPieceBytes(uint32_t bytes_per_sec, uint32_t block_align, bool mpeg) {
  uint32_t piece = bytes_per_sec < kLargestPiece / kPieceSeconds ? bytes_per_sec * kPieceSeconds : kLargestPiece;
  if (piece < kSmallestPiece) piece = kSmallestPiece;
  if (block_align > 1) {
    // At least one block; blocks of more than the largest piece stay whole.
    piece = piece < block_align ? block_align : piece - piece % block_align;
    // MPEG frames alternate in size about the block: two at a time keep
    // the cut on a frame's edge.
    if (mpeg && (piece / block_align) % 2 != 0) piece += block_align;
  }
  return piece;
}
