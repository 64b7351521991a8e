// The sound a recording keeps, and what it lost. Written to the current file
// (the memory block of an on-memory run, the blocks of a streaming one) and,
// streaming, on into the next file of the series when the file would pass
// the size a WAVE file may have; a streaming file's header is kept true after
// every block and the disk is asked to keep it every few seconds. The run's
// totals (for its time limit) and its dropouts count over all its files.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "audio/dropouts.h"

// Posted to the main window when the file name line changes during a
// recording: the next file of its series, a dropout counted, the end of a run
// that counted some. The window draws the line again.
constexpr UINT kNameLineMessage = WM_APP + 2;

// How often a streaming recording asks the system to put its file on the
// disk (the header is kept true after every block).
constexpr DWORD kFlushIntervalMs = 5000;

// A recording run begins: nothing written or lost yet.
void BeginRecordedSound(uint32_t frames_per_second);

struct SoundWrite {
  DWORD written = 0;      // whole frames that went into the file
  bool whole = false;     // all of them, with the file's header kept true
  std::string failure;    // when not: the text to show (disk full, or no next file)
};
// Writes `bytes` of recorded sound: a streaming block that would take the
// file past its limit goes whole into the next file of the series. A write
// that falls short keeps whole frames only (the partial one is stepped back
// over, so the data ends on a frame).
SoundWrite WriteRecordedSound(const char* data, DWORD bytes);

// Bytes the run has recorded, in all its files.
uint64_t RunRecordedBytes();
// The dropouts of the run (restarted by each pause and continue).
DropoutCounter& RunDropouts();
// The dropouts the file name line shows: those of the recording under way
// (none otherwise).
const DropoutTally& LiveDropouts();
// The file name line changed (kNameLineMessage).
void RedrawNameLine();
