// Playback of the current file to the wave output at the playing rate.
#pragma once
#include <windows.h>
#include <mmsystem.h>

void StartPlayback();
void OnPlayBlockDone(WAVEHDR* header);
void StopPlayback();
