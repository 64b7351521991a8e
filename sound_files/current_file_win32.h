// The current file (file_mmio) and its format record (hFormat, pFormat).
#pragma once
#include <windows.h>

// Closes the current file without closing its chunks.
void CloseSoundFile();
// Replaces the format record by a new one of size bytes; size on success,
// 0 on failure (message shown, file closed).
WORD AllocFormatRecord(WORD size);
// Unlocks and frees the format record, if any.
void FreeFormatRecord();
