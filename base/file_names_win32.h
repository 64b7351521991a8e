// File names where they meet the system. Inside the program a name is char
// text in the name code page: UTF-8 on Windows NT, whose file systems and
// window texts hold Unicode, so that a name in any script opens (WTF-8 in
// fact: a surrogate without its partner, which NTFS allows, is kept); the
// ANSI code page on Windows 95/98/Me, which has nothing wider. Every call below
// takes such a name and hands it on in UTF-16 to the wide function on NT
// (loaded at run time: the program still starts where they do not exist) and
// unchanged to the ANSI function elsewhere. The program's own texts stay in
// the ANSI code page.
//
// None of the calls that open or query a file by name reaches a device
// (IsDeviceName): they fail as for a file that is not there.
#pragma once
#include <windows.h>
#include <mmsystem.h>
#include <shellapi.h>

#include <string>

// True when names are UTF-8 and reach the system in UTF-16 (Windows NT).
bool UnicodeNames();

// A name from the system's UTF-16, and back.
std::string NameFromWide(const wchar_t* wide);
std::wstring WideName(const char* name);
// The name as the ANSI code page shows it, with the system's replacement for
// the characters it lacks: for the program's own texts and lines drawn in its
// fixed-pitch fonts.
std::string NameForDisplay(const char* name);

// The whole command line.
std::string CommandLineText();

// CreateFile with no security attributes, template or special attributes.
HANDLE OpenFileNamed(const char* name, DWORD access, DWORD share, DWORD disposition);
// The file opened with the multimedia file functions (MMIO_READ, MMIO_WRITE
// or MMIO_READWRITE, MMIO_CREATE, MMIO_ALLOCBUF) as mmioOpen opens it; the
// file is opened here and its handle given to mmio, which closes it with
// mmioClose. Null when it cannot be opened.
HMMIO OpenMmioNamed(const char* name, DWORD flags);
// The file's attributes and size; false when there is no such file.
bool FileAttributesNamed(const char* name, WIN32_FILE_ATTRIBUTE_DATA& data);
// The attribute bits, INVALID_FILE_ATTRIBUTES when there is no such file.
DWORD FileAttributeBits(const char* name);
bool DeleteFileNamed(const char* name);
// The full path of name; false when it cannot be had or is longer than a path
// may be.
bool FullPathNamed(const char* name, std::string& full);
std::string CurrentDirectoryName();
// GetDiskFreeSpace of root (null: the current drive).
bool DiskFreeSpaceNamed(const char* root, DWORD& sectors_per_cluster, DWORD& bytes_per_sector,
                        DWORD& free_clusters, DWORD& total_clusters);

// Texts that hold a name: of a control (an edit), and the title of one of
// the program's own windows.
void SetNameText(HWND control, const char* text);
std::string NameTextOf(HWND control);
void SetNameTitle(HWND window, const char* text);

// A modal dialog that holds a name (DialogBoxParam): on Windows NT a Unicode
// window, whose edits keep their texts in UTF-16. (Made with the ANSI
// function, an edit keeps its text in the code page on Windows, and loses
// what the code page lacks; Wine's keeps UTF-16 either way.) The procedure
// handles no message that carries text; the program's texts still reach the
// controls through the ANSI functions, in the code page.
INT_PTR NameDialogBox(HINSTANCE instance, const char* template_name, HWND owner, DLGPROC procedure,
                      LPARAM parameter);
// A control of the same dialog made again in place of old_control (which
// stays) with the styles and place given (the dialog's client coordinates):
// of class_name, with old_control's whole text, and a Unicode window where
// old_control is one, so that a name in it survives. Null when it cannot be
// made.
HWND CreateControlLike(HWND old_control, int id, const char* class_name, DWORD ex_style, DWORD style,
                       const RECT& place, HINSTANCE instance);

// The program's own file (empty when it cannot be had).
std::string ProgramFileName();
// WinHelp with the help file of that name; true when the help program took
// the request.
BOOL ShowHelpNamed(HWND window, const char* name, UINT command);
// The value of an environment variable that holds a name; empty without one.
std::string EnvironmentName(const char* variable);
// The profile functions with a file by name; section, key, value and default
// are the program's texts. At most capacity - 1 characters are read.
std::string ProfileTextNamed(const char* file, const char* section, const char* key, const char* default_text,
                             size_t capacity);
bool WriteProfileTextNamed(const char* file, const char* section, const char* key, const char* value);

// The number of files dropped, and the name of one of them (never cut).
UINT DroppedFileCount(HDROP drop);
std::string DroppedFileName(HDROP drop, UINT index);

// The common open or save dialog. filter: the pairs of texts with their zero
// bytes, ended by an empty one; title and filter are the program's texts.
// name: the file name the dialog starts with, and the chosen one. struct_size:
// the OPENFILENAME size the caller asks for (76 without the Windows 2000
// extension). True when a file was chosen.
struct FileDialogRequest {
  HWND owner = nullptr;
  bool save = false;
  const std::string* filter = nullptr;
  const char* title = nullptr;
  const char* initial_directory = nullptr;  // a name, or null
  DWORD flags = 0;
  DWORD struct_size = 76;
};
bool AskFileName(const FileDialogRequest& request, std::string& name);
