// The "New file for recording" dialog: name, format and time limit of the
// next recording, with the free space of the target drive.
#include <cstdio>
#include <cstring>
#include <vector>

#include "base/app_state_win32.h"
// after windows.h
#include <commdlg.h>

#include "audio/newfile_dialog_win32.h"
#include "audio/newfile_rules.h"
#include "base/dialog_look_win32.h"
#include "base/file_names_win32.h"
#include "base/file_system_win32.h"
#include "base/text_rules.h"
#include "base/ui_text_win32.h"
#include "resources/ja_dialogs.h"
#include "resources/resource_ids.h"
#include "sound_files/current_file_win32.h"
#include "sound_files/disk_space_win32.h"
#include "sound_files/file_series.h"
#include "sound_files/wave_create.h"

namespace {

// buffer: FREE_SPACE_TEXT_SIZE bytes for the composed line.
constexpr size_t FREE_SPACE_TEXT_SIZE = 160;

constexpr int NAME_LIMIT = MAX_PATH - 1;
constexpr int MINUTES_LIMIT = 15;

// One open dialog: the choice being made (a copy; nothing outside changes
// until the dialog ends), the drive of the recording file whose space was
// last measured ("C:", or empty), and the Japanese font of the "Auto
// Extention" box.
struct NewFileDialog {
  RecordChoice choice;
  char record_drive[3];
  HFONT auto_extension_font;
};

NewFileDialog& StateOf(HWND dialog) {
  return *reinterpret_cast<NewFileDialog*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

struct RadioGroup {
  int first, last;
};
constexpr RadioGroup kRateButtons = {IDC_NEW_44K, IDC_NEW_11K};
constexpr RadioGroup kChannelButtons = {IDC_NEW_STEREO, IDC_NEW_MONO};
constexpr RadioGroup kBitButtons = {IDC_NEW_16BIT, IDC_NEW_8BIT};
constexpr RadioGroup kLimitButtons = {IDC_NEW_LIMIT_YES, IDC_NEW_LIMIT_NO};

int PathKind(const char* path, void*) { return FileKind(path); }

bool IsChecked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

void Enable(HWND dialog, int id, bool on) { EnableWindow(GetDlgItem(dialog, id), on); }

// Tab reaches a button group through its checked button, so the keyboard
// still finds a group whose first button is greyed.
void KeepTabStopOnChecked(HWND dialog, RadioGroup group) {
  int target = 0;
  for (int id = group.first; id <= group.last; ++id)
    if (IsChecked(dialog, id) && IsWindowEnabled(GetDlgItem(dialog, id))) target = id;
  for (int id = group.first; id <= group.last && !target; ++id)
    if (IsWindowEnabled(GetDlgItem(dialog, id))) target = id;
  if (!target) target = group.first;
  for (int id = group.first; id <= group.last; ++id) {
    HWND button = GetDlgItem(dialog, id);
    LONG style = GetWindowLongA(button, GWL_STYLE);
    style = id == target ? (style | WS_TABSTOP) : (style & ~static_cast<LONG>(WS_TABSTOP));
    SetWindowLongA(button, GWL_STYLE, style);
  }
}

void CheckInGroup(HWND dialog, RadioGroup group, int id) {
  if (id) CheckRadioButton(dialog, group.first, group.last, id);
  KeepTabStopOnChecked(dialog, group);
}

// The new-file dialog's hook for a change of look: both edits are made again
// behind their labels, with their length limits.
void RecreateNewFileControls(HWND dialog) {
  RecreateControl(dialog, IDC_NEW_NAME, "edit");
  RecreateControl(dialog, IDC_NEW_MINUTES, "edit");
  SetWindowPos(GetDlgItem(dialog, IDC_NEW_NAME), GetDlgItem(dialog, IDC_NEW_NAMELABEL), 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE);
  SetWindowPos(GetDlgItem(dialog, IDC_NEW_MINUTES), GetDlgItem(dialog, IDC_NEW_MINLABEL), 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE);
  SendDlgItemMessageA(dialog, IDC_NEW_NAME, EM_LIMITTEXT, NAME_LIMIT, 0);
  SendDlgItemMessageA(dialog, IDC_NEW_MINUTES, EM_LIMITTEXT, MINUTES_LIMIT, 0);
}

void LocalizeNewFileDialog(HWND dialog, NewFileDialog& state) {
  static const ControlText kTexts[] = {
      {IDC_NEW_BROWSE, ja::kBrowseButton}, {IDC_NEW_LIMITGROUP, ja::kTimeLimit}, {IDC_NEW_LIMIT_YES, ja::kYes},
      {IDC_NEW_LIMIT_NO, ja::kNo},         {IDC_NEW_MINLABEL, ja::kMinutes},     {IDC_NEW_NAMELABEL, ja::kFileName},
      {IDC_NEW_FREQGROUP, ja::kFrequency}, {IDC_NEW_CHANGROUP, ja::kChannels},   {IDC_NEW_STEREO, ja::kStereo},
      {IDC_NEW_MONO, ja::kMonaural},       {IDC_NEW_BITSGROUP, ja::kBits},       {IDC_NEW_AUTOEXT, ja::kAutoExtension},
  };
  SetDialogTexts(dialog, ja::kNewFileTitle, kTexts);
  state.auto_extension_font = GiveSmallFont(dialog, IDC_NEW_AUTOEXT, SHIFTJIS_CHARSET);
}

int RateButton(uint32_t rate) {
  switch (rate) {
    case 44100: return IDC_NEW_44K;
    case 22050: return IDC_NEW_22K;
    case 11025: return IDC_NEW_11K;
    default: return 0;
  }
}

void ShowFormatButtons(HWND dialog, RecordChoice& c) {
  FormatButtons buttons = FitFormatToDevice(c.input_formats, c.recording);
  CheckInGroup(dialog, kChannelButtons,
               buttons.checked_channels == 2 ? IDC_NEW_STEREO : buttons.checked_channels == 1 ? IDC_NEW_MONO : 0);
  for (int id : {IDC_NEW_CHANGROUP, IDC_NEW_STEREO, IDC_NEW_MONO}) Enable(dialog, id, buttons.channels_enabled);
  CheckInGroup(dialog, kBitButtons,
               buttons.checked_bits == 16 ? IDC_NEW_16BIT : buttons.checked_bits == 8 ? IDC_NEW_8BIT : 0);
  for (int id : {IDC_NEW_BITSGROUP, IDC_NEW_16BIT, IDC_NEW_8BIT}) Enable(dialog, id, buttons.bits_enabled);
  for (int id : {IDC_NEW_FREQGROUP, IDC_NEW_44K, IDC_NEW_22K, IDC_NEW_11K})
    Enable(dialog, id, buttons.frequency_enabled);
  Enable(dialog, IDC_NEW_44K, buttons.rate44_enabled);
  CheckInGroup(dialog, kRateButtons, RateButton(buttons.checked_rate));
  KeepTabStopOnChecked(dialog, kChannelButtons);
  KeepTabStopOnChecked(dialog, kBitButtons);
}

void EnableLimitField(HWND dialog, bool on) {
  Enable(dialog, IDC_NEW_MINUTES, on);
  Enable(dialog, IDC_NEW_MINLABEL, on);
}

void ShowFreeSpace(HWND dialog, char* buffer) {
  const std::string current = CurrentDirectoryName();
  const NewFileDialog& state = StateOf(dialog);
  const RecordChoice& c = state.choice;
  const RecordingSettings& r = c.recording;
  FormatFreeSpace(FreeSpaceDriveLetter(state.record_drive, current.c_str()), current_file.free_bytes, r.rec_freq,
                  r.rec_channel, r.rec_bits, app.japanese_ui, c.levelwarning, buffer, FREE_SPACE_TEXT_SIZE);
  SetDlgItemTextA(dialog, IDC_NEW_FREESPACE, buffer);
}

void RefreshFreeSpace(HWND dialog) {
  char buffer[FREE_SPACE_TEXT_SIZE];
  ShowFreeSpace(dialog, buffer);
}

BOOL OnNewFileInit(HWND dialog, NewFileDialog& state) {
  SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&state));
  const RecordChoice& s = state.choice;
  SetUpThreeD(dialog, RecreateNewFileControls);
  if (app.japanese_ui) LocalizeNewFileDialog(dialog, state);

  char minutes[32];
  FormatLimitMinutes(s.recording.EndTime, minutes, sizeof minutes);
  SendDlgItemMessageA(dialog, IDC_NEW_MINUTES, EM_LIMITTEXT, MINUTES_LIMIT, 0);
  SetDlgItemTextA(dialog, IDC_NEW_MINUTES, minutes);
  CheckInGroup(dialog, kLimitButtons, s.recording.time_limit ? IDC_NEW_LIMIT_YES : IDC_NEW_LIMIT_NO);
  if (!s.recording.time_limit) EnableLimitField(dialog, false);

  ShowFormatButtons(dialog, state.choice);

  state.record_drive[0] = '\0';
  SendDlgItemMessageA(dialog, IDC_NEW_NAME, EM_LIMITTEXT, NAME_LIMIT, 0);
  MeasureDiskSpace(nullptr);
  RefreshFreeSpace(dialog);
  SetFocus(GetDlgItem(dialog, IDC_NEW_NAME));
  CheckDlgButton(dialog, IDC_NEW_AUTOEXT, s.AutoExtention ? BST_CHECKED : BST_UNCHECKED);
  return FALSE;  // the focus is set
}

// A new drive in the name field is measured once.
void OnNameChanged(HWND dialog) {
  char start[3] = {};
  lstrcpynA(start, NameTextOf(GetDlgItem(dialog, IDC_NEW_NAME)).c_str(), sizeof start);
  char* record_drive = StateOf(dialog).record_drive;
  if (strcmp(start, record_drive) == 0) return;
  memcpy(record_drive, start, sizeof start);
  MeasureDiskSpace(record_drive[1] == ':' ? record_drive : nullptr);
  RefreshFreeSpace(dialog);
}

// The browse dialog; a chosen name goes into the name field.
void Browse(HWND dialog, const BrowseStart& start) {
  // Description and pattern pairs, each ending in a zero byte, the list in two.
  std::string filter;
  for (const char* piece : {Pick("Sound(*.WAV)", ja::kSoundFilter), "*.WAV",
                            Pick("All files (*.*)", ja::kAllFilesFilter), "*.*"}) {
    filter += piece;
    filter += '\0';
  }
  filter += '\0';

  FileDialogRequest request;
  request.owner = dialog;
  request.save = true;
  request.filter = &filter;
  request.title = Pick("Browse", ja::kBrowseTitle);
  request.initial_directory = start.directory[0] ? start.directory : nullptr;
  request.flags = OFN_HIDEREADONLY;
  request.struct_size = sizeof(OPENFILENAMEA);
  std::string file = start.file;
  if (AskFileName(request, file)) {
    SetNameText(GetDlgItem(dialog, IDC_NEW_NAME), file.c_str());
    SetFocus(GetDlgItem(dialog, IDC_NEW_NAME));
  } else if (StateOf(dialog).record_drive[1] != ':') {
    MeasureDiskSpace(nullptr);
    RefreshFreeSpace(dialog);
  }
}

// The name field's text, cut to a name's buffer (the field takes no more).
void ReadNameField(HWND dialog, char (&name)[RECORD_NAME_SIZE]) {
  lstrcpynA(name, NameTextOf(GetDlgItem(dialog, IDC_NEW_NAME)).c_str(), sizeof name);
}

void OnBrowseButton(HWND dialog) {
  char text[RECORD_NAME_SIZE] = {};
  ReadNameField(dialog, text);
  Browse(dialog, BrowseStartForText(text, text[0] ? PathKind(text, nullptr) : KIND_NONE));
}

void SayCannotCreate(HWND dialog) {
  ShowMessageBox(dialog, Pick("File cannot create.\nfile name ?", ja::kCannotCreate),
                 Pick("RecOpen", ja::kNewFileTitle), MB_ICONEXCLAMATION | MB_OK);
}

bool MayOverwrite(HWND dialog, const char* name) {
  char question[2 * RECORD_NAME_SIZE + 128];
  snprintf(question, sizeof question, Pick("%s\nThis file is exist.\n\nOverwrite?", ja::kOverwrite),
           NameForDisplay(name).c_str());
  return ShowMessageBox(dialog, question, Pick("RecOpen", ja::kNewFileTitle), MB_YESNO | MB_ICONEXCLAMATION) == IDYES;
}

// Recording over the first file of a series whose numbered files are there
// (TAKE.WAV beside last night's TAKE (2).WAV, ...): the user keeps them (the
// new series takes the numbers that are free, as it always does) or names
// the recording otherwise. Nothing is deleted.
bool MayKeepEarlierSeries(HWND dialog, const char* name) {
  std::string lowest;
  const unsigned found =
      EarlierSeriesFiles(name, [](const std::string& n) { return FileKind(n.c_str()) != KIND_NONE; }, lowest);
  if (found == 0) return true;
  std::vector<char> directory(lowest.size() + 1), part(lowest.size() + 1);
  SplitPath(lowest.c_str(), directory.data(), part.data(), directory.size(), part.size());
  char question[3 * RECORD_NAME_SIZE + 384];
  snprintf(question, sizeof question, Pick(en::dialogs::kEarlierSeries, ja::kEarlierSeries),
           NameForDisplay(name).c_str(), NameForDisplay(part.data()).c_str(), found > 1 ? ", ..." : "");
  return ShowMessageBox(dialog, question, Pick("RecOpen", ja::kNewFileTitle), MB_YESNO | MB_ICONEXCLAMATION) == IDYES;
}

// Creating the file once proves that the name can be written.
bool CreateEmptyFile(const char* name) {
  HMMIO file = OpenMmioNamed(name, MMIO_CREATE | MMIO_WRITE);
  if (!file) return false;
  mmioClose(file, 0);
  return true;
}

bool InputTakesFormat(const RecordingSettings& s) {
  // Only a hand-edited settings file holds these; some drivers accept the
  // query anyway, but no buffer can be sized for them.
  if (!IsUsableRecordingFormat(s.rec_freq, s.rec_channel, s.rec_bits)) return false;
  // The record the recording file will hold, as a WAVEFORMATEX (cbSize 0).
  std::vector<uint8_t> format = MakeRecordingFormat(s.rec_freq, static_cast<uint16_t>(s.rec_channel),
                                                    static_cast<uint16_t>(s.rec_bits));
  format.resize(sizeof(WAVEFORMATEX));
  return waveInOpen(nullptr, WAVE_MAPPER, reinterpret_cast<const WAVEFORMATEX*>(format.data()), 0, 0,
                    WAVE_FORMAT_QUERY) == MMSYSERR_NOERROR;
}

void OnNewFileOk(HWND dialog) {
  RecordChoice& choice = StateOf(dialog).choice;
  char name[RECORD_NAME_SIZE] = {};
  ReadNameField(dialog, name);
  RecordNameResult resolved = ResolveRecordName(name, choice.AutoExtention, PathKind, nullptr);
  if (resolved.outcome == RecordNameOutcome::BROWSE) {
    Browse(dialog, resolved.browse);
    return;
  }
  std::string full;
  if (!FullPathNamed(name, full) || !FitsNameLength(full.c_str())) full = name;
  // A device name ("NUL.WAV") would "create" without a file; a name whose
  // next files of a long recording would not fit is refused now, not hours
  // into the recording.
  if (resolved.outcome == RecordNameOutcome::TOO_LONG || IsDeviceName(name) || !SeriesNamesFit(full)) {
    SayCannotCreate(dialog);
    return;
  }
  if (resolved.kind == KIND_FILE && (!MayOverwrite(dialog, name) || !MayKeepEarlierSeries(dialog, name))) return;
  if (!CreateEmptyFile(name)) {
    SayCannotCreate(dialog);
    return;
  }
  if (!InputTakesFormat(choice.recording)) {
    ShowMessageBox(dialog, PickId(IDS_NO_SUPPORT, ja::kNoSupportFormat), nullptr, MB_ICONEXCLAMATION | MB_OK);
    return;
  }
  lstrcpynA(choice.file_name, full.c_str(), sizeof choice.file_name);

  char minutes[MINUTES_LIMIT + 1] = {};
  GetDlgItemTextA(dialog, IDC_NEW_MINUTES, minutes, sizeof minutes);
  choice.recording.EndTime = ParseLimitMinutes(minutes);
  choice.recording.time_limit = IsChecked(dialog, IDC_NEW_LIMIT_YES) ? choice.recording.EndTime : 0;
  EndDialog(dialog, 1);
}

void ChooseFormat(HWND dialog, RadioGroup group, int id) {
  RecordingSettings& s = StateOf(dialog).choice.recording;
  switch (id) {
    case IDC_NEW_44K: s.rec_freq = 44100; break;
    case IDC_NEW_22K: s.rec_freq = 22050; break;
    case IDC_NEW_11K: s.rec_freq = 11025; break;
    case IDC_NEW_STEREO: s.rec_channel = 2; break;
    case IDC_NEW_MONO: s.rec_channel = 1; break;
    case IDC_NEW_16BIT: s.rec_bits = 16; break;
    case IDC_NEW_8BIT: s.rec_bits = 8; break;
    default: break;
  }
  CheckInGroup(dialog, group, id);
  RefreshFreeSpace(dialog);
}

void OnNewFileCommand(HWND dialog, int id, int code) {
  switch (id) {
    case IDOK: OnNewFileOk(dialog); break;
    case IDCANCEL: EndDialog(dialog, 0); break;
    case IDC_NEW_BROWSE: OnBrowseButton(dialog); break;
    case IDC_NEW_NAME:
      if (code == EN_CHANGE) OnNameChanged(dialog);
      break;
    case IDC_NEW_44K:
    case IDC_NEW_22K:
    case IDC_NEW_11K: ChooseFormat(dialog, kRateButtons, id); break;
    case IDC_NEW_STEREO:
    case IDC_NEW_MONO: ChooseFormat(dialog, kChannelButtons, id); break;
    case IDC_NEW_16BIT:
    case IDC_NEW_8BIT: ChooseFormat(dialog, kBitButtons, id); break;
    case IDC_NEW_LIMIT_YES:
    case IDC_NEW_LIMIT_NO:
      CheckInGroup(dialog, kLimitButtons, id);
      EnableLimitField(dialog, id == IDC_NEW_LIMIT_YES);
      break;
    case IDC_NEW_AUTOEXT: StateOf(dialog).choice.AutoExtention = IsChecked(dialog, IDC_NEW_AUTOEXT); break;
    default: break;
  }
}

void OnNewFileDestroy(HWND dialog) { ReleaseDialogLook(StateOf(dialog).auto_extension_font); }

// "RecOpen". Result 1: the file was created and the choice is in the
// dialog's state; 0: cancelled.
INT_PTR CALLBACK NEWFILE(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  // Nothing to do before WM_INITDIALOG has stored the dialog's state.
  if (message != WM_INITDIALOG && !GetWindowLongPtrA(dialog, DWLP_USER)) return FALSE;
  switch (message) {
    case WM_INITDIALOG: return OnNewFileInit(dialog, *reinterpret_cast<NewFileDialog*>(lparam));
    case WM_COMMAND: OnNewFileCommand(dialog, LOWORD(wparam), HIWORD(wparam)); return TRUE;
    case WM_SYSCOMMAND: return OnThreeDCommand(dialog, wparam);
    case WM_DESTROY: OnNewFileDestroy(dialog); return FALSE;
    default: return FALSE;
  }
}

}  // namespace

void MakeDefaultName(char* buffer) { MakeNumberedName(buffer, NAME_BUFFER_SIZE, PathKind, nullptr); }

bool OpenNewFileDialog(HWND owner, const RecordChoice& in, RecordChoice* out) {
  NewFileDialog state{in, {}, nullptr};
  // A Unicode dialog on Windows NT: its name field holds any name.
  const bool chosen = NameDialogBox(app.instance, "RecOpen", owner, NEWFILE, reinterpret_cast<LPARAM>(&state)) > 0;
  if (chosen) {
    *out = state.choice;
  } else {
    // The automatic extension is a preference, not part of this recording:
    // its box counts even when the dialog is cancelled.
    *out = in;
    out->AutoExtention = state.choice.AutoExtention;
  }
  return chosen;
}
