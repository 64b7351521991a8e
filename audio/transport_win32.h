// The transport: the one play or record run, its four wave blocks and the
// control states around it.
#pragma once
#include <windows.h>

#include "base/format_record.h"

// Sizes the buffers of a run for this format; false (after a message) when
// the format or the buffer time setting cannot be run.
bool ComputeBufferSizes(const FormatRecord* format);
bool AllocateDataBlocks();
void FreeDataBlocks();
void SetRunControls(int enable);
void SetIdleControls(int enable);
void SetRunPriority(int raise);
void PaceBuffer(DWORD minimum_ms);
void StartDisplayTimer();
void PauseTransport();
void ResumeTransport();
// Command entry points of the main window (IDM_START, IDM_PAUSE, IDM_STOP).
void OnStartCommand();
void OnPauseCommand();
void OnStopCommand();
void EndRun();
void AbandonTransport();
void RemoveEmptyFile();
void ShutdownTransport();
// A timer of the main window that belongs to the transport's own bookkeeping
// (not the display timer); false for any other.
bool OnTransportTimer(UINT_PTR id);
