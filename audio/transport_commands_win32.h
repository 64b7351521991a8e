// The transport's commands from the main window and its own timer.
#pragma once
#include <windows.h>

// Pause and continue of a run under way. True when the input could not start
// again and the recording was stopped (as a stop of the user's would have).
bool PauseTransport();
bool ResumeTransport();
// Command entry points of the main window (IDM_START, IDM_PAUSE, IDM_STOP).
void OnStartCommand();
// True when the input could not start again and the recording was stopped,
// as a stop of the user's would have.
bool OnPauseCommand();
void OnStopCommand();
// The transport's timers of the main window: the display timer of on-memory
// runs (the tick, then the recording time limit) and the bounded wait for the
// blocks of a stopped recording.
void OnTransportTimer(UINT_PTR id);
