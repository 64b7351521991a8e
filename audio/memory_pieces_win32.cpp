#include "audio/memory_pieces_win32.h"

#include "audio/converted_output_win32.h"
#include "audio/memory_pieces.h"
#include "audio/transport_math.h"
#include "audio/transport_state_win32.h"
#include "audio/transport_win32.h"
#include "base/app_state_win32.h"
#include "base/format_record.h"
#include "sound_files/current_file_win32.h"

namespace {

// Gives the header the next piece and writes it; false when the converter
// or the device refuses it. A piece once handed to the converter counts as
// handed over whatever follows (it is never converted twice).
bool QueueNextPiece(WAVEHDR* header, int index) {
  RunRecord& run = OwnedRun();
  MemoryPieces& pieces = run.playback.pieces;
  if (!run.wave_out) return false;
  const DWORD left = pieces.total_bytes - pieces.next_offset;
  const DWORD length = left < pieces.piece_bytes ? left : pieces.piece_bytes;
  ZeroMemory(header, sizeof(WAVEHDR));
  header->lpData = run.block_data[kMemoryBlock] + pieces.next_offset;
  header->dwBufferLength = length;
  header->dwUser = MakeUserWord(index, pieces.next_offset + length >= pieces.total_bytes);
  pieces.next_offset += length;
  if (PrepareOutputHeader(header) != MMSYSERR_NOERROR) {
    header->lpData = nullptr;
    return false;
  }
  if (waveOutWrite(run.wave_out, header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
    waveOutUnprepareHeader(run.wave_out, header, sizeof(WAVEHDR));
    header->lpData = nullptr;
    return false;
  }
  ++pieces.in_flight;
  return true;
}

}  // namespace

DWORD BeginMemoryPieces(DWORD total) {
  RunRecord& run = OwnedRun();
  MemoryPieces& pieces = run.playback.pieces;
  const CurrentFormat& format = current_file.format;
  pieces.total_bytes = total;
  pieces.piece_bytes = MemoryPieceBytes(format.BytesPerSec, run.piece_align, format.format_tag == WAVE_TAG_MPEGLAYER3);
  pieces.active = format.format_tag != WAVE_TAG_PCM && total > pieces.piece_bytes;
  pieces.in_flight = pieces.active ? 1 : 0;
  pieces.next_offset = pieces.active ? pieces.piece_bytes : total;
  return pieces.next_offset;
}

bool MemoryPiecesLeft() {
  const MemoryPieces& pieces = transport.run.playback.pieces;
  return pieces.active && pieces.next_offset < pieces.total_bytes;
}

DWORD MemoryPieceSize() {
  const MemoryPieces& pieces = transport.run.playback.pieces;
  return pieces.active ? pieces.piece_bytes : 0;
}

bool QueueFurtherMemoryPieces() {
  for (int i = 1; i < kBlockCount && MemoryPiecesLeft(); ++i) {
    if (!QueueNextPiece(transport.block_header[i], i)) return false;
  }
  return true;
}

PieceReturn MemoryPieceReturned(WAVEHDR* header) {
  RunRecord& run = OwnedRun();
  MemoryPieces& pieces = run.playback.pieces;
  if (!pieces.active) return PieceReturn::kEnded;
  if (pieces.in_flight > 0) --pieces.in_flight;
  if (IsLastBlock(static_cast<uint32_t>(header->dwUser))) return PieceReturn::kEnded;
  if (run.wave_out) waveOutUnprepareHeader(run.wave_out, header, sizeof(WAVEHDR));
  header->lpData = nullptr;
  if (MemoryPiecesLeft() && !QueueNextPiece(header, BlockIndexOf(static_cast<uint32_t>(header->dwUser)))) {
    return PieceReturn::kFailed;
  }
  // Pieces without the end mark all back and none left: the device lost
  // one on the way (it never comes back); the run ends as with one block.
  return pieces.in_flight > 0 ? PieceReturn::kPlaying : PieceReturn::kEnded;
}
