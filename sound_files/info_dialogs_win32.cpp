// The file information dialog and the detail dialog. What they show is
// worked out by the portable info_fields; here it is put into the controls.
#include "sound_files/info_dialogs_win32.h"

#include "base/app_state_win32.h"
#include "base/dialog_look_win32.h"
#include "base/file_names_win32.h"
#include "resources/resource_ids.h"
#include "sound_files/analysis_replay_win32.h"
#include "sound_files/current_file_win32.h"
#include "sound_files/format_names_win32.h"
#include "sound_files/info_fields.h"
#include "sound_files/plain_file_win32.h"

namespace {


void ShowTexts(HWND dialog, const DialogTexts& texts) {
  for (const auto& [id, text] : texts.All()) SetDlgItemTextA(dialog, id, text.c_str());
}

// The size the file system reports; negative when the file is not there (or
// is a device: the dialog never opens one).
int64_t FileSystemSize(const char* name) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!FileAttributesNamed(name, data)) return -1;
  return static_cast<int64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

std::string NameOfTag(uint16_t tag) { return FormatTagName(tag); }

INT_PTR OnInfoBoxInit(HWND dialog, const InfoRequest& request) {
  SetUpThreeD(dialog, nullptr);  // no bordered controls here
  ShowTexts(dialog, InfoBoxTexts(request.values, request.mode));
  SetFocus(GetDlgItem(dialog, IDOK));
  return FALSE;  // the focus is set
}

INT_PTR OnInfoBoxCommand(HWND dialog, int id) {
  if (id == IDOK || id == IDCANCEL) EndDialog(dialog, 0);
  if (id == IDC_INFO_DETAIL) EndDialog(dialog, 1);
  return TRUE;
}

// A read-only text box to the right of the template's controls; the dialog
// grows to hold it. The dialog's own font units place it just past the
// template's 160 x 170 units.
HWND AddTextBox(HWND dialog) {
  RECT units = {0, 0, 4, 4};
  MapDialogRect(dialog, &units);
  int u = units.right;   // four horizontal dialog units: one character width
  int v = units.bottom;  // four vertical dialog units: half a character height
  int scroll = GetSystemMetrics(SM_CXVSCROLL);
  int height = (170 * v + 170) / 4;
  HWND box = CreateWindowExA(0, "edit", "",
                             WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_READONLY, 40 * u,
                             0, scroll + 150, height + 8, dialog, reinterpret_cast<HMENU>(static_cast<INT_PTR>(-1)),
                             app.instance, nullptr);
  SetWindowPos(dialog, nullptr, 0, 0, 40 * u + scroll + 2 * GetSystemMetrics(SM_CXDLGFRAME) + 152,
               height + GetSystemMetrics(SM_CYCAPTION) + 2 * GetSystemMetrics(SM_CYDLGFRAME) + 9,
               SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
  return box;
}

INT_PTR OnInfoDetailInit(HWND dialog, const InfoRequest& request) {
  SetUpThreeD(dialog, nullptr);  // no bordered controls here
  const InfoTextMode mode = request.mode;
  int64_t file_size = FileSystemSize(request.file_name);
  PlainFile file(request.file_name, PlainFile::READ_ONLY);
  DetailFields detail = ReadDetailFields(file.is_open() ? &file : nullptr, file_size, mode, NameOfTag);

  ShowTexts(dialog, detail.texts);

  // Files other than WAVE: the MPEG or Ogg analysis in a text box, then the
  // fields it changes.
  if (detail.file_read && detail.kind != KIND_WAVE) {
    HWND text_box = AddTextBox(dialog);
    AnalysisReport report;
    AnalyseStream(file, detail, file_size, mode, report);
    // The dialog only describes the file: the record the analysis built is
    // not taken.
    for (const AnalysisNote& note : report.notes()) ShowAnalysisNote(note, text_box);
    ShowTexts(dialog, detail.texts);
  }
  return TRUE;
}

INT_PTR OnInfoDetailCommand(HWND dialog, int id) {
  // The text box's notifications come here too; only OK and Cancel close.
  if (id == IDOK || id == IDCANCEL) EndDialog(dialog, 1);
  return TRUE;
}

// "InfoBox": result 1 when Detail was pressed, 0 on OK or Cancel.
INT_PTR CALLBACK INFOBOX(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      return OnInfoBoxInit(dialog, *reinterpret_cast<const InfoRequest*>(lparam));
    case WM_COMMAND:
      return OnInfoBoxCommand(dialog, LOWORD(wparam));
    case WM_SYSCOMMAND:
      return OnThreeDCommand(dialog, wparam);
  }
  return FALSE;
}

// "InfoDetail": always ends with 1.
INT_PTR CALLBACK InfoDetailProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      return OnInfoDetailInit(dialog, *reinterpret_cast<const InfoRequest*>(lparam));
    case WM_COMMAND:
      return OnInfoDetailCommand(dialog, LOWORD(wparam));
    case WM_SYSCOMMAND:
      return OnThreeDCommand(dialog, wparam);
  }
  return FALSE;
}

}  // namespace

void OpenInfoDialogs(HWND owner, const InfoRequest& request) {
  const LPARAM parameter = reinterpret_cast<LPARAM>(&request);
  if (DialogBoxParamA(app.instance, "InfoBox", owner, INFOBOX, parameter) > 0)
    DialogBoxParamA(app.instance, "InfoDetail", owner, InfoDetailProc, parameter);
}
