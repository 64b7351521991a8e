#include "app/main_window_win32.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "app/about_dialog_win32.h"
#include "app/command_line.h"
#include "app/option_dialog_win32.h"
#include "app/owned_app_win32.h"
#include "audio/codec_probe_win32.h"
#include "audio/newfile_dialog_win32.h"
#include "audio/playback_win32.h"
#include "audio/recording_win32.h"
#include "audio/run_display_win32.h"
#include "audio/transport_commands_win32.h"
#include "audio/transport_state_win32.h"
#include "audio/transport_win32.h"
#include "base/app_state_win32.h"
#include "base/dialog_look_win32.h"
#include "base/file_names_win32.h"
#include "base/text_rules.h"
#include "base/ui_text_win32.h"
#include "base/windows_version.h"
#include "meter/measure_win32.h"
#include "meter/meter_draw_win32.h"
#include "meter/meter_record_win32.h"
#include "meter/mixer_win32.h"
#include "meter/status_text.h"
#include "meter/status_win32.h"
#include "resources/ja_app.h"
#include "resources/resource_ids.h"
#include "sound_files/current_file_win32.h"
#include "sound_files/info_dialogs_win32.h"
#include "sound_files/wave_file_win32.h"

namespace {

// The main window's, one for the program's whole life: its system menu, the
// buttons' font and the buttons' own procedures (subclassed).
HMENU system_menu = nullptr;
HFONT button_font = nullptr;
::WNDPROC button_procs[3] = {};

int W() { return app.cell_width; }
int H() { return app.cell_height; }

// ---- creation and destruction ----

LRESULT OnCreate(HWND window, WPARAM wparam, LPARAM lparam) {
  if (AllocateHeaderBlocks()) DragAcceptFiles(window, TRUE);
  return DefWindowProcA(window, WM_CREATE, wparam, lparam);
}

LRESULT OnShutdown(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  ShutdownTransport();
  DragAcceptFiles(window, FALSE);
  FreeHeaderBlocks();
  if (button_font) {
    DeleteObject(button_font);
    button_font = nullptr;
  }
  ReleaseStatusFont();
  CloseMixerMeter();
  PostQuitMessage(0);
  return DefWindowProcA(window, message, wparam, lparam);
}

// ---- painting ----

void OnPaint(HWND window) {
  UpdateDarkBackground();
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  ClearMeterArea(dc);
  BitBlt(dc, W(), H(), 35 * W(), 11 * H(), nullptr, 0, 0, app.dark_background ? BLACKNESS : WHITENESS);
  ApplyTextColours(dc);
  DrawFileName(dc);
  HFONT previous = SelectStatusFont(dc);
  ShowFormatLine(dc, current_file.format);
  ShowCapacity(dc, CapacityNow());
  ShowRunPosition(dc);
  RestoreStatusFont(dc, previous);
  DrawRunLabels(dc);
  EndPaint(window, &paint);
}

// ---- input ----

void OnSetFocus() {
  if (app.play_button && IsWindowEnabled(app.play_button))
    SetFocus(app.play_button);
  else if (app.pause_button && IsWindowEnabled(app.pause_button))
    SetFocus(app.pause_button);
}

LRESULT OnSysCommand(HWND window, WPARAM wparam, LPARAM lparam) {
  UINT command = static_cast<UINT>(wparam) & 0xFFF0;
  if (transport.run.active() && command == SC_SCREENSAVE) return 1;
  if (IsRecordingLive() && command == SC_MOVE) return 0;
  return DefWindowProcA(window, WM_SYSCOMMAND, wparam, lparam);
}

void OnInitMenu() {
  EnableMenuItem(system_menu, SC_MOVE, MF_BYCOMMAND | (IsRecordingLive() ? MF_GRAYED : MF_ENABLED));
}

// A click strictly inside the meter band clears the peak-hold marks.
void OnLeftButtonDown(LPARAM lparam) {
  unsigned x = LOWORD(lparam), y = HIWORD(lparam);
  if (x > static_cast<unsigned>(W()) && x < static_cast<unsigned>(36 * W()) && y > static_cast<unsigned>(13 * H()) &&
      y < static_cast<unsigned>(18 * H())) {
    ClearMeterHolds();
  }
}

// ---- commands ----

// The filter of the open-file dialog: pairs of zero-terminated texts, ended
// by an empty one.
std::string OpenFilter() {
  bool mp3 = CanPlayMpegLayer3();
  bool ogg = CanPlayOggVorbis();
  std::string description, pattern;
  if (mp3 && ogg) {
    description = Pick("Sound(*.WAV;*.MP3;*.RMP;*.OGG)", ja::kSoundWavMp3Ogg);
    pattern = "*.WAV;*.MP3;*.RMP;*.OGG";
  } else if (mp3) {
    description = Pick("Sound(*.WAV;*.MP3;*.RMP)", ja::kSoundWavMp3);
    pattern = "*.WAV;*.MP3;*.RMP";
  } else if (ogg) {
    description = Pick("Sound(*.WAV;*.OGG)", ja::kSoundWavOgg);
    pattern = "*.WAV;*.OGG";
  } else {
    description = Pick("Sound(*.WAV)", ja::kSoundWav);
    pattern = "*.WAV";
  }
  std::string filter;
  filter += description + '\0' + pattern + '\0';
  filter += std::string(Pick("All files (*.*)", ja::kAllFiles)) + '\0' + "*.*" + '\0';
  return filter + '\0';
}

// The open-file dialog over owner; true when a file was chosen (into chosen).
bool ChooseFileToPlay(HWND owner, std::string* chosen) {
  const std::string filter = OpenFilter();
  const std::string title = Pick(LoadText(IDS_PLAY_OPEN), ja::kPlayOpen);
  FileDialogRequest request;
  request.owner = owner;
  request.filter = &filter;
  request.title = title.c_str();
  request.flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
  request.struct_size = 76;  // the size without the Windows 2000 extension
  return AskFileName(request, *chosen);
}

// A file of the command line has played to its end: the next file argument
// is played, and after the last one the program closes.
void OnPlayListNext() {
  AppState& owned = OwnedApp();
  const int next = FindFileArgument(owned.args, owned.arg_count, owned.next_arg);
  if (next < 0) {
    owned.next_arg = owned.arg_count;
    SendMessageA(owned.main_window, WM_CLOSE, 0, 0);
    return;
  }
  owned.next_arg = next + 1;
  // A name too long for a path ends the list as a file that cannot be opened does.
  if (!FitsFileName(owned.args[next])) {
    ShowCannotOpenFile();
    return;
  }
  NameCurrentFile(owned.args[next]);
  RefreshFileName();
  PostMessageA(owned.main_window, WM_COMMAND, IDM_START, 0);
}

void OnNew() {
  AbandonTransport();
  AppState& owned = OwnedApp();
  Settings& s = owned.settings;
  RecordChoice shown;
  shown.recording = s.recording();
  shown.AutoExtention = s.AutoExtention;
  shown.input_formats = owned.input_formats;
  shown.levelwarning = s.levelwarning;
  RecordChoice chosen;
  const bool ok = OpenNewFileDialog(owned.main_window, shown, &chosen);
  s.AutoExtention = chosen.AutoExtention;
  if (ok) {
    s.recording() = chosen.recording;
    NameCurrentFile(chosen.file_name);
  }
  RefreshFileName();
  if (ok) PrepareForRecord();
}

void OnOpen(HWND window) {
  AbandonTransport();
  std::string file;
  const bool chosen = ChooseFileToPlay(window, &file);
  // The dialog takes no name longer than a path may be.
  if (chosen) NameCurrentFile(file.c_str());
  RefreshFileName();
  if (chosen) PrepareForPlay();
}

// A stop of the user's lets go of the start option of the run it stops: no
// next file of the play list, no exit at the time limit.
void OnStop() {
  if (transport.run.under_way()) {
    if (transport.mode == MODE_PLAY) {
      OwnedApp().play_at_start = 0;
    } else {
      OwnedApp().record_at_start = 0;
    }
  }
  OnStopCommand();
}

void OnPause() {
  if (OnPauseCommand()) OwnedApp().record_at_start = 0;  // the input was lost: stopped
}

void OnInfo() {
  AbandonTransport();
  InfoRequest request;
  request.values.khz = current_file.format.khz;
  request.values.channels = current_file.format.channels;
  request.values.sample_bits = current_file.format.sample_bits;
  request.values.format_tag = current_file.format.format_tag;
  request.values.bytes_per_sec = current_file.format.BytesPerSec;
  request.values.data_total = current_file.data_total;
  request.values.has_format = HasCurrentFormat();
  request.file_name = current_file.file_name;
  request.mode = {app.japanese_ui != 0, app.settings.levelwarning != 0};
  OpenInfoDialogs(app.main_window, request);
}

void OnOption() {
  AppState& owned = OwnedApp();
  const OptionChoice shown{owned.settings.options(), owned.settings.recording(), owned.rate_steps};
  OptionChoice chosen;
  if (!OpenOptionDialog(owned.main_window, shown, &chosen)) return;
  owned.settings.options() = chosen.options;
  owned.rate_steps = chosen.rate_steps;
  AbandonTransport();
}

void OnHelp() {
  const std::string module = app.windows_version >= kWindows400 ? ProgramFileName() : std::string();
  ShowHelpNamed(app.main_window, HelpFilePath(module, app.windows_version).c_str(), HELP_CONTENTS);
}

// A dialog's system menu turned the look of dialogs over.
void OnThreeDToggle() {
  Settings& settings = OwnedApp().settings;
  settings.dialog3d = !settings.dialog3d;
}

void MoveButton(HWND button, int x) { MoveWindow(button, x, 19 * H(), 11 * W(), 4 * H(), TRUE); }

}  // namespace

// ---- the window procedure ----

LRESULT CALLBACK tapeon::WNDPROC(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_NCCREATE:
      LocalizeMenu(window);
      break;
    case WM_CREATE:
      return OnCreate(window, wparam, lparam);
    case WM_DESTROY:
    case WM_QUERYENDSESSION:
      return OnShutdown(window, message, wparam, lparam);
    case WM_SETFOCUS:
      OnSetFocus();
      return 0;
    case WM_PAINT:
      OnPaint(window);
      return 0;
    case WM_WININICHANGE:
      LayoutMainWindow();
      return 0;
    case WM_GETMINMAXINFO:
      if (IsRecordingLive()) return 0;
      break;
    case WM_KEYDOWN:
      if (wparam == VK_F1) SendMessageA(window, WM_COMMAND, IDM_HELP, 0);
      return 0;
    case WM_COMMAND:
      OnCommand(window, LOWORD(wparam), lparam, HIWORD(wparam));
      return 0;
    case WM_SYSCOMMAND:
      return OnSysCommand(window, wparam, lparam);
    case WM_TIMER:
      OnTransportTimer(wparam);
      return 0;
    case WM_INITMENU:
      OnInitMenu();
      return 0;
    case WM_LBUTTONDOWN:
      OnLeftButtonDown(lparam);
      break;
    case WM_DROPFILES:
      OnDropFiles(reinterpret_cast<HDROP>(wparam));
      break;
    case MM_WOM_DONE:
      OnPlayBlockDone(reinterpret_cast<WAVEHDR*>(lparam));
      return 0;
    case MM_WIM_DATA:
      OnRecordBlockFilled(reinterpret_cast<WAVEHDR*>(lparam));
      return 0;
    case kPlayListNextMessage:
      OnPlayListNext();
      return 0;
    case kNameLineMessage:
      RefreshFileName();
      return 0;
    case kThreeDToggleMessage:
      OnThreeDToggle();
      return 0;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

void OnCommand(HWND window, int id, LPARAM, int code) {
  switch (id) {
    case IDM_NEW: OnNew(); break;
    case IDM_OPEN: OnOpen(window); break;
    case IDM_INFO: OnInfo(); break;
    case IDM_EXIT: DestroyWindow(window); break;
    case IDM_ABOUT: OpenAboutBox(app.main_window); break;
    case IDM_HELP: OnHelp(); break;
    case IDM_OPTION: OnOption(); break;
    case IDM_START:
      if (code == 0) OnStartCommand();
      break;
    case IDM_STOP:
      if (code == 0) OnStop();
      break;
    case IDM_PAUSE: OnPause(); break;
  }
}

// ---- mode switches ----

// Pads the text to size - 1 characters; "bugbug!!" when it was too long.
static void PadWithSpaces(char* buffer, size_t size) {
  // "bugbug!!" is deliberate: the program's own word for this, kept as it always was.
  if (!PadText(buffer, size)) ShowMessageBox(app.main_window, "bugbug!!", nullptr, MB_ICONWARNING);
}

void SetStartButtonText(const char* english, const char* japanese) {
  SetWindowTextA(app.play_button, Pick(english, japanese));
}

static void EnableStartButton() {
  EnableWindow(app.play_button, TRUE);
  if (GetActiveWindow() == app.main_window) SetFocus(app.play_button);
  EnableMenuItem(app.main_menu, IDM_START, MF_BYCOMMAND | MF_ENABLED);
}

bool PrepareForPlay() {
  SelectMode(MODE_PLAY);
  SetStartButtonText("Play", ja::kPlay);
  EnableStartButton();
  // A refused file has nothing for Info to describe.
  const bool opened = OpenForPlay();
  EnableMenuItem(app.main_menu, IDM_INFO, MF_BYCOMMAND | (opened ? MF_ENABLED : MF_GRAYED));
  return opened;
}

bool PrepareForRecord() {
  SelectMode(MODE_REC);
  SetStartButtonText("Rec.", ja::kRec);
  EnableStartButton();
  EnableWindow(app.pause_button, TRUE);
  EnableMenuItem(app.main_menu, IDM_PAUSE, MF_BYCOMMAND | MF_ENABLED);
  EnableMenuItem(app.main_menu, IDM_INFO, MF_BYCOMMAND | MF_GRAYED);
  if (CreateForRecord()) return true;
  AbandonTransport();
  return false;
}

// ---- file name and title ----

// One name line: the text as the code page shows it, padded with blanks
// that erase what a longer earlier name left.
static void DrawNameLine(HDC dc, int y, const char* text) {
  char line[2 * NAME_BUFFER_SIZE];  // a double-byte code page takes two bytes a character
  lstrcpynA(line, NameForDisplay(text).c_str(), sizeof line);
  PadWithSpaces(line, sizeof line);
  TextOutA(dc, W(), y, line, 35);
}

void DrawFileName(HDC dc) {
  HFONT previous = SelectStatusFont(dc);
  char directory[NAME_BUFFER_SIZE];
  char file_title[NAME_BUFFER_SIZE];  // the file name without its directory
  SplitPath(current_file.file_name, directory, file_title, sizeof directory, sizeof file_title);
  DrawNameLine(dc, H(), directory);
  DrawNameLine(dc, 4 * H(), file_title);
  // The dropouts of the recording under way, at the line's right end (over
  // the end of a name too long for it).
  if (const DropoutTally& dropouts = LiveDropouts(); dropouts.count != 0) {
    const StatusText text = FormatDropoutStatus(dropouts.count, dropouts.frames, current_file.format.rate, app.japanese_ui != 0);
    const int cells = static_cast<int>(strlen(text.text));
    TextOutA(dc, (36 - cells) * W(), 4 * H(), text.text, cells);
  }
  RestoreStatusFont(dc, previous);
  // The title shows the name whole where the system has Unicode window texts.
  SetNameTitle(app.main_window, WindowTitle(file_title, app.windows_version).c_str());
}

void RefreshFileName() {
  HDC dc = GetDC(app.main_window);
  ApplyTextColours(dc);
  DrawFileName(dc);
  ReleaseDC(app.main_window, dc);
}

// ---- set-up routines ----

void LayoutMainWindow() {
  AppState& owned = OwnedApp();
  if (owned.windows_version >= kWindows395) {
    NONCLIENTMETRICSA metrics;
    memset(&metrics, 0, sizeof metrics);
    metrics.cbSize = 340;
    int large = 0;
    if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, 340, &metrics, 0)) {
      large = -metrics.lfCaptionFont.lfHeight;
      if (-metrics.lfMenuFont.lfHeight > large) large = -metrics.lfMenuFont.lfHeight;
    }
    TEXTMETRICA text;
    HDC dc = GetDC(owned.main_window);
    GetTextMetricsA(dc, &text);
    ReleaseDC(owned.main_window, dc);
    if (large >= text.tmAscent * 3 / 2) {
      owned.ui_scale = 2;
      owned.cell_height = owned.japanese_ui ? text.tmAscent : text.tmHeight;
      owned.cell_width = 2 * text.tmAveCharWidth;
    } else {
      owned.ui_scale = 1;
      owned.cell_height = owned.japanese_ui ? text.tmAscent / 2 : text.tmHeight / 2;
      owned.cell_width = text.tmAveCharWidth;
    }
  }
  RECT outer, client;
  GetWindowRect(owned.main_window, &outer);
  GetClientRect(owned.main_window, &client);
  int frame = (outer.bottom - outer.top) - (client.bottom - client.top);
  SetWindowPos(owned.main_window, nullptr, 0, 0, 37 * W(), frame + 24 * H(),
               SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
  MoveButton(owned.play_button, W());
  MoveButton(owned.stop_button, 13 * W());
  MoveButton(owned.pause_button, 25 * W());
  CreateButtonFont();
}

void CreateButtonFont() {
  if (button_font) DeleteObject(button_font);
  LOGFONTA font;
  memset(&font, 0, sizeof font);
  font.lfHeight = -2 * H();
  font.lfCharSet = SHIFTJIS_CHARSET;
  lstrcpynA(font.lfFaceName, ja::kButtonFontFace, LF_FACESIZE);
  button_font = CreateFontIndirectA(&font);
  HWND buttons[] = {app.play_button, app.stop_button, app.pause_button};
  for (HWND button : buttons) SendMessageA(button, WM_SETFONT, reinterpret_cast<WPARAM>(button_font), TRUE);
}

void UpdateDarkBackground() {
  OwnedApp().dark_background = IsDarkBackground(GetSysColor(COLOR_WINDOWTEXT), GetSysColor(COLOR_WINDOW)) ? 1 : 0;
}

void LocalizeMenu(HWND window) {
  AppState& owned = OwnedApp();
  owned.main_menu = GetMenu(window);
  system_menu = GetSystemMenu(window, FALSE);
  if (!owned.japanese_ui) return;
  bool modern = owned.windows_version >= kWindows395;
  const auto& popups = modern ? ja::kMenuPopups : ja::kOldMenuPopups;
  const auto& items = modern ? ja::kMenuItems : ja::kOldMenuItems;
  for (const auto& popup : popups) {
    HMENU handle = GetSubMenu(owned.main_menu, popup.id);
    ModifyMenuA(owned.main_menu, popup.id, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(handle), popup.text);
  }
  for (const auto& item : items) {
    bool grey = item.id == IDM_INFO || item.id == IDM_START || item.id == IDM_STOP || item.id == IDM_PAUSE;
    ModifyMenuA(owned.main_menu, item.id, MF_BYCOMMAND | (grey ? MF_GRAYED : 0), item.id, item.text);
  }
  DrawMenuBar(window);
}

void SubclassButtons() {
  HWND buttons[] = {app.play_button, app.stop_button, app.pause_button};
  for (int i = 0; i < 3; ++i) {
    button_procs[i] = reinterpret_cast<::WNDPROC>(GetWindowLongPtrA(buttons[i], GWLP_WNDPROC));
    SetWindowLongPtrA(buttons[i], GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CONTROLPROC));
  }
}

// Tab moves between the enabled buttons, F1 asks for help; everything else
// goes to the button's own procedure.
static LRESULT OnButtonKey(HWND button, WPARAM key) {
  if (key == VK_F1) {
    SendMessageA(app.main_window, WM_COMMAND, IDM_HELP, 0);
  } else if (button == app.play_button) {
    if (IsWindowEnabled(app.pause_button)) SetFocus(app.pause_button);
  } else if (button == app.stop_button) {
    SetFocus(app.pause_button);
  } else {
    SetFocus(IsWindowEnabled(app.play_button) ? app.play_button : app.stop_button);
  }
  return 0;
}

LRESULT CALLBACK CONTROLPROC(HWND button, UINT message, WPARAM wparam, LPARAM lparam) {
  int index = GetDlgCtrlID(button) - IDM_START;
  if (index < 0 || index > 2) index = 0;
  if (message == WM_KEYDOWN && (wparam == VK_F1 || wparam == VK_TAB)) return OnButtonKey(button, wparam);
  return CallWindowProcA(button_procs[index], button, message, wparam, lparam);
}

void OnDropFiles(HDROP drop) {
  AbandonTransport();
  if (DroppedFileCount(drop) >= 1) {
    const std::string name = DroppedFileName(drop, 0);
    if (!FitsFileName(name.c_str())) {
      ShowCannotOpenFile();  // never a cut name
    } else {
      NameCurrentFile(name.c_str());
      RefreshFileName();
      PrepareForPlay();
    }
  }
  DragFinish(drop);
}
