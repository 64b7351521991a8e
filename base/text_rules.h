// Small text and path rules shared by several parts of the program. Portable.
// Paths and texts are in the system's ANSI code page, which may be a
// double-byte one such as Shift-JIS (code page 932).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// Which bytes of the active code page may lead or trail a double-byte character.
struct CodePageBytes {
  bool lead[256];
  bool trail[256];
};
CodePageBytes ShiftJisBytes();    // code page 932
CodePageBytes SingleByteBytes();  // any single-byte code page
// The code page the text rules follow; Shift-JIS until set otherwise.
void SetActiveCodePage(const CodePageBytes& bytes);

// 0 single-byte character, 1 lead byte, 2 trail byte, -1 invalid byte.
int CharTypeAt(const unsigned char* text, size_t index);
inline int CharTypeAt(const char* text, size_t index) {
  return CharTypeAt(reinterpret_cast<const unsigned char*>(text), index);
}

// First case-insensitive match of pattern (at most 260 bytes) in text,
// comparing single-byte characters without case and double-byte ones exactly.
const char* FindNoCase(const char* text, const char* pattern);

// Splits path at its last single-byte "\", "/" or ":" into the directory
// (with the separator) and the name. Both outputs are always terminated and
// cut to their sizes.
void SplitPath(const char* path, char* directory, char* name, size_t directory_size = 260,
               size_t name_size = 260);

// True when the path names a device rather than a file: a last part whose
// name before any extension is CON, PRN, AUX, NUL, COM0..COM9, LPT0..LPT9,
// CONIN$, CONOUT$ or CLOCK$ (any case, with or without extension, drive or
// trailing blanks, as the system reads it), or a path in the device or raw
// namespaces ("\\.\", "\\?\", "\??\", with either slash). Such a name opens
// the device: a recording into "NUL.WAV" would be lost, a read from a port
// could block.
bool IsDeviceName(const char* path);

// Pads the text in buffer with blanks to exactly size - 1 characters. Returns
// false when the text was already size bytes or longer (it is cut then).
bool PadText(char* buffer, size_t size);

// The help file for the program at module_path: beside it from Windows 4.00
// on (".EXE" and all after it replaced by ".HLP"), else "TAPEON.hlp".
std::string HelpFilePath(const std::string& module_path, unsigned windows_version);

// The main window's title for a file title (empty: no file).
std::string WindowTitle(const std::string& file_title, unsigned windows_version);

// Perceived brightness of a colour, 0..255.
int Brightness(int red, int green, int blue);
// True when the window text is at least as bright as the window background.
bool IsDarkBackground(uint32_t text_rgb, uint32_t window_rgb);
