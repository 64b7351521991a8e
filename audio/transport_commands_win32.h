// The transport's commands from the main window and its own timer.
#pragma once
#include <windows.h>

void PauseTransport();
void ResumeTransport();
// Command entry points of the main window (IDM_START, IDM_PAUSE, IDM_STOP).
void OnStartCommand();
void OnPauseCommand();
void OnStopCommand();
// A timer of the main window that belongs to the transport's own bookkeeping
// (not the display timer); false for any other.
bool OnTransportTimer(UINT_PTR id);
