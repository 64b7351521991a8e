// The file a recording writes into while it grows: the chunks of its header,
// the sizes in the header kept true as sound is added, the disk asked to keep
// what was written, and the next file of its series once a file is as large
// as a WAVE file may be.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// Creates the RIFF chunk ("WAVE") and the header of the 16-byte format chunk
// in the open current file. The failure's message text, or nullptr.
const char* CreateRecordingChunks();
// Closes the format chunk and opens the data chunk. The failure's message
// text, or nullptr.
const char* CreateDataChunk();
// The recording file file_name has just been created in the format `record`
// (16 bytes): it begins a series, whose headers are written from it.
void BeginRecordingSeries(const std::vector<uint8_t>& record);

// Closes the current file, whole (chunk sizes written), and creates the next
// file of the series (TAKE (2).WAV, ...: sound_files/file_series.h, never over
// a file that exists) as the current file, empty and positioned at its data.
// The name is the current file's name (file_name) from then on. When no file
// can be made: the text to show (the caller shows it once the input device
// is stopped), which says that the recording stopped, the file that could
// not be made and the one that holds the end of the recording, which is
// closed whole and still named by file_name; empty on success.
std::string ContinueInNextFile();
// True when a file of the series was closed to go on into the one now
// current: file_name names the closed one again and data_count is its data
// (the current file, empty, was not kept). For a run that ends before
// anything went into its last file.
bool StepBackInSeries();

// Rewrites the header of the recording file for the data_count bytes written,
// in one write, and comes back to the end: the file is a whole WAVE file of
// what it holds. False when the write failed.
bool UpdateRecordingHeader();
// Asks the system to put what was written to the recording file on the disk.
// This runs on a thread of its own, through a handle of its own (a slow disk
// may take seconds, and the input must be taken back meanwhile: nothing the
// recording writes through waits for it); a request while the last one is
// still running is dropped.
void FlushRecordingFile();
