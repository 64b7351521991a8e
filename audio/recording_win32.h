// Recording from the wave input into the current file.
#pragma once
#include <windows.h>
#include <mmsystem.h>

// Starts a recording into the current file, or a new one; on standby (started
// with Pause) the input is metered and nothing is kept until Cont.
void StartRecording(bool standby);
void OnRecordBlockFilled(WAVEHDR* header);
void StopRecording();
// The time limit of the recording that has lasted recorded_ms (streaming: the
// bytes written; on memory: the display tick's position, with the margin old
// systems need). Posts the pause, or the stop and exit of a /R recording.
void ApplyTimeLimit(double recorded_ms, double margin);
// Ends a stopped recording whose device has not handed its buffers back in
// time (it was lost): what they captured is written and the run ends.
void EndStoppedRecording();
// Watches the recording run for an input that stops delivering, from now (a
// start, or the input started again by a pause or a continue).
void WatchRecordingRun();
// The watch's timer (kRecordWatchTimer): an input without a sign of life for
// too long is started again once; still silent, the run ends with the
// device's message, everything written kept. The silence is a dropout.
void OnRecordingWatchTimer();
