// The current file (file_mmio), its format record (pFormat) and the current
// format taken from it.
#pragma once
#include <windows.h>

#include "base/format_record.h"

// Takes the format of a file just opened for playing or created for recording
// as the current format, and shows it. The only writer of the fields of the
// current format (BytesPerSec, blockalign, khz, sample_bits, format_tag and
// the meter's sample_class); the meter and the transport only read them.
void TakeCurrentFormat(const FormatRecord* format);
// Closes the current file without closing its chunks.
void CloseSoundFile();
// Replaces the format record by a new one of size bytes; size on success,
// 0 on failure (message shown, file closed).
WORD AllocFormatRecord(WORD size);
// Unlocks and frees the format record, if any.
void FreeFormatRecord();
