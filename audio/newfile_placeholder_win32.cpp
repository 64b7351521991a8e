// Placeholders for the new-file dialog until it is built: the dialog closes
// at once, reporting Cancel.
#include "app/app_state_win32.h"
#include "audio/newfile_dialog_win32.h"

INT_PTR CALLBACK NEWFILE(HWND dialog, UINT message, WPARAM, LPARAM) {
  if (message == WM_INITDIALOG) EndDialog(dialog, 0);
  return FALSE;
}
void MakeDefaultName(char* buffer) { lstrcatA(buffer, "T0.WAV"); }
