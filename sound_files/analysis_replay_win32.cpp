// The replay of the MPEG and Ogg analysers' reports into the edit control,
// message boxes and the format record.
#include <cstring>

#include "base/app_state_win32.h"
#include "base/ui_text_win32.h"
#include "sound_files/analysis_replay_win32.h"
#include "sound_files/current_file_win32.h"

void ShowAnalysisNote(const AnalysisNote& note, HWND output) {
  if (note.kind == AnalysisNote::TEXT && output) {
    const int end = GetWindowTextLengthA(output);
    SendMessageA(output, EM_SETSEL, end, end);
    SendMessageA(output, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(note.text.c_str()));
  } else if (note.kind == AnalysisNote::BOX) {
    ShowMessageBox(note.owned ? app.main_window : nullptr, note.text.c_str(),
                note.caption.empty() ? nullptr : note.caption.c_str(), MB_OK);
  }
}

ReplayResult ReplayAnalysis(const AnalysisReport& report, HWND output, const std::vector<uint8_t>& record) {
  bool allocated = false;
  for (const AnalysisNote& note : report.notes()) {
    if (note.kind != AnalysisNote::ALLOCATE) {
      ShowAnalysisNote(note, output);
      continue;
    }
    if (!AllocFormatRecord(note.size)) return ReplayResult::ABORTED;
    allocated = true;
  }
  if (!allocated) return ReplayResult::NO_RECORD;
  CurrentFile& file = OwnedCurrentFile();
  const size_t bytes = record.size() < file.format_size ? record.size() : file.format_size;
  if (bytes) std::memcpy(file.pFormat, record.data(), bytes);
  return ReplayResult::RECORD;
}
