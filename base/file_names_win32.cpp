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
};

template <class Function>
void Find(HMODULE module, const char* name, Function& function, bool& all) {
  function = module ? reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name))) : nullptr;
  all = all && function != nullptr;
}

const WideCalls* LoadWideCalls() {
  if (GetVersion() & 0x80000000u) return nullptr;  // Windows 95/98/Me
  static WideCalls calls;
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
  Find(user, "SetWindowTextW", calls.set_window_text, all);
  Find(user, "DefWindowProcW", calls.default_procedure, all);
  Find(user, "GetWindowTextW", calls.window_text, all);
  Find(user, "GetWindowTextLengthW", calls.window_text_length, all);
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

// length -1: up to the zero, which is left out; else that many bytes.
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

UINT NameCodePage() { return Wide() ? CP_UTF8 : CP_ACP; }

// Whether a name may be opened or asked about: a device is not a file.
bool IsFileName(const char* name) {
  if (name != nullptr && !IsDeviceName(name)) return true;
  SetLastError(ERROR_FILE_NOT_FOUND);
  return false;
}

}  // namespace

bool UnicodeNames() { return Wide() != nullptr; }

std::string NameFromWide(const wchar_t* wide) { return Narrow(NameCodePage(), wide); }

std::wstring WideName(const char* name) { return Widen(NameCodePage(), name); }

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
