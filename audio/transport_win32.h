// The transport: the one play or record run, its four wave blocks and the
// control states around it.
#pragma once
#include <windows.h>

#include "base/format_record.h"

// Posted to the main window when a run started from the command line has
// played its file to the end: the window moves on to the next file argument,
// or closes after the last one.
constexpr UINT kPlayListNextMessage = WM_APP + 1;

// Who shows the level report at the end of a run (when levelwarning is on).
enum class RunReport {
  kNone,        // a start that failed, a write that failed
  kWindow,      // the run ended or was stopped: a box owned by the main window
  kNoOwner,     // the main window is closing
};

// What differs between the ways a run ends. EndRun takes the same steps in the
// same order for every one of them; this says only which of them apply.
struct RunEnding {
  // Recording: what the blocks still in the input device captured (handed
  // back by a stop's reset, or kept by a lost device) is written, oldest
  // first. Not after a write fell short: nothing more goes to that file.
  bool write_held_blocks = true;
  // The file is repaired once closed (an on-memory write fell short).
  bool repair = false;
  // A run of the command line's play list goes on to its next file.
  bool next_in_play_list = false;
  // The program ends after the run (the main window closes, or a recording
  // started from the command line reached its time limit): no box the user
  // did not ask for may keep it (the dropouts, with the level report off).
  bool program_ends = false;
  RunReport report = RunReport::kWindow;
};

// Sizes the buffers of a run for this format; false (after a message) when
// the format or the buffer time setting cannot be run.
bool ComputeBufferSizes(const FormatRecord* format);
// What on-memory pieces of the run's format are cut into (BufferSizing).
uint32_t MemoryPieceAlign();
bool AllocateDataBlocks();
void FreeDataBlocks();
void SetRunControls(bool enable);
void SetIdleControls(bool enable);
enum class RunPriority { kNormal, kRaised };
void SetRunPriority(RunPriority priority);
void PaceBuffer(DWORD minimum_ms);
void StartDisplayTimer();
// The one end of every run, and of a start that failed part-way: timers off,
// controls of the run off, priority normal, held blocks written (recording),
// device reset and closed, file chunks closed and the file closed, screen
// saver back, data areas freed, run idle, an empty recording removed or a
// recording made the current file for playing, repair, idle controls back,
// level report, next file of the play list. Steps that have nothing to do
// (no device, no file, no run) are skipped.
void EndRun(const RunEnding& ending);
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
