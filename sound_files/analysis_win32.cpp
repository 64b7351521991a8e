// The MPEG and Ogg analysers on the current file, and the replay of their
// reports into the edit control, message boxes and the format record.
#include <cstring>

#include "app/app_state_win32.h"
#include "sound_files/analysis_replay_win32.h"
#include "sound_files/analysis_win32.h"
#include "sound_files/mmio_riff_file_win32.h"
#include "sound_files/mpeg_analysis.h"
#include "sound_files/ogg_analysis.h"
#include "sound_files/wave_file_win32.h"

void ShowAnalysisNote(const AnalysisNote& note, HWND output) {
  if (note.kind == AnalysisNote::TEXT && output) {
    const int end = GetWindowTextLengthA(output);
    SendMessageA(output, EM_SETSEL, end, end);
    SendMessageA(output, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(note.text.c_str()));
  } else if (note.kind == AnalysisNote::BOX) {
    MessageBoxA(note.owned ? app.main_window : nullptr, note.text.c_str(),
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
  const size_t bytes = record.size() < app.format_size ? record.size() : app.format_size;
  if (bytes) std::memcpy(app.pFormat, record.data(), bytes);
  return ReplayResult::RECORD;
}

namespace {

int Replay(int result, const AnalysisReport& report, HWND output, const std::vector<uint8_t>& record) {
  if (result != ANALYSIS_OK) return result;
  return ReplayAnalysis(report, output, record) == ReplayResult::ABORTED ? ANALYSIS_ABORT : ANALYSIS_OK;
}

}  // namespace

int AnalyzeMpeg(HWND output) {
  if (!app.file_mmio) return ANALYSIS_NOT_MINE;
  MmioRiffFile file(app.file_mmio);
  AnalysisReport report;
  std::vector<uint8_t> record;
  const int result = AnalyzeMpegStream(file, app.data_total, report, record);
  return Replay(result, report, output, record);
}

int AnalyzeOgg(HWND output, LONG offset) {
  if (!app.file_mmio || offset < 0) return ANALYSIS_NOT_MINE;
  MmioRiffFile file(app.file_mmio);
  AnalysisReport report;
  std::vector<uint8_t> record;
  const int result = AnalyzeOggStream(file, static_cast<uint32_t>(offset), report, record);
  return Replay(result, report, output, record);
}
