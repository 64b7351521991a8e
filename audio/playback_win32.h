// Playback of the current file to the wave output at the playing rate.
#pragma once
#include <windows.h>
#include <mmsystem.h>

// Posted to the main window when a run started from the command line has
// played its file to the end: the window moves on to the next file argument,
// or closes after the last one.
constexpr UINT kPlayListNextMessage = WM_APP + 1;

void StartPlayback();
void OnPlayBlockDone(WAVEHDR* header);
void StopPlayback();
