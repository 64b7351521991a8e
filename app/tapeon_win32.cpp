// Process entry, start-up, the message loop and the exit sequence.
#include <malloc.h>

#include <cstdlib>
#include <cstring>

#include "app/command_line.h"
#include "app/main_window_win32.h"
#include "app/owned_app_win32.h"
#include "app/settings_win32.h"
#include "app/tapeon_win32.h"
#include "audio/newfile_dialog_win32.h"
#include "audio/newfile_rules.h"
#include "audio/playback_win32.h"
#include "audio/recording_win32.h"
#include "audio/transport_state_win32.h"
#include "base/app_state_win32.h"
#include "base/file_names_win32.h"
#include "base/text_rules.h"
#include "base/ui_text_win32.h"
#include "base/windows_version.h"
#include "resources/ja_app.h"
#include "resources/resource_ids.h"
#include "sound_files/current_file_win32.h"
#include "sound_files/wave_file_win32.h"


namespace {

// The command-line tokens, each in its own block for the whole run. An
// allocation failure keeps the tokens stored so far.
void StoreArguments(const std::vector<std::string>& tokens) {
  AppState& owned = OwnedApp();
  owned.arg_count = 0;
  for (const std::string& token : tokens) {
    if (owned.arg_count >= MAX_ARGS - 1) break;
    char* copy = static_cast<char*>(malloc(token.size() + 1));
    if (!copy) break;
    memcpy(copy, token.c_str(), token.size() + 1);
    owned.args[owned.arg_count++] = copy;
  }
}

// What the command line says beyond the program's record.
struct CommandLineFindings {
  bool force_english = false;           // /E: the English interface on any system
  bool file_argument_too_long = false;  // the file argument is longer than a path may be
};

CommandLineFindings ReadCommandLine() {
  AppState& owned = OwnedApp();
  CommandLineFindings found;
  std::vector<std::string> tokens = SplitCommandLine(CommandLineText().c_str());
  StoreArguments(tokens);
  tokens.resize(static_cast<size_t>(owned.arg_count));  // only the stored tokens count
  StartOptions options;
  ApplyOptions(tokens, owned.settings, options);
  owned.play_at_start = options.play_at_start;
  owned.record_at_start = options.record_at_start;
  found.force_english = options.force_english;
  int file = FindFileArgument(owned.args, owned.arg_count, 1);
  if (file >= 0) {
    // A name too long for the current file is refused at the start action,
    // never cut to another name.
    found.file_argument_too_long = !FitsFileName(owned.args[file]);
    if (!found.file_argument_too_long) NameCurrentFile(owned.args[file]);
    owned.next_arg = file + 1;
  } else {
    owned.next_arg = owned.arg_count > 1 ? owned.arg_count : 1;
  }
  return found;
}

// The interface language from the OEM font's character set, and the layout
// cells from its metrics.
void ChooseLanguageAndCells(bool force_english) {
  HDC screen = GetDC(nullptr);
  HGDIOBJ previous = SelectObject(screen, GetStockObject(OEM_FIXED_FONT));
  TEXTMETRICA text;
  GetTextMetricsA(screen, &text);
  SelectObject(screen, previous);
  ReleaseDC(nullptr, screen);
  AppState& owned = OwnedApp();
  owned.japanese_ui = (text.tmCharSet == SHIFTJIS_CHARSET && !force_english) ? 1 : 0;
  owned.cell_height = owned.japanese_ui ? text.tmAscent / 2 : text.tmHeight / 2;
  owned.cell_width = text.tmAveCharWidth;
  if (owned.cell_height <= 0) owned.cell_height = 1;
  if (owned.cell_width <= 0) owned.cell_width = 1;
}

// The text rules follow the code page names are held in: UTF-8, or the
// system's ANSI code page (double-byte or not).
void FollowSystemCodePage() {
  if (UnicodeNames()) {
    SetActiveCodePage(Utf8Bytes());
    return;
  }
  CPINFO info;
  if (!GetCPInfo(CP_ACP, &info) || info.MaxCharSize < 2) {
    SetActiveCodePage(SingleByteBytes());
    return;
  }
  // The lead-byte ranges come in pairs, ended by a pair of zeros.
  CodePageBytes bytes = ShiftJisBytes();
  for (bool& lead : bytes.lead) lead = false;
  for (int k = 0; k + 1 < MAX_LEADBYTES && info.LeadByte[k] != 0; k += 2) {
    for (int b = info.LeadByte[k]; b <= info.LeadByte[k + 1]; ++b) bytes.lead[b] = true;
  }
  SetActiveCodePage(bytes);
}

HWND CreateButton(const char* text, int id, int x, const char* caption) {
  HWND button = CreateWindowExA(0, "BUTTON", text, WS_CHILD | WS_VISIBLE | WS_DISABLED, x, app.cell_height * 19,
                                app.cell_width * 11, app.cell_height * 4, app.main_window,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), app.instance, nullptr);
  if (!button) ShowMessageBox(nullptr, "CreateWindow failed", caption, MB_OK);
  return button;
}

// The wave devices and the recording format the input can take.
void CheckDevices() {
  AppState& owned = OwnedApp();
  if (waveOutGetNumDevs() == 0) {
    EnableMenuItem(owned.main_menu, IDM_OPEN, MF_BYCOMMAND | MF_GRAYED);
    DragAcceptFiles(owned.main_window, FALSE);
  }
  owned.wave_in_devices = static_cast<int>(waveInGetNumDevs());
  owned.input_formats = 0;
  if (owned.wave_in_devices == 0) {
    EnableMenuItem(owned.main_menu, IDM_NEW, MF_BYCOMMAND | MF_GRAYED);
  } else {
    WAVEINCAPSA caps;
    memset(&caps, 0, sizeof caps);
    if (waveInGetDevCapsA(WAVE_MAPPER, &caps, sizeof caps) == MMSYSERR_NOERROR ||
        waveInGetDevCapsA(0, &caps, sizeof caps) == MMSYSERR_NOERROR)
      owned.input_formats = caps.dwFormats;
  }
  FitFormatToDevice(owned.input_formats, owned.settings);
}

void PerformStartAction(bool file_argument_too_long) {
  if (file_argument_too_long) {
    ShowCannotOpenFile();
    return;
  }
  if (app.record_at_start) {
    if (current_file.file_name[0] == '\0') {
      char name[NAME_BUFFER_SIZE] = {};
      MakeDefaultName(name);
      NameCurrentFile(name);
    }
    std::string full;
    // A full path too long for a path is no file that could be created.
    if (!FullPathNamed(current_file.file_name, full) || !FitsFileName(full.c_str())) {
      ShowCannotOpenFile();
      return;
    }
    NameCurrentFile(full.c_str());
    RefreshFileName();
    if (PrepareForRecord()) StartRecording(false);
  } else if (current_file.file_name[0] != '\0') {
    RefreshFileName();
    if (PrepareForPlay() && app.play_at_start) StartPlayback();
  }
}

}  // namespace

bool RegisterMainClass(HINSTANCE instance) {
  WNDCLASSA window_class;
  memset(&window_class, 0, sizeof window_class);
  window_class.lpfnWndProc = tapeon::WNDPROC;
  window_class.hInstance = instance;
  window_class.hIcon = LoadIconA(instance, "icon");
  window_class.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszMenuName = "TapeonMenu";
  window_class.lpszClassName = "TAPEON";
  if (RegisterClassA(&window_class)) return true;
  ShowMessageBox(nullptr, "RegisterClass failed", "TAPEON", MB_OK);
  return false;
}

bool InitInstance(HINSTANCE instance, int show) {
  AppState& owned = OwnedApp();
  owned.instance = instance;
  DWORD version = GetVersion();
  owned.windows_version = static_cast<WORD>((version & 0xFF) * 256 + ((version >> 8) & 0xFF));
  owned.time_limit_margin = owned.windows_version < kWindows395 ? 0.1 : 0.0;
  FollowSystemCodePage();
  ReadSettings();
  const CommandLineFindings command_line = ReadCommandLine();
  ChooseLanguageAndCells(command_line.force_english);

  owned.main_window = CreateWindowExA(
      0, "TAPEON", "TAPEON", WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, CW_USEDEFAULT, CW_USEDEFAULT,
      owned.cell_width * 37, GetSystemMetrics(SM_CYCAPTION) + GetSystemMetrics(SM_CYMENU) + owned.cell_height * 24,
      nullptr, nullptr, instance, nullptr);
  if (!owned.main_window) {
    ShowMessageBox(nullptr, "CreateWindow failed", "TAPEON", MB_OK);
    return false;
  }
  ShowWindow(owned.main_window, show);

  owned.play_button = CreateButton(Pick("Play", ja::kPlay), IDM_START, owned.cell_width, "play");
  if (!owned.play_button) return false;
  owned.stop_button = CreateButton(Pick("Stop", ja::kStop), IDM_STOP, owned.cell_width * 13, "stop");
  if (!owned.stop_button) return false;
  owned.pause_button = CreateButton("Pause", IDM_PAUSE, owned.cell_width * 25, "pause");
  if (!owned.pause_button) return false;
  SubclassButtons();
  LayoutMainWindow();
  UpdateWindow(owned.main_window);

  CheckDevices();
  PerformStartAction(command_line.file_argument_too_long);
  return true;
}

bool FilterKey(HWND window, const MSG& message) {
  bool control = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
  int command = 0;
  switch (message.wParam) {
    case VK_F1:
      command = IDM_HELP;
      break;
    case 'R':
      if (control && transport.mode == MODE_REC && !transport.run.active()) command = IDM_START;
      break;
    case 'P':
      if (control && (transport.mode == MODE_REC || transport.run.active()))
        command = IDM_PAUSE;
      else if (control && transport.mode == MODE_PLAY)
        command = IDM_START;
      break;
    case 'S':
      if (control && transport.run.active()) command = IDM_STOP;
      break;
  }
  if (command == 0) return false;
  SendMessageA(window, WM_COMMAND, command, 0);
  return true;
}

// The boxes' terse capitals are deliberate: the program has always said exactly these.
void CheckHeap(const char* caption) {
  _HEAPINFO entry;
  entry._pentry = nullptr;
  int walk;
  while ((walk = _heapwalk(&entry)) == _HEAPOK) {
  }
  if (walk == _HEAPBADNODE)
    ShowMessageBox(nullptr, "HEAP BAD NODE", caption, MB_OK);
  else if (walk == _HEAPEMPTY)
    ShowMessageBox(nullptr, "HEAP EMPTY", caption, MB_OK);
  else if (walk != _HEAPEND)
    ShowMessageBox(nullptr, "HEAP NOT OK", caption, MB_OK);

  int check = _heapchk();
  if (check == _HEAPBADNODE || check == _HEAPBADBEGIN)
    ShowMessageBox(nullptr, "HEAP CORRUPT", caption, MB_OK);
  else if (check == _HEAPEMPTY)
    ShowMessageBox(nullptr, "HEAP EMPTY", caption, MB_OK);
  else if (check != _HEAPOK)
    ShowMessageBox(nullptr, "HEAP NOT OK", caption, MB_OK);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR, int show) {
  SetErrorMode(SEM_NOOPENFILEERRORBOX);
  // "time": deliberately this one word, as the program has always said it.
  if (timeBeginPeriod(1) != TIMERR_NOERROR) ShowMessageBox(nullptr, "time", nullptr, MB_OK);
  CheckHeap("begin");
  if (!previous && !RegisterMainClass(instance)) return 0;
  if (!InitInstance(instance, show)) return 0;

  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (message.message == WM_KEYDOWN && FilterKey(app.main_window, message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  timeEndPeriod(1);
  SaveSettings();
  CheckHeap("end");
  return static_cast<int>(message.wParam);
}
