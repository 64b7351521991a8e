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
void EndRun();
void AbandonTransport();
void RemoveEmptyFile();
void ShutdownTransport();
