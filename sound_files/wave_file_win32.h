// Opening the current file for playing and creating it for recording.
#pragma once
#include <windows.h>

#include "sound_files/sound_file_open.h"

// True when the file is open, playable and positioned at its data; false when
// not (a message has been shown).
bool OpenForPlay();
// True when the file is created with its 44-byte header and the input device
// takes the format; false when not (a message has been shown). After a false
// the caller abandons the transport, which closes a file the failure left open
// and removes it while it holds no sound.
bool CreateForRecord();
// Refuses a name that cannot be the current file (longer than the 259
// characters a path may have) with the message of a file that cannot be
// opened.
void ShowCannotOpenFile();
// True when name fits into the current file's name: at most 259 characters
// as the system counts them.
bool FitsFileName(const char* name);
// A failure text in the language of the interface.
const char* FailureMessage(const FailureText& text);
