// The Option dialog.
#pragma once
#include <windows.h>

#include "base/settings.h"

// What the Option dialog shows and what the user chose: the settings it
// changes (PeakHold, smooth, display, monochrome, levelwarning, deltatime,
// OnMem and MemSize) and the playing rate; the recording format it only
// shows (the time the memory holds).
struct OptionChoice {
  OptionSettings options;
  RecordingSettings recording;
  int rate_steps = 0;
};

// Opens "Option" over owner with in. True when the user pressed OK, with the
// choice in out; false when cancelled (out untouched). Nothing outside the
// dialog changes while it is open but the look of dialogs, which its system
// menu switches at once.
bool OpenOptionDialog(HWND owner, const OptionChoice& in, OptionChoice* out);
