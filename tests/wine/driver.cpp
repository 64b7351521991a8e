#include "driver.h"

#include <mmsystem.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "menu_probe.h"
#include "tests/fixtures.h"

namespace e2e {

namespace {

constexpr DWORD kMessageTimeoutMs = 5000;

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string Environment(const char* name) {
  char value[1024];
  DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
  if (length == 0 || length >= sizeof value) return "";
  return value;
}

std::string FullPath(const std::string& path) {
  char full[MAX_PATH * 2];
  DWORD length = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
  if (length == 0 || length >= sizeof full) return path;
  return full;
}

std::wstring Widen(UINT code_page, const std::string& text) {
  const int units = MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(units), L'\0');
  MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), wide.data(), units);
  return wide;
}

// Wide, as files may have names outside the code page.
void RemoveTree(const std::wstring& dir) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((dir + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring path = dir + L"\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(dir.c_str());
}

struct WindowSearch {
  DWORD pid;
  std::string class_name;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<WindowSearch*>(parameter);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == search->pid && IsWindowVisible(window) && ClassName(window) == search->class_name) {
    search->found.push_back(window);
  }
  return TRUE;
}

std::vector<HWND> TopLevelWindows(DWORD pid, const std::string& class_name) {
  WindowSearch search{pid, class_name, {}};
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool SendWithTimeout(HWND window, UINT message, WPARAM wparam, LPARAM lparam, DWORD_PTR* result) {
  DWORD_PTR answer = 0;
  LRESULT ok = SendMessageTimeoutA(window, message, wparam, lparam, SMTO_ABORTIFHUNG, kMessageTimeoutMs,
                                   &answer);
  if (result) *result = answer;
  return ok != 0;
}

}  // namespace

// ---- The test run ---------------------------------------------------------

bool JapaneseSession() { return ExpectedCells().japanese_ui; }

bool SoundSession() { return waveOutGetNumDevs() > 0; }

bool OggCodecSession() {
  const char* codec = std::getenv("TAPEON_CODEC");
  return !(codec && std::strcmp(codec, "0") == 0);
}

std::string Pick(const std::string& english, const std::string& japanese) {
  return JapaneseSession() ? japanese : english;
}

std::string ModuleDir() {
  char path[MAX_PATH * 2];
  DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string dir(path, length);
  size_t slash = dir.find_last_of("\\/");
  return slash == std::string::npos ? "." : dir.substr(0, slash);
}

std::string TapeonPath() {
  std::string configured = Environment("TAPEON_EXE");
  if (!configured.empty()) return configured;
  return FullPath(ModuleDir() + "\\..\\..\\TAPEON.EXE");
}

std::string FixturesDir() {
  std::string dir = FixturesDirFromEnvironment();
  // A Unix path (as the native tests take it) lies on Wine's drive Z:.
  if (!dir.empty() && dir[0] == '/') dir = "Z:" + dir;
  if (dir.empty()) dir = FullPath(ModuleDir() + "\\..\\..\\..\\fixtures");
  for (char& c : dir)
    if (c == '/') c = '\\';
  return dir;
}

std::string FixturePath(const std::string& name) { return FixturesDir() + "\\" + name; }

std::optional<DWORD> RunProgram(std::string command_line, DWORD timeout_ms) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, &command_line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return std::nullopt;
  DWORD code = 0;
  const bool ended = WaitForSingleObject(process.hProcess, timeout_ms) == WAIT_OBJECT_0 &&
                     GetExitCodeProcess(process.hProcess, &code);
  if (!ended) TerminateProcess(process.hProcess, 1);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return ended ? std::optional<DWORD>(code) : std::nullopt;
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeout_ms) {
  DWORD start = GetTickCount();
  for (;;) {
    if (condition()) return true;
    if (GetTickCount() - start >= timeout_ms) return false;
    Sleep(20);
  }
}

Cells ExpectedCells(bool force_english) {
  Cells cells;
  HDC dc = GetDC(nullptr);
  TEXTMETRICA oem{};
  TEXTMETRICA own{};
  HGDIOBJ previous = SelectObject(dc, GetStockObject(OEM_FIXED_FONT));
  GetTextMetricsA(dc, &oem);
  SelectObject(dc, previous);
  GetTextMetricsA(dc, &own);  // the default font of a device context
  ReleaseDC(nullptr, dc);

  cells.japanese_ui = oem.tmCharSet == SHIFTJIS_CHARSET && !force_english;
  cells.height = cells.japanese_ui ? oem.tmAscent / 2 : oem.tmHeight / 2;
  cells.width = oem.tmAveCharWidth;

  DWORD version = GetVersion();
  unsigned windows_version = LOBYTE(LOWORD(version)) * 256 + HIBYTE(LOWORD(version));
  if (windows_version >= 863) {
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = 340;  // the structure without the padded border field
    int large = 0;
    if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, 340, &metrics, 0)) {
      large = std::max(-metrics.lfCaptionFont.lfHeight, -metrics.lfMenuFont.lfHeight);
    }
    if (large >= own.tmAscent * 3 / 2) {
      cells.scale = 2;
      cells.height = cells.japanese_ui ? own.tmAscent : own.tmHeight;
      cells.width = 2 * own.tmAveCharWidth;
    } else {
      cells.scale = 1;
      cells.height = cells.japanese_ui ? own.tmAscent / 2 : own.tmHeight / 2;
      cells.width = own.tmAveCharWidth;
    }
  }
  return cells;
}

// ---- Files ------------------------------------------------------------------

TempDir::TempDir() {
  static LONG counter = 0;
  char base[MAX_PATH];
  GetTempPathA(sizeof base, base);
  for (;;) {
    char name[64];
    snprintf(name, sizeof name, "tapeon-e2e-%lu-%ld-%lu", GetCurrentProcessId(),
             InterlockedIncrement(&counter), GetTickCount());
    path_ = std::string(base) + name;
    if (CreateDirectoryA(path_.c_str(), nullptr)) break;
  }
}

TempDir::~TempDir() { RemoveTree(Widen(CP_ACP, path_)); }

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::optional<std::string> ReadFileBytes(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string bytes;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
            written == bytes.size();
  CloseHandle(file);
  return ok;
}

std::vector<std::pair<std::string, std::string>> IniSection(const std::string& path,
                                                             const std::string& section) {
  std::vector<std::pair<std::string, std::string>> entries;
  auto bytes = ReadFileBytes(path);
  if (!bytes) return entries;
  bool inside = false;
  size_t start = 0;
  while (start < bytes->size()) {
    size_t end = bytes->find('\n', start);
    if (end == std::string::npos) end = bytes->size();
    std::string line = bytes->substr(start, end - start);
    start = end + 1;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    size_t first = line.find_first_not_of(' ');
    if (first == std::string::npos) continue;
    line = line.substr(first);
    if (line[0] == '[') {
      size_t close = line.find(']');
      inside = close != std::string::npos && Lower(line.substr(1, close - 1)) == Lower(section);
      continue;
    }
    if (!inside || line[0] == ';') continue;
    size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    entries.emplace_back(line.substr(0, equals), line.substr(equals + 1));
  }
  return entries;
}

std::optional<std::string> IniValue(const std::string& path, const std::string& key, const std::string& section) {
  for (const auto& [name, value] : IniSection(path, section)) {
    if (Lower(name) == Lower(key)) return value;
  }
  return std::nullopt;
}

// ---- Windows of any process ----------------------------------------------------

std::string WindowText(HWND window) {
  DWORD_PTR length = 0;
  if (!window || !SendWithTimeout(window, WM_GETTEXTLENGTH, 0, 0, &length)) return "";
  std::string text(length + 1, '\0');
  DWORD_PTR copied = 0;
  if (!SendWithTimeout(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]), &copied)) return "";
  text.resize(std::min<size_t>(copied, length));
  return text;
}

std::wstring WindowTitleW(HWND window) {
  wchar_t text[1024] = {};
  GetWindowTextW(window, text, 1024);
  return text;
}

std::string ClassName(HWND window) {
  char name[256];
  int length = GetClassNameA(window, name, sizeof name);
  return std::string(name, length > 0 ? length : 0);
}

HWND Control(HWND dialog, int id) { return dialog ? GetDlgItem(dialog, id) : nullptr; }

std::string ControlText(HWND dialog, int id) { return WindowText(Control(dialog, id)); }

bool ControlEnabled(HWND dialog, int id) {
  HWND control = Control(dialog, id);
  return control && IsWindowEnabled(control);
}

bool ControlVisible(HWND dialog, int id) {
  HWND control = Control(dialog, id);
  return control && IsWindowVisible(control);
}

int CheckState(HWND dialog, int id) {
  HWND control = Control(dialog, id);
  DWORD_PTR state = 0;
  if (!control || !SendWithTimeout(control, BM_GETCHECK, 0, 0, &state)) return -1;
  return static_cast<int>(state);
}

bool SetControlText(HWND dialog, int id, const std::string& text) {
  HWND control = Control(dialog, id);
  return control && SendWithTimeout(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), nullptr);
}

bool SetCheck(HWND dialog, int id, bool checked) {
  int state = CheckState(dialog, id);
  if (state < 0) return false;
  if ((state == BST_CHECKED) == checked) return true;
  if (!SendWithTimeout(Control(dialog, id), BM_CLICK, 0, 0, nullptr)) return false;
  return (CheckState(dialog, id) == BST_CHECKED) == checked;
}

bool PressButton(HWND dialog, int id) {
  HWND button = Control(dialog, id);
  if (!button || !IsWindowEnabled(button)) return false;
  return PostMessageA(button, BM_CLICK, 0, 0) != 0;
}

bool PostKey(HWND window, UINT virtual_key) {
  LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA(virtual_key, 0)) << 16;
  return PostMessageA(window, WM_KEYDOWN, virtual_key, scan | 1) &&
         PostMessageA(window, WM_KEYUP, virtual_key, scan | 1 | (1u << 30) | (1u << 31));
}

std::vector<ControlInfo> Controls(HWND dialog) {
  std::vector<ControlInfo> controls;
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    ControlInfo info;
    info.window = child;
    info.id = GetDlgCtrlID(child);
    info.class_name = ClassName(child);
    info.text = WindowText(child);
    info.style = GetWindowLongA(child, GWL_STYLE);
    info.enabled = IsWindowEnabled(child);
    info.visible = IsWindowVisible(child);
    controls.push_back(info);
  }
  return controls;
}

MessageBoxInfo ReadMessageBox(HWND box) {
  MessageBoxInfo info;
  info.window = box;
  info.caption = WindowText(box);
  std::string fallback_text;
  for (const ControlInfo& control : Controls(box)) {
    std::string kind = Lower(control.class_name);
    if (kind == "button" && control.visible) {
      info.buttons.emplace_back(control.id, control.text);
    } else if (kind == "static") {
      if ((control.style & SS_TYPEMASK) == SS_ICON) {
        info.has_icon = true;
      } else if (control.id == 0xFFFF) {
        info.text = control.text;
      } else if (fallback_text.empty()) {
        fallback_text = control.text;
      }
    }
  }
  if (info.text.empty()) info.text = fallback_text;
  return info;
}

std::optional<MessageBoxInfo> AnswerBox(HWND box, int button_id, DWORD timeout_ms) {
  MessageBoxInfo info = ReadMessageBox(box);
  if (!PressButton(box, button_id)) return std::nullopt;
  WaitGone(box, timeout_ms);
  return info;
}

bool WaitGone(HWND window, DWORD timeout_ms) {
  return WaitUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); }, timeout_ms);
}

std::optional<MenuItem> FindMenuItem(const std::vector<MenuItem>& items, UINT id) {
  for (const MenuItem& item : items) {
    if (!item.popup() && !item.separator() && item.id == id) return item;
  }
  return std::nullopt;
}

std::vector<MenuItem> MenuPopups(const std::vector<MenuItem>& items) {
  std::vector<MenuItem> popups;
  for (const MenuItem& item : items) {
    if (item.level == 0 && item.popup()) popups.push_back(item);
  }
  return popups;
}

// ---- The program ---------------------------------------------------------------

std::unique_ptr<Tapeon> Launch(const TempDir& dir, const std::string& arguments, LaunchOptions options) {
  options.arguments = arguments;
  if (options.profile_dir.empty()) options.profile_dir = dir.path();
  auto app = std::make_unique<Tapeon>(options);
  if (app->started()) app->WaitForMainWindow();
  return app;
}

Tapeon::Tapeon(const LaunchOptions& options) {
  const UINT paths = options.utf8_paths ? CP_UTF8 : CP_ACP;
  const std::wstring program = options.program.empty() ? Widen(CP_ACP, TapeonPath()) : Widen(paths, options.program);

  // The environment block, in UTF-16: ours with USERPROFILE and the given
  // variables replaced, sorted by name as Windows expects.
  std::vector<std::wstring> variables;
  std::vector<std::pair<std::string, std::string>> replaced = options.environment;
  if (!options.without_profile && !options.profile_dir.empty()) {
    replaced.emplace_back("USERPROFILE", options.profile_dir);
  }
  auto lower = [](std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(towlower(c));
    return text;
  };
  LPWCH current = GetEnvironmentStringsW();
  for (const wchar_t* entry = current; *entry; entry += wcslen(entry) + 1) {
    std::wstring text = entry;
    std::wstring name = lower(text.substr(0, text.find(L'=', 1)));
    bool drop = options.without_profile && name == L"userprofile";
    for (const auto& [key, value] : replaced) drop = drop || lower(Widen(CP_ACP, key)) == name;
    if (!drop) variables.push_back(text);
  }
  FreeEnvironmentStringsW(current);
  for (const auto& [key, value] : replaced) variables.push_back(Widen(CP_ACP, key) + L"=" + Widen(paths, value));
  std::sort(variables.begin(), variables.end(),
            [&](const std::wstring& a, const std::wstring& b) { return lower(a) < lower(b); });
  std::wstring block;
  for (const std::wstring& variable : variables) block += variable + L'\0';
  block += L'\0';

  // The wide call, so that arguments and paths in UTF-8 reach the program
  // whole.
  std::wstring command = L"\"" + program + L"\"";
  if (!options.arguments.empty())
    command += L" " + Widen(options.utf8_arguments ? CP_UTF8 : CP_ACP, options.arguments);
  command.push_back(L'\0');
  const std::wstring working_dir =
      Widen(paths, options.working_dir.empty() ? options.profile_dir : options.working_dir);

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE,
                     CREATE_UNICODE_ENVIRONMENT, &block[0],
                     working_dir.empty() ? nullptr : working_dir.c_str(), &startup, &info)) {
    process_ = info.hProcess;
    pid_ = info.dwProcessId;
    CloseHandle(info.hThread);
  }
}

Tapeon::~Tapeon() {
  if (!process_) return;
  if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
    TerminateProcess(process_, 1);
    WaitForSingleObject(process_, kTimeoutMs);
  }
  CloseHandle(process_);
}

HWND Tapeon::WaitForMainWindow(DWORD timeout_ms) {
  if (!process_) return nullptr;
  WaitUntil(
      [&] {
        std::vector<HWND> windows = TopLevelWindows(pid_, "TAPEON");
        if (!windows.empty()) main_window_ = windows.front();
        return main_window_ != nullptr || Exited();
      },
      timeout_ms);
  // Let it finish its start-up (buttons, menu, start action) first.
  if (main_window_) WaitForInputIdle(process_, timeout_ms);
  return main_window_;
}

std::string Tapeon::Title() { return WindowText(main_window_); }

SIZE Tapeon::ClientSize() {
  RECT client{};
  GetClientRect(main_window_, &client);
  return SIZE{client.right - client.left, client.bottom - client.top};
}

RECT Tapeon::WindowRect() {
  RECT outer{};
  GetWindowRect(main_window_, &outer);
  return outer;
}

LONG Tapeon::Style() { return GetWindowLongA(main_window_, GWL_STYLE); }

HWND Tapeon::Button(int id) { return Control(main_window_, id); }

std::string Tapeon::ButtonText(int id) { return WindowText(Button(id)); }

bool Tapeon::ButtonEnabled(int id) {
  HWND button = Button(id);
  return button && IsWindowEnabled(button);
}

bool Tapeon::PostCommand(int id, int notification) {
  return main_window_ && PostMessageA(main_window_, WM_COMMAND, MAKEWPARAM(id, notification), 0) != 0;
}

bool Tapeon::TypeKey(UINT virtual_key, bool ctrl) {
  if (!main_window_) return false;
  SetForegroundWindow(main_window_);
  WaitUntil([&] { return GetForegroundWindow() == main_window_; }, 2000);
  std::vector<INPUT> inputs;
  auto key = [&](UINT code, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = static_cast<WORD>(code);
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(code, 0));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    inputs.push_back(input);
  };
  if (ctrl) key(VK_CONTROL, false);
  key(virtual_key, false);
  key(virtual_key, true);
  if (ctrl) key(VK_CONTROL, true);
  return SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) == inputs.size();
}

bool Tapeon::InjectProbe() {
  if (probe_module_) return true;
  std::string path = ModuleDir() + "\\menu_probe.dll";
  void* remote_path = VirtualAllocEx(process_, nullptr, path.size() + 1, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (!remote_path) return false;
  DWORD remote_module = 0;
  if (WriteProcessMemory(process_, remote_path, path.c_str(), path.size() + 1, nullptr)) {
    // LoadLibraryA has the shape of a thread procedure and the same address
    // in every process.
    auto load_library = reinterpret_cast<LPTHREAD_START_ROUTINE>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "LoadLibraryA")));
    HANDLE thread = CreateRemoteThread(process_, nullptr, 0, load_library, remote_path, 0, nullptr);
    if (thread) {
      if (WaitForSingleObject(thread, kTimeoutMs) == WAIT_OBJECT_0) GetExitCodeThread(thread, &remote_module);
      CloseHandle(thread);
    }
  }
  VirtualFreeEx(process_, remote_path, 0, MEM_RELEASE);
  probe_module_ = remote_module;
  return probe_module_ != 0;
}

bool Tapeon::CallProbe(const char* function, void* block, size_t size, DWORD& result) {
  result = 0;
  if (!process_ || !InjectProbe()) return false;
  // The local copy of the DLL gives the function's offset inside the module.
  HMODULE local = LoadLibraryA((ModuleDir() + "\\menu_probe.dll").c_str());
  auto local_function = local ? reinterpret_cast<UINT_PTR>(GetProcAddress(local, function)) : 0;
  if (!local_function) return false;
  auto start = reinterpret_cast<LPTHREAD_START_ROUTINE>(probe_module_ + (local_function - reinterpret_cast<UINT_PTR>(local)));
  void* remote = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (!remote) return false;
  bool done = false;
  if (WriteProcessMemory(process_, remote, block, size, nullptr)) {
    HANDLE thread = CreateRemoteThread(process_, nullptr, 0, start, remote, 0, nullptr);
    if (thread) {
      done = WaitForSingleObject(thread, kTimeoutMs) == WAIT_OBJECT_0 && GetExitCodeThread(thread, &result);
      CloseHandle(thread);
    }
    done = done && ReadProcessMemory(process_, remote, block, size, nullptr);
  }
  VirtualFreeEx(process_, remote, 0, MEM_RELEASE);
  return done;
}

std::vector<MenuItem> Tapeon::ReadMenus(HWND window, uint32_t which) {
  std::vector<MenuItem> items;
  if (!window) return items;
  auto request = std::make_unique<menu_probe::Request>();
  request->window = static_cast<uint32_t>(reinterpret_cast<UINT_PTR>(window));
  request->which = which;
  DWORD result = menu_probe::kNoMenu;
  if (!CallProbe("ReadMenus", request.get(), sizeof *request, result) || result == menu_probe::kNoMenu) return items;
  for (uint32_t i = 0; i < request->count && i < menu_probe::kMaxItems; ++i) {
    const menu_probe::Item& raw = request->items[i];
    MenuItem item;
    item.level = raw.level;
    item.position = raw.position;
    item.id = raw.id;
    item.state = raw.state;
    item.text.assign(raw.text, strnlen(raw.text, menu_probe::kTextBytes));
    items.push_back(item);
  }
  return items;
}

bool Tapeon::Watch(const char* function, const std::string& path, const std::string& timing_path) {
  menu_probe::WatchRequest request{};
  if (path.size() >= sizeof request.path || timing_path.size() >= sizeof request.timing_path) return false;
  std::memcpy(request.path, path.c_str(), path.size() + 1);
  std::memcpy(request.timing_path, timing_path.c_str(), timing_path.size() + 1);
  request.window = static_cast<uint32_t>(reinterpret_cast<UINT_PTR>(main_window_));
  DWORD result = 0;
  return CallProbe(function, &request, sizeof request, result) && result == 1;
}

bool Tapeon::WatchPlayback(const std::string& path, const std::string& timing_path) {
  return Watch("WatchPlayback", path, timing_path);
}

bool Tapeon::ProvideMixer(long left, long right) {
  menu_probe::MixerRequest request{static_cast<int32_t>(left), static_cast<int32_t>(right)};
  DWORD result = 0;
  return CallProbe("ProvideMixer", &request, sizeof request, result) && result == 1;
}

bool Tapeon::StallPlayback() { return Watch("StallPlayback", ""); }

bool Tapeon::WatchRecording(const std::string& path) { return main_window_ && Watch("WatchRecording", path); }

std::vector<Tapeon::TextFit> Tapeon::MeasureTexts(HWND window) {
  std::vector<TextFit> fits;
  auto request = std::make_unique<menu_probe::MeasureRequest>();
  request->window = static_cast<uint32_t>(reinterpret_cast<UINT_PTR>(window));
  DWORD result = 0;
  if (!window || !CallProbe("MeasureTexts", request.get(), sizeof *request, result)) return fits;
  for (uint32_t i = 0; i < request->count && i < menu_probe::kMaxControls; ++i) {
    const menu_probe::TextFit& raw = request->controls[i];
    fits.push_back({raw.id, std::string(raw.text, strnlen(raw.text, menu_probe::kTextBytes)), raw.needed,
                    raw.available, raw.fits != 0});
  }
  return fits;
}

std::vector<MenuItem> Tapeon::MainMenu() { return ReadMenus(main_window_, menu_probe::kMenuBar); }

std::vector<MenuItem> Tapeon::SystemMenu() { return ReadMenus(main_window_, menu_probe::kSystemMenu); }

std::vector<MenuItem> Tapeon::SystemMenuOf(HWND window) { return ReadMenus(window, menu_probe::kSystemMenu); }

std::vector<HWND> Tapeon::Dialogs() { return process_ ? TopLevelWindows(pid_, "#32770") : std::vector<HWND>{}; }

HWND Tapeon::WaitForDialog(const std::string& caption, DWORD timeout_ms) {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        for (HWND dialog : Dialogs()) {
          if (caption.empty() || WindowText(dialog) == caption) {
            found = dialog;
            return true;
          }
        }
        return Exited();
      },
      timeout_ms);
  return found;
}

bool Tapeon::WaitForNoDialog(DWORD timeout_ms) {
  return WaitUntil([&] { return Dialogs().empty(); }, timeout_ms);
}

std::optional<MessageBoxInfo> Tapeon::AnswerMessageBox(int button_id, DWORD timeout_ms) {
  HWND box = WaitForDialog("", timeout_ms);
  if (!box) return std::nullopt;
  return AnswerBox(box, button_id, timeout_ms);
}

bool Tapeon::Close() { return main_window_ && PostMessageA(main_window_, WM_CLOSE, 0, 0) != 0; }

bool Tapeon::WaitForExit(DWORD timeout_ms) {
  return process_ && WaitForSingleObject(process_, timeout_ms) == WAIT_OBJECT_0;
}

bool Tapeon::Exited() { return !process_ || WaitForSingleObject(process_, 0) == WAIT_OBJECT_0; }

DWORD Tapeon::ExitCode() {
  DWORD code = STILL_ACTIVE;
  if (process_) GetExitCodeProcess(process_, &code);
  return code;
}

std::optional<DWORD> Tapeon::CloseAndWait(DWORD timeout_ms) {
  if (!Close() || !WaitForExit(timeout_ms)) return std::nullopt;
  return ExitCode();
}

}  // namespace e2e
