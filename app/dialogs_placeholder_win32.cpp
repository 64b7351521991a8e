// Placeholders for the Option dialog, the About box and the dialog look until
// they are built: the dialogs close at once, reporting Cancel.
#include "app/app_state_win32.h"
#include "app/dialogs_win32.h"

INT_PTR CALLBACK OPTION(HWND dialog, UINT message, WPARAM, LPARAM) {
  if (message == WM_INITDIALOG) EndDialog(dialog, 0);
  return FALSE;
}
INT_PTR CALLBACK ABOUTBOX(HWND dialog, UINT message, WPARAM, LPARAM) {
  if (message == WM_INITDIALOG) EndDialog(dialog, 1);
  return FALSE;
}
void SetUpThreeD(HWND) {}
void ToggleThreeD(HWND) {}
void RecreateControl(HWND, int, const char*) {}
