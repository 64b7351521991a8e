// Shows what a stream analysis reported: texts into the output edit control
// (when there is one), plain message boxes, and the format record allocated
// where the analysis asked for it and filled with the record it built.
#pragma once
#include <windows.h>

#include <cstdint>
#include <vector>

#include "sound_files/analysis_report.h"

enum class ReplayResult {
  NO_RECORD,  // the report asked for no record; the previous one is kept
  RECORD,     // the record was allocated and filled
  ABORTED,    // the allocation failed: message shown, file closed
};

ReplayResult ReplayAnalysis(const AnalysisReport& report, HWND output, const std::vector<uint8_t>& record);

// Shows one TEXT or BOX note: a text is appended to the output edit control
// (when there is one), a box is a plain message box. ALLOCATE notes are the
// caller's.
void ShowAnalysisNote(const AnalysisNote& note, HWND output);
