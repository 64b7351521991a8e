#include "audio/memory_pieces_win32.h"

#include "audio/converted_output_win32.h"
#include "audio/memory_pieces.h"
#include "audio/transport_math.h"
#include "base/app_state_win32.h"
#include "base/format_record.h"

namespace {

bool active = false;
DWORD total_bytes = 0;
DWORD next_offset = 0;  // the first byte not yet handed over
DWORD piece_bytes = 0;
int in_flight = 0;

// Gives the header the next piece and writes it; false when none is left or
// the device refuses it.
bool QueueNextPiece(WAVEHDR* header, int index) {
  if (next_offset >= total_bytes || !app.wave_out) return false;
  const DWORD length = total_bytes - next_offset < piece_bytes ? total_bytes - next_offset : piece_bytes;
  ZeroMemory(header, sizeof(WAVEHDR));
  header->lpData = app.block_data[kMemoryBlock] + next_offset;
  header->dwBufferLength = length;
  header->dwUser = MakeUserWord(index, next_offset + length >= total_bytes);
  if (PrepareOutputHeader(header) != MMSYSERR_NOERROR) {
    header->lpData = nullptr;
    return false;
  }
  if (waveOutWrite(app.wave_out, header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
    waveOutUnprepareHeader(app.wave_out, header, sizeof(WAVEHDR));
    header->lpData = nullptr;
    return false;
  }
  next_offset += length;
  ++in_flight;
  return true;
}

}  // namespace

DWORD BeginMemoryPieces(DWORD total) {
  total_bytes = total;
  piece_bytes = MemoryPieceBytes(app.BytesPerSec, app.blockalign > 0 ? static_cast<uint32_t>(app.blockalign) : 1);
  active = app.format_tag != WAVE_TAG_PCM && total > piece_bytes;
  in_flight = active ? 1 : 0;
  next_offset = active ? piece_bytes : total;
  return next_offset;
}

bool MemoryPiecesLeft() { return active && next_offset < total_bytes; }

void QueueFurtherMemoryPieces() {
  if (!active) return;
  for (int i = 1; i < kBlockCount && MemoryPiecesLeft(); ++i) {
    if (!QueueNextPiece(app.block_header[i], i)) break;
  }
}

bool MemoryPieceReturned(WAVEHDR* header) {
  if (!active) return false;
  if (in_flight > 0) --in_flight;
  if (IsLastBlock(static_cast<uint32_t>(header->dwUser))) return false;
  if (app.wave_out) waveOutUnprepareHeader(app.wave_out, header, sizeof(WAVEHDR));
  header->lpData = nullptr;
  QueueNextPiece(header, BlockIndexOf(static_cast<uint32_t>(header->dwUser)));
  return in_flight > 0;
}
