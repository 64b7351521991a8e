// Opening the current file for playing and creating it for recording.
#pragma once
#include <windows.h>

#include "sound_files/sound_file_open.h"

// 1 when the file is open, playable and positioned at its data; 0 when not
// (a message has been shown).
int OpenForPlay();
// 1 when the file is created with its 44-byte header and the input device
// takes the format; 0 when not (a message has been shown).
int CreateForRecord();
// A failure text in the language of the interface.
const char* FailureMessage(const FailureText& text);
