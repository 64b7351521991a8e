// The transport: the one play or record run, its four wave blocks and the
// control states around it.
#pragma once
#include <windows.h>

#include "audio/transport_state_win32.h"
#include "base/format_record.h"
#include "sound_files/recording_file_win32.h"

// Posted to the main window when a run started from the command line has
// played its file to the end: the window moves on to the next file argument,
// or closes after the last one.
constexpr UINT kPlayListNextMessage = WM_APP + 1;

// Sizes the buffers of a run for this format; false (after a message) when
// the format or the buffer time setting cannot be run.
bool ComputeBufferSizes(const FormatRecord* format);
bool AllocateDataBlocks();
void FreeDataBlocks();
void SetRunControls(bool enable);
void SetIdleControls(bool enable);
enum class RunPriority { kNormal, kRaised };
void SetRunPriority(RunPriority priority);
// Waits until minimum_ms have passed since the last wait of the run ended.
void PaceBuffer(DWORD minimum_ms);
void StartDisplayTimer();
// Hands `bytes` of recorded sound to the recording file and counts what went
// in for the run (its time limit); what came of it.
RecordingWrite WriteRecordedSound(const char* data, DWORD bytes);
// A run starts: its record is made anew, with nothing of the run before it
// (called first by every start, while no run is active).
void BeginRunRecord();
// The one end of every run, and of a start that failed part-way: timers off,
// controls of the run off, priority normal, held blocks written (recording),
// device reset and closed, file chunks closed and the file closed, screen
// saver back, data areas freed, run idle and its record cleared, an empty
// recording removed or a recording made the current file for playing,
// repair, idle controls back, level report, next file of the play list.
// Steps that have nothing to do (no device, no file, no run) are skipped.
// `ending` is taken by value: the record a caller's copy may sit in is
// cleared on the way.
void EndRun(RunEnding ending);
// Resets and closes the output device of the run (the run no longer takes
// its notices); headers a lost device still holds are left to it.
void CloseOutputDevice();
// Lets go of the current file and any device while no run is active (before
// another file is chosen, or after a start failed before its run began).
void AbandonTransport();
void RemoveEmptyFile();
// The current file is about to be opened for playing (MODE_PLAY) or prepared
// for recording (MODE_REC): the transport's mode follows it.
void SelectMode(int mode);
// The four wave headers of the main window: made when it is created, and any
// that is missing (left to a lost device, or never had) again at every start;
// false, after a message, when one cannot be had.
bool AllocateHeaderBlocks();
// Frees the four wave headers (the main window is destroyed).
void FreeHeaderBlocks();
// The main window is being destroyed: a run ends as a stop would, its report
// without an owner.
void ShutdownTransport();
