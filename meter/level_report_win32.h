// The report at the end of a run.
#pragma once
#include <windows.h>

#include "base/dropout_tally.h"
#include "meter/current_format.h"

// The level report (`levels`: levelwarning is on), with a line on the
// dropouts of a recording when it had any; with `levels` false, or nothing
// measured, the dropouts alone when `dropouts_alone` (not when the program is
// ending by itself: no box the user did not ask for may keep it). Shows
// nothing when neither has anything to say. `format` is the current format
// the run measured.
void ShowLevelReport(HWND owner, bool levels, const DropoutTally& dropouts, const CurrentFormat& format,
                     bool dropouts_alone);
