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
// Hands further pieces to the device through the headers 1 to 3, after the
// first went through header 0.
void QueueFurtherMemoryPieces();
// A header came back: it takes the next piece. True while the run goes on
// with pieces still playing; false when the piece with the end mark came
// back, or no piece is playing any more: the run ends as with one block.
bool MemoryPieceReturned(WAVEHDR* header);
