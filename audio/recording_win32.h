// Recording from the wave input into the current file.
#pragma once
#include <windows.h>
#include <mmsystem.h>

// Starts a recording into the current file, or a new one; on standby (started
// with Pause) the input is metered and nothing is kept until Cont.
void StartRecording(bool standby);
void OnRecordBlockFilled(WAVEHDR* header);
void StopRecording();
// Ends a stopped recording whose device never handed its buffers back (the
// device was lost): what they captured is written and the run ends.
void EndRecordingWithoutDevice();
