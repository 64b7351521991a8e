// Placeholders for the file information dialogs until they are built.
#include "app/app_state_win32.h"
#include "sound_files/info_dialogs_win32.h"

INT_PTR CALLBACK INFOBOX(HWND dialog, UINT message, WPARAM, LPARAM) {
  if (message == WM_INITDIALOG) EndDialog(dialog, 0);
  return FALSE;
}
INT_PTR CALLBACK InfoDetailProc(HWND dialog, UINT message, WPARAM, LPARAM) {
  if (message == WM_INITDIALOG) EndDialog(dialog, 1);
  return FALSE;
}
