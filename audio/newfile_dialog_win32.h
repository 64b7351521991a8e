// The "New file for recording" dialog.
#pragma once
#include <windows.h>

#include "audio/newfile_rules.h"

// Opens "RecOpen" over owner with the format, time limit and automatic
// extension of in, the format fitted to in.input_formats. True when the user
// pressed OK: the file out->file_name has been created (empty), the input
// device takes the format, and out holds everything chosen. False when
// cancelled: out is in but for AutoExtention, whose box counts either way.
// Nothing outside the dialog changes while it is open.
bool OpenNewFileDialog(HWND owner, const RecordChoice& in, RecordChoice* out);

// Turns the directory prefix in buffer (NAME_BUFFER_SIZE bytes) into the
// first "T%u.WAV" name that does not exist yet.
void MakeDefaultName(char* buffer);
