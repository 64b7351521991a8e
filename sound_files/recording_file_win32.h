// The file a recording writes into while it grows, all of it here: the
// chunks of its header, the sound appended to it, the sizes in the header
// kept true as sound is added, the disk asked to keep what was written, and
// the next file of its series once a file is as large as a WAVE file may be.
// The recording hands it its blocks and is told what came of each.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// How often a streaming recording asks the system to put its file on the
// disk (the header is kept true after every block).
constexpr DWORD kFlushIntervalMs = 5000;

// Creates the RIFF chunk ("WAVE") and the header of the 16-byte format chunk
// in the open current file. The failure's message text, or nullptr.
const char* CreateRecordingChunks();
// Closes the format chunk and opens the data chunk. The failure's message
// text, or nullptr.
const char* CreateDataChunk();
// The recording file file_name has just been created in the format `record`
// (16 bytes): it begins a series, whose headers are written from it.
void BeginRecordingSeries(const std::vector<uint8_t>& record);

// A run begins to write into the recording file: streaming (block after
// block, the file's header kept true after each and the disk asked to keep it
// every kFlushIntervalMs, on into the next file of the series when the file
// is full), or on memory (the memory block once, at its end).
void BeginRecordingWrites(bool streaming);

// What came of a block handed to the recording file.
struct RecordingWrite {
  DWORD written = 0;       // bytes of whole frames that went into the file
  bool whole = false;      // all of them, with the file's header kept true
  bool next_file = false;  // the series went on into its next file: the current file's name changed
  std::string failure;     // when not whole: the text to show (disk full, or no next file)
};
// Appends `bytes` of recorded sound to the current file. A streaming block
// that would take the file past its limit goes whole into the next file of
// the series; a block larger than a whole file can hold keeps what fits. A
// write that falls short keeps whole frames only (the partial one is stepped
// back over, so the data ends on a frame); nothing more should be written.
RecordingWrite AppendRecording(const char* data, DWORD bytes);

// True when a file of the series was closed to go on into the one now
// current: file_name names the closed one again and data_count is its data
// (the current file, empty, was not kept). For a run that ends before
// anything went into its last file.
bool StepBackInSeries();
