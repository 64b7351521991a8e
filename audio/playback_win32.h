// Playback of the current file to the wave output at the playing rate.
#pragma once
#include <windows.h>
#include <mmsystem.h>

void StartPlayback();
void OnPlayBlockDone(WAVEHDR* header);
void StopPlayback();
// The watch timer of a playback (kPlayWatchTimer): a run whose device has
// handed no block back for much longer than the blocks last ends with a
// message, as a run at its end (a /P list goes on with its next file). Once
// no playback runs the timer stops itself.
void OnPlaybackWatchTimer();
