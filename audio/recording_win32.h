// Recording from the wave input into the current file.
#pragma once
#include <windows.h>
#include <mmsystem.h>

// True when the recording runs and is not on standby.
bool StartRecording();
void OnRecordBlockFilled(WAVEHDR* header);
void StopRecording();
// Ends a stopped recording whose device never handed its buffers back (the
// device was lost): what they captured is written and the run ends.
void EndRecordingWithoutDevice();
void ReportHeaderFailure();
