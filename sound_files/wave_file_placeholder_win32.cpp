// Placeholders for the sound-file subsystem until it is built: opening and
// creating fail with a plain message.
#include "app/app_state_win32.h"
#include "app/ui_text_win32.h"
#include "sound_files/analysis_win32.h"
#include "sound_files/repair_win32.h"
#include "sound_files/wave_file_win32.h"

int OpenForPlay() {
  ShowFailure("opening sound files is not built yet");
  return 0;
}
int CreateForRecord() {
  ShowFailure("creating sound files is not built yet");
  return 0;
}
WORD AllocFormatRecord(WORD) { return 0; }
void FreeFormatRecord() {}
int RepairWave() { return 1; }
int AnalyzeMpeg(HWND) { return ANALYSIS_NOT_MINE; }
int AnalyzeOgg(HWND, LONG) { return ANALYSIS_NOT_MINE; }
