#include "base/file_names_win32.h"

#include <commdlg.h>

#include <cwchar>
#include <vector>

#include "base/text_rules.h"

namespace {

// The wide functions, on Windows NT. Windows 95/98/Me export some of them
// as stubs that fail, and lack others (a program that imported them would not
// start there), so they are looked up by name.
struct WideCalls {
  decltype(&CreateFileW) create_file = nullptr;
  decltype(&GetFileAttributesW) attributes = nullptr;
  decltype(&GetFileAttributesExW) attributes_ex = nullptr;
  decltype(&DeleteFileW) delete_file = nullptr;
  decltype(&GetFullPathNameW) full_path = nullptr;
  decltype(&GetCurrentDirectoryW) current_directory = nullptr;
  decltype(&GetDiskFreeSpaceW) disk_free_space = nullptr;
  decltype(&GetCommandLineW) command_line = nullptr;
  decltype(&SetWindowTextW) set_window_text = nullptr;
  decltype(&DefWindowProcW) default_procedure = nullptr;
  decltype(&GetWindowTextW) window_text = nullptr;
  decltype(&GetWindowTextLengthW) window_text_length = nullptr;
  decltype(&DragQueryFileW) drag_query_file = nullptr;
  decltype(&GetOpenFileNameW) open_file_name = nullptr;
  decltype(&GetSaveFileNameW) save_file_name = nullptr;
  decltype(&DialogBoxParamW) dialog_box = nullptr;
  decltype(&CreateWindowExW) create_window = nullptr;
  decltype(&IsWindowUnicode) is_unicode_window = nullptr;
  decltype(&GetModuleFileNameW) module_file_name = nullptr;
  decltype(&GetShortPathNameW) short_path = nullptr;
  decltype(&GetEnvironmentVariableW) environment_variable = nullptr;
  decltype(&GetPrivateProfileStringW) profile_string = nullptr;
  decltype(&WritePrivateProfileStringW) write_profile_string = nullptr;
};

template <class Function>
void Find(HMODULE module, const char* name, Function& function, bool& all) {
  function = module ? reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name))) : nullptr;
  all = all && function != nullptr;
}

const WideCalls* LoadWideCalls() {
  if (GetVersion() & 0x80000000u) return nullptr;  // Windows 95/98/Me
  static WideCalls calls;  // per process: looked up once, at the first use
  const HMODULE kernel = GetModuleHandleA("kernel32.dll");
  const HMODULE user = LoadLibraryA("user32.dll");
  const HMODULE shell = LoadLibraryA("shell32.dll");
  const HMODULE dialogs = LoadLibraryA("comdlg32.dll");
  bool all = true;
  Find(kernel, "CreateFileW", calls.create_file, all);
  Find(kernel, "GetFileAttributesW", calls.attributes, all);
  Find(kernel, "GetFileAttributesExW", calls.attributes_ex, all);
  Find(kernel, "DeleteFileW", calls.delete_file, all);
  Find(kernel, "GetFullPathNameW", calls.full_path, all);
  Find(kernel, "GetCurrentDirectoryW", calls.current_directory, all);
  Find(kernel, "GetDiskFreeSpaceW", calls.disk_free_space, all);
  Find(kernel, "GetCommandLineW", calls.command_line, all);
  Find(kernel, "GetModuleFileNameW", calls.module_file_name, all);
  Find(kernel, "GetShortPathNameW", calls.short_path, all);
  Find(kernel, "GetEnvironmentVariableW", calls.environment_variable, all);
  Find(kernel, "GetPrivateProfileStringW", calls.profile_string, all);
  Find(kernel, "WritePrivateProfileStringW", calls.write_profile_string, all);
  Find(user, "SetWindowTextW", calls.set_window_text, all);
  Find(user, "DefWindowProcW", calls.default_procedure, all);
  Find(user, "GetWindowTextW", calls.window_text, all);
  Find(user, "GetWindowTextLengthW", calls.window_text_length, all);
  Find(user, "DialogBoxParamW", calls.dialog_box, all);
  Find(user, "CreateWindowExW", calls.create_window, all);
  Find(user, "IsWindowUnicode", calls.is_unicode_window, all);
  Find(shell, "DragQueryFileW", calls.drag_query_file, all);
  Find(dialogs, "GetOpenFileNameW", calls.open_file_name, all);
  Find(dialogs, "GetSaveFileNameW", calls.save_file_name, all);
  // Names stay in one code page for the whole run: all of them, or none.
  return all ? &calls : nullptr;
}

const WideCalls* Wide() {
  static const WideCalls* const calls = LoadWideCalls();
  return calls;
}

// The program's own texts (length -1: up to the zero, which is left out;
// else that many bytes) into UTF-16, and back.
std::wstring Widen(UINT code_page, const char* text, int length = -1) {
  const int units = MultiByteToWideChar(code_page, 0, text, length, nullptr, 0);
  if (units <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(units), L'\0');
  MultiByteToWideChar(code_page, 0, text, length, &wide[0], units);
  if (length < 0) wide.resize(static_cast<size_t>(units) - 1);
  return wide;
}

std::string Narrow(UINT code_page, const wchar_t* wide) {
  const int bytes = WideCharToMultiByte(code_page, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return std::string();
  std::string text(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(code_page, 0, wide, -1, &text[0], bytes, nullptr, nullptr);
  text.resize(static_cast<size_t>(bytes) - 1);
  return text;
}

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 units");

// Whether a name may be opened or asked about: a device is not a file.
bool IsFileName(const char* name) {
  if (name != nullptr && !IsDeviceName(name)) return true;
  SetLastError(ERROR_FILE_NOT_FOUND);
  return false;
}

}  // namespace

bool UnicodeNames() { return Wide() != nullptr; }

// On NT in WTF-8, not through the system's UTF-8, which makes a surrogate
// without its partner U+FFFD: such a name (NTFS holds it) could not be
// opened again.
std::string NameFromWide(const wchar_t* wide) {
  if (!Wide()) return Narrow(CP_ACP, wide);
  return Wtf8FromUtf16(std::u16string(reinterpret_cast<const char16_t*>(wide)));
}

std::wstring WideName(const char* name) {
  if (!Wide()) return Widen(CP_ACP, name);
  const std::u16string wide = Utf16FromWtf8(name);
  return std::wstring(reinterpret_cast<const wchar_t*>(wide.data()), wide.size());
}

std::string NameForDisplay(const char* name) {
  if (!Wide()) return name;
  return Narrow(CP_ACP, WideName(name).c_str());
}

std::string CommandLineText() {
  if (const WideCalls* wide = Wide()) return NameFromWide(wide->command_line());
  return GetCommandLineA();
}

HANDLE OpenFileNamed(const char* name, DWORD access, DWORD share, DWORD disposition) {
  if (!IsFileName(name)) return INVALID_HANDLE_VALUE;
  if (const WideCalls* wide = Wide())
    return wide->create_file(WideName(name).c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                             nullptr);
  return CreateFileA(name, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

HMMIO OpenMmioNamed(const char* name, DWORD flags) {
  const DWORD mode = flags & MMIO_RWMODE;
  const DWORD access =
      mode == MMIO_WRITE ? GENERIC_WRITE : mode == MMIO_READWRITE ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ;
  // The sharing mmioOpen gives when no MMIO_SHARE flag is set.
  const HANDLE file = OpenFileNamed(name, access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    (flags & MMIO_CREATE) ? CREATE_ALWAYS : OPEN_EXISTING);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  // Without a name the standard file procedure takes the open file from
  // adwInfo[0]. (mmioOpenW would not do: Wine's hands the name on in the
  // ANSI code page.)
  MMIOINFO info = {};
  info.fccIOProc = FOURCC_DOS;
  info.adwInfo[0] = static_cast<DWORD>(reinterpret_cast<UINT_PTR>(file));
  const HMMIO mmio = mmioOpenA(nullptr, &info, flags & ~MMIO_CREATE);
  if (!mmio) CloseHandle(file);
  return mmio;
}

bool FileAttributesNamed(const char* name, WIN32_FILE_ATTRIBUTE_DATA& data) {
  if (!IsFileName(name)) return false;
  if (const WideCalls* wide = Wide())
    return wide->attributes_ex(WideName(name).c_str(), GetFileExInfoStandard, &data) != 0;
  return GetFileAttributesExA(name, GetFileExInfoStandard, &data) != 0;
}

DWORD FileAttributeBits(const char* name) {
  if (!IsFileName(name)) return INVALID_FILE_ATTRIBUTES;
  if (const WideCalls* wide = Wide()) return wide->attributes(WideName(name).c_str());
  return GetFileAttributesA(name);
}

bool DeleteFileNamed(const char* name) {
  if (!IsFileName(name)) return false;
  if (const WideCalls* wide = Wide()) return wide->delete_file(WideName(name).c_str()) != 0;
  return DeleteFileA(name) != 0;
}

bool FullPathNamed(const char* name, std::string& full) {
  if (const WideCalls* wide = Wide()) {
    wchar_t path[MAX_PATH];
    const DWORD length = wide->full_path(WideName(name).c_str(), MAX_PATH, path, nullptr);
    if (length == 0 || length >= MAX_PATH) return false;
    full = NameFromWide(path);
    return true;
  }
  char path[MAX_PATH];
  const DWORD length = GetFullPathNameA(name, sizeof path, path, nullptr);
  if (length == 0 || length >= sizeof path) return false;
  full = path;
  return true;
}

std::string CurrentDirectoryName() {
  if (const WideCalls* wide = Wide()) {
    wchar_t path[MAX_PATH];
    const DWORD length = wide->current_directory(MAX_PATH, path);
    return length == 0 || length >= MAX_PATH ? std::string() : NameFromWide(path);
  }
  char path[MAX_PATH];
  const DWORD length = GetCurrentDirectoryA(sizeof path, path);
  return length == 0 || length >= sizeof path ? std::string() : std::string(path);
}

bool DiskFreeSpaceNamed(const char* root, DWORD& sectors_per_cluster, DWORD& bytes_per_sector,
                        DWORD& free_clusters, DWORD& total_clusters) {
  if (const WideCalls* wide = Wide()) {
    const std::wstring path = root ? WideName(root) : std::wstring();
    return wide->disk_free_space(root ? path.c_str() : nullptr, &sectors_per_cluster, &bytes_per_sector,
                                 &free_clusters, &total_clusters) != 0;
  }
  return GetDiskFreeSpaceA(root, &sectors_per_cluster, &bytes_per_sector, &free_clusters, &total_clusters) != 0;
}

void SetNameText(HWND control, const char* text) {
  if (const WideCalls* wide = Wide())
    wide->set_window_text(control, WideName(text).c_str());
  else
    SetWindowTextA(control, text);
}

std::string NameTextOf(HWND control) {
  if (const WideCalls* wide = Wide()) {
    std::vector<wchar_t> text(static_cast<size_t>(wide->window_text_length(control)) + 1, L'\0');
    wide->window_text(control, text.data(), static_cast<int>(text.size()));
    return NameFromWide(text.data());
  }
  std::vector<char> text(static_cast<size_t>(GetWindowTextLengthA(control)) + 1, '\0');
  GetWindowTextA(control, text.data(), static_cast<int>(text.size()));
  return text.data();
}

void SetNameTitle(HWND window, const char* text) {
  // SetWindowTextW would reach the program's ANSI window procedure in the
  // code page; the default procedure keeps the title in UTF-16.
  if (const WideCalls* wide = Wide())
    wide->default_procedure(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(WideName(text).c_str()));
  else
    SetWindowTextA(window, text);
}

UINT DroppedFileCount(HDROP drop) {
  if (const WideCalls* wide = Wide()) return wide->drag_query_file(drop, 0xFFFFFFFF, nullptr, 0);
  return DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
}

std::string DroppedFileName(HDROP drop, UINT index) {
  if (const WideCalls* wide = Wide()) {
    std::vector<wchar_t> name(wide->drag_query_file(drop, index, nullptr, 0) + 1, L'\0');
    wide->drag_query_file(drop, index, name.data(), static_cast<UINT>(name.size()));
    return NameFromWide(name.data());
  }
  std::vector<char> name(DragQueryFileA(drop, index, nullptr, 0) + 1, '\0');
  DragQueryFileA(drop, index, name.data(), static_cast<UINT>(name.size()));
  return name.data();
}

bool AskFileName(const FileDialogRequest& request, std::string& name) {
  if (const WideCalls* wide = Wide()) {
    // The program's texts as the ANSI function would have read them.
    const std::wstring filter = Widen(CP_ACP, request.filter->data(), static_cast<int>(request.filter->size()));
    const std::wstring title = request.title ? Widen(CP_ACP, request.title) : std::wstring();
    const std::wstring directory = request.initial_directory ? WideName(request.initial_directory) : std::wstring();
    wchar_t file[MAX_PATH] = {}, file_title[MAX_PATH] = {};
    wcsncpy(file, WideName(name.c_str()).c_str(), MAX_PATH - 1);
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = request.struct_size;
    dialog.hwndOwner = request.owner;
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrFileTitle = file_title;
    dialog.nMaxFileTitle = MAX_PATH;
    dialog.lpstrInitialDir = directory.empty() ? nullptr : directory.c_str();
    dialog.lpstrTitle = request.title ? title.c_str() : nullptr;
    dialog.Flags = request.flags;
    if (!(request.save ? wide->save_file_name(&dialog) : wide->open_file_name(&dialog))) return false;
    name = NameFromWide(file);
    return true;
  }
  char file[MAX_PATH] = {}, file_title[MAX_PATH] = {};
  lstrcpynA(file, name.c_str(), sizeof file);
  OPENFILENAMEA dialog = {};
  dialog.lStructSize = request.struct_size;
  dialog.hwndOwner = request.owner;
  dialog.lpstrFilter = request.filter->c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file;
  dialog.nMaxFile = sizeof file;
  dialog.lpstrFileTitle = file_title;
  dialog.nMaxFileTitle = sizeof file_title;
  dialog.lpstrInitialDir = request.initial_directory;
  dialog.lpstrTitle = request.title;
  dialog.Flags = request.flags;
  if (!(request.save ? GetSaveFileNameA(&dialog) : GetOpenFileNameA(&dialog))) return false;
  name = file;
  return true;
}

INT_PTR NameDialogBox(HINSTANCE instance, const char* template_name, HWND owner, DLGPROC procedure,
                      LPARAM parameter) {
  if (const WideCalls* wide = Wide())
    return wide->dialog_box(instance, Widen(CP_ACP, template_name).c_str(), owner, procedure, parameter);
  return DialogBoxParamA(instance, template_name, owner, procedure, parameter);
}

HWND CreateControlLike(HWND old_control, int id, const char* class_name, DWORD ex_style, DWORD style,
                       const RECT& place, HINSTANCE instance) {
  HWND parent = GetParent(old_control);
  HMENU menu = reinterpret_cast<HMENU>(static_cast<INT_PTR>(id));
  const int width = place.right - place.left, height = place.bottom - place.top;
  const WideCalls* wide = Wide();
  if (wide && wide->is_unicode_window(old_control)) {
    std::vector<wchar_t> text(static_cast<size_t>(wide->window_text_length(old_control)) + 1, L'\0');
    wide->window_text(old_control, text.data(), static_cast<int>(text.size()));
    return wide->create_window(ex_style, Widen(CP_ACP, class_name).c_str(), text.data(), style, place.left, place.top,
                               width, height, parent, menu, instance, nullptr);
  }
  std::vector<char> text(static_cast<size_t>(GetWindowTextLengthA(old_control)) + 1, '\0');
  GetWindowTextA(old_control, text.data(), static_cast<int>(text.size()));
  return CreateWindowExA(ex_style, class_name, text.data(), style, place.left, place.top, width, height, parent, menu,
                         instance, nullptr);
}

std::string ProgramFileName() {
  // The last unit stays 0: a path that fills the buffer comes back without
  // its terminating zero on Windows XP and older.
  if (const WideCalls* wide = Wide()) {
    wchar_t path[MAX_PATH + 1] = {};
    wide->module_file_name(nullptr, path, MAX_PATH);
    return NameFromWide(path);
  }
  char path[MAX_PATH + 1] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return path;
}

namespace {

// The text in the ANSI code page, or empty when the code page lacks a
// character of it (no best fit: a look-alike would name another file).
std::string InCodePage(const wchar_t* wide) {
  BOOL replaced = FALSE;
  const int bytes = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, nullptr, 0, nullptr, &replaced);
  if (bytes <= 0 || replaced) return std::string();
  std::string text(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, &text[0], bytes, nullptr, nullptr);
  text.resize(static_cast<size_t>(bytes) - 1);
  return text;
}

}  // namespace

BOOL ShowHelpNamed(HWND window, const char* name, UINT command) {
  const WideCalls* wide = Wide();
  if (!wide) return WinHelpA(window, name, command, 0);
  // The help program takes names in the ANSI code page only (WinHelpW hands
  // them on so): a name the code page cannot hold goes by its short form.
  const std::wstring path = WideName(name);
  std::string in_code_page = InCodePage(path.c_str());
  if (in_code_page.empty()) {
    wchar_t short_path[MAX_PATH] = {};
    const DWORD length = wide->short_path(path.c_str(), short_path, MAX_PATH);
    if (length > 0 && length < MAX_PATH) in_code_page = InCodePage(short_path);
  }
  // No short form (a volume that makes none, or no file): as the code page
  // shows it, and the help program says it found nothing.
  if (in_code_page.empty()) in_code_page = Narrow(CP_ACP, path.c_str());
  return WinHelpA(window, in_code_page.c_str(), command, 0);
}

std::string EnvironmentName(const char* variable) {
  if (const WideCalls* wide = Wide()) {
    const std::wstring key = Widen(CP_ACP, variable);
    const DWORD size = wide->environment_variable(key.c_str(), nullptr, 0);
    if (size == 0) return std::string();
    std::vector<wchar_t> value(size, L'\0');
    const DWORD length = wide->environment_variable(key.c_str(), value.data(), size);
    return length == 0 || length >= size ? std::string() : NameFromWide(value.data());
  }
  const DWORD size = GetEnvironmentVariableA(variable, nullptr, 0);
  if (size == 0) return std::string();
  std::vector<char> value(size, '\0');
  const DWORD length = GetEnvironmentVariableA(variable, value.data(), size);
  return length == 0 || length >= size ? std::string() : std::string(value.data());
}

std::string ProfileTextNamed(const char* file, const char* section, const char* key, const char* default_text,
                             size_t capacity) {
  if (const WideCalls* wide = Wide()) {
    std::vector<wchar_t> value(capacity, L'\0');
    wide->profile_string(Widen(CP_ACP, section).c_str(), Widen(CP_ACP, key).c_str(),
                         Widen(CP_ACP, default_text).c_str(), value.data(), static_cast<DWORD>(capacity),
                         WideName(file).c_str());
    return Narrow(CP_ACP, value.data());
  }
  std::vector<char> value(capacity, '\0');
  GetPrivateProfileStringA(section, key, default_text, value.data(), static_cast<DWORD>(capacity), file);
  return value.data();
}

bool WriteProfileTextNamed(const char* file, const char* section, const char* key, const char* value) {
  if (const WideCalls* wide = Wide())
    return wide->write_profile_string(Widen(CP_ACP, section).c_str(), Widen(CP_ACP, key).c_str(),
                                      Widen(CP_ACP, value).c_str(), WideName(file).c_str()) != 0;
  return WritePrivateProfileStringA(section, key, value, file) != 0;
}
