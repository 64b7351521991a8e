// End-to-end driver: starts TAPEON.EXE and works it from another process the
// way a user would (windows, buttons, menus, dialogs, message boxes, keys).
//
// The language of a test run is the one the whole run was started in: under
// LC_ALL=ja_JP.UTF-8 Wine gives every process of the run code page 932, and
// TAPEON (started from here) comes up in Japanese unless /E is given.
// JapaneseSession() tells the tests which run they are in. Likewise a run
// started with the sound server out of reach has no wave devices
// (SoundSession() is false); tests that need that state are named
// "...NoSound..." and skip themselves in a run with devices.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace e2e {

constexpr DWORD kTimeoutMs = 20000;

// ---- The test run ---------------------------------------------------------

bool JapaneseSession();  // the run's code page is 932
bool SoundSession();     // wave output devices exist in this run
// The Ogg Vorbis codec driver is installed in this run (scripts/wine_env.sh
// installs it unless TAPEON_CODEC is 0).
bool OggCodecSession();
// English or Japanese text by the language TAPEON uses in this run.
std::string Pick(const std::string& english, const std::string& japanese);

std::string ModuleDir();    // directory of the running test program
std::string TapeonPath();   // TAPEON_EXE, else TAPEON.EXE two levels above ModuleDir()
// TAPEON_FIXTURES (a Unix path is taken as one on Z:), else build\fixtures
// (three levels above ModuleDir(), where test.sh puts them). Always with
// backslashes: a "/" would end a file name on TAPEON's command line.
std::string FixturesDir();
std::string FixturePath(const std::string& name);  // a file in FixturesDir()

// Runs a command line (a test tool) and waits for it; its exit code, or
// nullopt when it could not start or did not end in time.
std::optional<DWORD> RunProgram(std::string command_line, DWORD timeout_ms = kTimeoutMs);

// Calls condition every 20 ms until it is true or timeout_ms have passed.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeout_ms = kTimeoutMs);

// The layout cells TAPEON should compute on this system: from the OEM fixed
// font and the default font of a window's device context, and the large-font
// test against the caption and menu fonts.
struct Cells {
  int width = 0;
  int height = 0;
  int scale = 1;
  bool japanese_ui = false;
};
Cells ExpectedCells(bool force_english = false);

// ---- Files ------------------------------------------------------------------

// A fresh directory under the Windows temp directory, removed with its files.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

bool FileExists(const std::string& path);
std::optional<std::string> ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const std::string& bytes);
// Key/value lines of one INI section in file order (values as written).
std::vector<std::pair<std::string, std::string>> IniSection(const std::string& path,
                                                             const std::string& section = "TAPEON");
// A key's value, or nullopt when the section has no such key.
std::optional<std::string> IniValue(const std::string& path, const std::string& key,
                                    const std::string& section = "TAPEON");

// ---- Windows of any process ----------------------------------------------------

std::string WindowText(HWND window);  // WM_GETTEXT, so it works across processes
// The title of a window of another process as the system keeps it, in UTF-16
// (read without a message, which an ANSI window procedure would answer in its
// code page).
std::wstring WindowTitleW(HWND window);
std::string ClassName(HWND window);
HWND Control(HWND dialog, int id);
std::string ControlText(HWND dialog, int id);
bool ControlEnabled(HWND dialog, int id);
bool ControlVisible(HWND dialog, int id);
int CheckState(HWND dialog, int id);  // BST_UNCHECKED / BST_CHECKED / BST_INDETERMINATE, -1 without control
bool SetControlText(HWND dialog, int id, const std::string& text);
// Clicks the check box or radio button when its state differs (BM_CLICK, so the
// dialog sees the same notification as from the mouse).
bool SetCheck(HWND dialog, int id, bool checked);
// Clicks a button (posted, so a dialog the click opens does not block the test).
bool PressButton(HWND dialog, int id);
// Sends a key press (WM_KEYDOWN/WM_KEYUP posted to the window). Keys that need
// Ctrl must go through TypeKey.
bool PostKey(HWND window, UINT virtual_key);

struct ControlInfo {
  HWND window = nullptr;
  int id = 0;
  std::string class_name;
  std::string text;
  LONG style = 0;
  bool enabled = false;
  bool visible = false;
};
std::vector<ControlInfo> Controls(HWND dialog);  // direct children, in Z order

struct MessageBoxInfo {
  HWND window = nullptr;
  std::string caption;
  std::string text;
  std::vector<std::pair<int, std::string>> buttons;  // id and text, e.g. {IDOK, "OK"}
  bool has_icon = false;
};
MessageBoxInfo ReadMessageBox(HWND box);
// Reads the box, presses the button with that id and waits until the box is
// gone; nullopt when the button cannot be pressed.
std::optional<MessageBoxInfo> AnswerBox(HWND box, int button_id, DWORD timeout_ms = kTimeoutMs);
// Waits until the window is destroyed or hidden.
bool WaitGone(HWND window, DWORD timeout_ms = kTimeoutMs);

// ---- Menus read inside the program ---------------------------------------------

struct MenuItem {
  int level = 0;     // 0 for items of the menu itself, 1 inside their popups
  int position = 0;  // position inside its own menu
  UINT id = 0;       // command id; 0xFFFFFFFF for a popup
  UINT state = 0;    // MF_* flags
  std::string text;  // as the program set it (ANSI bytes)
  bool grey() const { return (state & (MF_GRAYED | MF_DISABLED)) != 0; }
  bool checked() const { return (state & MF_CHECKED) != 0; }
  bool popup() const { return (state & MF_POPUP) != 0; }
  bool separator() const { return (state & MF_SEPARATOR) != 0 && !popup(); }
};
// The item with that command id, if the list has one.
std::optional<MenuItem> FindMenuItem(const std::vector<MenuItem>& items, UINT id);
// The popups of level 0 in order (their texts are the menu bar's titles).
std::vector<MenuItem> MenuPopups(const std::vector<MenuItem>& items);

// ---- The program ---------------------------------------------------------------

struct LaunchOptions {
  std::string arguments;    // command line after the program path
  bool utf8_arguments = false;  // arguments in UTF-8 (names outside the run's code page)
  std::string working_dir;  // default: profile_dir
  std::string profile_dir;  // USERPROFILE of the program (TAPEON.INI lands here); Launch: its dir by default
  bool utf8_paths = false;  // program, working_dir, profile_dir and environment values in UTF-8
  bool without_profile = false;  // start with USERPROFILE removed
  std::vector<std::pair<std::string, std::string>> environment;  // added or replaced
  std::string program;      // default TapeonPath()
};

class Tapeon;
// The one way the tests start TAPEON: with dir as its profile and working
// directory (unless options name others) and these arguments (options may
// name another program or add to the environment); waits until its window is
// up, unless it does not start.
std::unique_ptr<Tapeon> Launch(const TempDir& dir, const std::string& arguments, LaunchOptions options = {});

class Tapeon {
 public:
  explicit Tapeon(const LaunchOptions& options);
  ~Tapeon();  // ends the process if it is still running
  Tapeon(const Tapeon&) = delete;
  Tapeon& operator=(const Tapeon&) = delete;

  bool started() const { return process_ != nullptr; }
  DWORD pid() const { return pid_; }
  HANDLE process() const { return process_; }

  // The visible top-level window of class "TAPEON" of this process.
  HWND WaitForMainWindow(DWORD timeout_ms = kTimeoutMs);
  HWND main_window() const { return main_window_; }

  std::string Title();
  SIZE ClientSize();
  RECT WindowRect();
  LONG Style();
  HWND Button(int id);  // play 108, stop 109, pause 110
  std::string ButtonText(int id);
  bool ButtonEnabled(int id);
  // WM_COMMAND as a menu item or accelerator sends it (posted).
  bool PostCommand(int id, int notification = 0);
  // Real key strokes (SendInput) to the main window after making it the
  // foreground window; with ctrl the Control key is held.
  bool TypeKey(UINT virtual_key, bool ctrl = false);

  // Menus, read inside the program by the injected probe.
  std::vector<MenuItem> MainMenu();
  std::vector<MenuItem> SystemMenu();
  std::vector<MenuItem> SystemMenuOf(HWND window);  // e.g. of a dialog
  // From now on, the bytes of every buffer the program hands to the wave
  // output device are appended to the file at `path`, in order (the probe
  // takes the program's waveOutWrite). False when the watch could not be set.
  // With a timing_path, a menu_probe::WriteTime record per buffer goes there.
  bool WatchPlayback(const std::string& path, const std::string& timing_path = "");
  // From now on the device stops: every buffer the program hands over is
  // taken and never played nor handed back.
  bool StallPlayback();
  // Likewise the bytes of every buffer the wave input device gives back to
  // the main window, before the program handles it (the probe subclasses the
  // window).
  bool WatchRecording(const std::string& path);
  // From now on the program finds the probe's mixer when it looks up the
  // mixer functions: a peak meter on the wave-output line reading `left` and
  // `right` (see menu_probe.h). False when the look-up could not be taken.
  bool ProvideMixer(long left, long right);

  // The label controls of a window of the program (a dialog, or the main
  // window), with the room their texts take and have, measured inside the
  // program in the fonts it gave them.
  struct TextFit {
    int id = 0;
    std::string text;
    int needed = 0;
    int available = 0;
    bool fits = false;
  };
  std::vector<TextFit> MeasureTexts(HWND window);

  // Visible dialogs and message boxes (class #32770) of the process.
  std::vector<HWND> Dialogs();
  // A dialog or message box, with the given caption when it is not empty.
  HWND WaitForDialog(const std::string& caption = "", DWORD timeout_ms = kTimeoutMs);
  bool WaitForNoDialog(DWORD timeout_ms = kTimeoutMs);
  // Waits for a message box, reads it and presses the button with that id.
  std::optional<MessageBoxInfo> AnswerMessageBox(int button_id = IDOK, DWORD timeout_ms = kTimeoutMs);

  // Closing: the close box (WM_CLOSE); then the exit.
  bool Close();
  bool WaitForExit(DWORD timeout_ms = kTimeoutMs);
  bool Exited();
  DWORD ExitCode();  // STILL_ACTIVE while running
  // Closes and waits; the exit code, or nullopt when the program did not end.
  std::optional<DWORD> CloseAndWait(DWORD timeout_ms = kTimeoutMs);

 private:
  std::vector<MenuItem> ReadMenus(HWND window, uint32_t which);
  bool InjectProbe();
  // Runs the probe's `function` inside the program on a copy of `block`, and
  // copies the block back; result is the function's thread result.
  bool CallProbe(const char* function, void* block, size_t size, DWORD& result);
  bool Watch(const char* function, const std::string& path, const std::string& timing_path = "");

  HANDLE process_ = nullptr;
  DWORD pid_ = 0;
  HWND main_window_ = nullptr;
  UINT_PTR probe_module_ = 0;  // menu_probe.dll inside the program, once injected
};

}  // namespace e2e
