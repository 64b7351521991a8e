// The MPEG audio and Ogg stream analysers, reading through file_mmio.
#pragma once
#include <windows.h>

// Returns ANALYSIS_OK, ANALYSIS_ABORT or ANALYSIS_NOT_MINE. With an output
// edit control, the description of what was found is appended to it.
int AnalyzeMpeg(HWND output);
int AnalyzeOgg(HWND output, LONG offset);
