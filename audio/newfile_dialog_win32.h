// The "New file for recording" dialog.
#pragma once
#include <windows.h>

#include "base/settings.h"

// Dialog procedure of "RecOpen". Result 1: the file was created and the
// recording format and time limit stored; 0: cancelled.
INT_PTR CALLBACK NEWFILE(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
// Opens "RecOpen" over the main window; true when a recording file was
// chosen and created (file_name), false when cancelled.
bool OpenNewFileDialog(Settings& settings);

// Turns the directory prefix in buffer (NAME_BUFFER_SIZE bytes) into the
// first "T%u.WAV" name that does not exist yet.
void MakeDefaultName(char* buffer);
