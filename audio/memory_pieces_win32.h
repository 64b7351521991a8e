// On-memory playback of a format the wave mapper converts (anything but PCM)
// hands the memory block to the device in consecutive pieces through the
// four wave headers, each given the next piece when it comes back. One
// buffer of a long compressed file would be converted in one call into a
// destination too small for it, and the end of the sound would be lost.
#pragma once
#include <windows.h>
#include <mmsystem.h>

// Starts the pieces of a memory block of `total` bytes; the length of the
// first piece (all of it when the format is PCM or the block fits one piece).
DWORD BeginMemoryPieces(DWORD total);
// True while pieces remain after those handed over.
bool MemoryPiecesLeft();
// Bytes of one piece while the block goes in pieces, else 0.
DWORD MemoryPieceSize();
// Hands further pieces to the device through the headers 1 to 3, after the
// first went through header 0. False when one could not be handed over.
bool QueueFurtherMemoryPieces();

enum class PieceReturn {
  kPlaying,  // the header took the next piece, or pieces still play
  kEnded,    // the piece with the end mark came back, or there are no pieces:
             // the run ends as with one block
  kFailed,   // the next piece could not be handed over (the converter or the
             // device refused it): the run ends with the device's message
};
// A header of the run came back.
PieceReturn MemoryPieceReturned(WAVEHDR* header);
