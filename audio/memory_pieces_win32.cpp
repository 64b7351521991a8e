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

bool active = false;
DWORD total_bytes = 0;
DWORD next_offset = 0;  // the first byte not yet handed over
DWORD piece_bytes = 0;
int in_flight = 0;

// Gives the header the next piece and writes it; false when the converter
// or the device refuses it. A piece once handed to the converter counts as
// handed over whatever follows (it is never converted twice).
bool QueueNextPiece(WAVEHDR* header, int index) {
  if (!transport.wave_out) return false;
  const DWORD length = total_bytes - next_offset < piece_bytes ? total_bytes - next_offset : piece_bytes;
  ZeroMemory(header, sizeof(WAVEHDR));
  header->lpData = transport.block_data[kMemoryBlock] + next_offset;
  header->dwBufferLength = length;
  header->dwUser = MakeUserWord(index, next_offset + length >= total_bytes);
  next_offset += length;
  if (PrepareOutputHeader(header) != MMSYSERR_NOERROR) {
    header->lpData = nullptr;
    return false;
  }
  if (waveOutWrite(transport.wave_out, header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
    waveOutUnprepareHeader(transport.wave_out, header, sizeof(WAVEHDR));
    header->lpData = nullptr;
    return false;
  }
  ++in_flight;
  return true;
}

}  // namespace

DWORD BeginMemoryPieces(DWORD total) {
  total_bytes = total;
  piece_bytes = MemoryPieceBytes(current_file.format.BytesPerSec, MemoryPieceAlign(), current_file.format.format_tag == WAVE_TAG_MPEGLAYER3);
  active = current_file.format.format_tag != WAVE_TAG_PCM && total > piece_bytes;
  in_flight = active ? 1 : 0;
  next_offset = active ? piece_bytes : total;
  return next_offset;
}

bool MemoryPiecesLeft() { return active && next_offset < total_bytes; }

DWORD MemoryPieceSize() { return active ? piece_bytes : 0; }

bool QueueFurtherMemoryPieces() {
  for (int i = 1; i < kBlockCount && MemoryPiecesLeft(); ++i) {
    if (!QueueNextPiece(transport.block_header[i], i)) return false;
  }
  return true;
}

PieceReturn MemoryPieceReturned(WAVEHDR* header) {
  if (!active) return PieceReturn::kEnded;
  if (in_flight > 0) --in_flight;
  if (IsLastBlock(static_cast<uint32_t>(header->dwUser))) return PieceReturn::kEnded;
  if (transport.wave_out) waveOutUnprepareHeader(transport.wave_out, header, sizeof(WAVEHDR));
  header->lpData = nullptr;
  if (MemoryPiecesLeft() && !QueueNextPiece(header, BlockIndexOf(static_cast<uint32_t>(header->dwUser)))) {
    return PieceReturn::kFailed;
  }
  // Pieces without the end mark all back and none left: the device lost
  // one on the way (it never comes back); the run ends as with one block.
  return in_flight > 0 ? PieceReturn::kPlaying : PieceReturn::kEnded;
}
