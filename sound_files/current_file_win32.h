// The current file's record: its name, handle, chunks, counts, format record
// and the current format parsed from it, and the figures of its drive.
// Written in sound_files/ alone (OwnedCurrentFile); the others read it
// through current_file and change it through the functions below.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <cstdint>

#include "base/format_record.h"
#include "base/text_rules.h"
#include "meter/current_format.h"

struct CurrentFile {
  char file_name[NAME_BUFFER_SIZE] = {};  // in the name code page (base/file_names_win32.h)
  HMMIO file_mmio = nullptr;
  MMCKINFO riff_chunk = {};
  MMCKINFO inner_chunk = {};
  DWORD data_total = 0;
  DWORD data_count = 0;
  FormatRecord* pFormat = nullptr;  // as read from the file; never changed after
  WORD format_size = 0;             // bytes of the format record
  HLOCAL format_handle = nullptr;   // the memory pFormat is locked in
  CurrentFormat format;             // parsed from pFormat by TakeCurrentFormat
  // Drive figures of the last measurement, capped at 2^31, and the free bytes
  // uncapped (the "Free:" line of a recording).
  DWORD free_bytes = 0, disk_bytes = 0, cluster_bytes = 0;
  uint64_t free_room = 0;
};

extern const CurrentFile& current_file;
CurrentFile& OwnedCurrentFile();

// Names the current file (a name that fits NAME_BUFFER_SIZE; longer ones are
// cut, as the callers have checked them).
void NameCurrentFile(const char* name);
// The current format is written by these three alone; the meter, the
// transport and the rest of sound_files/ only read it.
// Takes the format record of a file just opened for playing or created for
// recording as the current format, and shows it.
void TakeCurrentFormat();
// The counts of the data, changed as the transport moves sound:
// playback takes `bytes` more of the data from the file (data_count falls),
// or finds the file ends early (nothing more to read);
void CountSoundTaken(DWORD bytes);
void EndSoundData();
// a recording runs with a memory block that holds `bytes` (data_total; what
// it writes is counted by the recording file), and a recording just ended
// becomes the current file for playing (its data_total is what was written).
void SetRecordingCapacity(DWORD bytes);
void TakeRecordingForPlay();
// Whether a file opened for playing (or created for recording) gave the
// current format; false before any file, and after a file was refused.
bool HasCurrentFormat();
// Forgets the current format of a file that was refused: the format line
// shows none, and Info has nothing to describe, as before any file.
void ForgetCurrentFormat();
// A file is being opened: the current format keeps no byte rate until the
// new file's is taken, so the capacity line of an open that fails shows no
// time.
void WithholdByteRate();
// Closes the data and RIFF chunks of the current file, which writes their
// sizes (a recording's end), leaving the file open.
void CloseFileChunks();
// Shows the current file's capacity line and the meter's labels: its size
// when opened for playing, the drive's free space when made for recording.
void RefreshFileCapacity(bool recording);
// Reads the next `bytes` of the sound of the file open for playing into
// `into`: the bytes read, fewer at the end of the file, -1 after an error.
LONG ReadSoundData(char* into, LONG bytes);
// Closes the current file without closing its chunks.
void CloseSoundFile();
// Replaces the format record by a new one of size bytes; size on success,
// 0 on failure (message shown, file closed).
WORD AllocFormatRecord(WORD size);
// Unlocks and frees the format record, if any.
void FreeFormatRecord();
