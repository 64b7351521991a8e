// The thread-local slot behind CurrentStream (current_stream.h) in the
// driver DLL: taken when the DLL is loaded, given back when it is unloaded.
#pragma once

// False when the system has no slot left: every stream then fails to run
// (MMSYSERR_NOMEM), and the host goes on.
bool TakeCurrentStreamSlot();
void ReturnCurrentStreamSlot();
