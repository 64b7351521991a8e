// Small text and path rules shared by several parts of the program. Portable.
// Paths are held in the name code page: UTF-8 where the system keeps names in
// Unicode (Windows NT), else the system's ANSI code page, which may be a
// double-byte one such as Shift-JIS (code page 932).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// Which bytes of the active code page may lead or trail a double-byte character.
struct CodePageBytes {
  bool lead[256];
  bool trail[256];
  // UTF-8: no byte of a longer character is ASCII (so none is a lead byte in
  // the sense above), and the system counts a name in UTF-16 units.
  bool utf8;
};
CodePageBytes ShiftJisBytes();    // code page 932
CodePageBytes SingleByteBytes();  // any single-byte code page
CodePageBytes Utf8Bytes();        // UTF-8
// The code page the text rules follow; Shift-JIS until set otherwise.
void SetActiveCodePage(const CodePageBytes& bytes);

// 0 single-byte character, 1 lead byte, 2 trail byte, -1 invalid byte.
int CharTypeAt(const unsigned char* text, size_t index);
inline int CharTypeAt(const char* text, size_t index) {
  return CharTypeAt(reinterpret_cast<const unsigned char*>(text), index);
}

// The longest path the system takes: MAX_PATH less its terminating zero.
constexpr size_t MAX_NAME_LENGTH = 259;
// Bytes that hold any path of that length, with its zero: in UTF-8 a UTF-16
// unit takes at most three bytes (a pair of them four).
constexpr size_t NAME_BUFFER_SIZE = 3 * MAX_NAME_LENGTH + 1;
// The length of a path as the system counts it: UTF-16 units for UTF-8,
// bytes in an ANSI code page.
size_t NameLength(const char* name);
// At most MAX_NAME_LENGTH: a path the system can open.
bool FitsNameLength(const char* name);

// First case-insensitive match of pattern (at most 260 bytes) in text,
// comparing single-byte characters without case and double-byte ones exactly.
const char* FindNoCase(const char* text, const char* pattern);

// Splits path at its last single-byte "\", "/" or ":" into the directory
// (with the separator) and the name. Both outputs are always terminated and
// cut to their sizes.
void SplitPath(const char* path, char* directory, char* name, size_t directory_size = 260,
               size_t name_size = 260);

// True when the path names a device rather than a file, read as Windows
// reads it:
// - exactly "\\?\" or "\??\" before it (backslashes only): passed on unread,
//   a file where it leads to a drive ("X:\"), a share ("UNC\") or a volume
//   ("Volume{"), else a device ("\\?\COM1", "\\?\pipe\x"); a file whatever
//   its last part ("\\?\C:\NUL.wav");
// - two slashes of either kind and "." or "?" and a slash: the device
//   namespace, "\\.\" always a device and "//?/" read as "\\?\" above;
// - two slashes and anything else: a share ("\\server\share\NUL.wav"), where
//   the system reads no device name;
// - any other path ("/??/C:/COM1" too: a forward slash makes "\??\" an
//   ordinary folder): a device when its last part's name before any extension
//   is CON, PRN, AUX, NUL, COM1..COM9, LPT1..LPT9, CONIN$ or CONOUT$ (any
//   case, with a drive or trailing blanks), and in UTF-8 names COM or LPT
//   followed by a superscript one, two or three, which Windows NT counts as
//   digits.
// Such a name opens the device: a recording into "NUL.WAV" would be lost, a
// read from a port or a pipe could block.
bool IsDeviceName(const char* path);

// Names as the program holds them on Windows NT: the system's UTF-16 in
// WTF-8, which is UTF-8 wherever the UTF-16 is well formed and keeps a
// surrogate without its partner (NTFS takes such names) as the three bytes
// of its own code point, so that every name the system hands over reaches it
// again unchanged. Bytes that are not WTF-8 become U+FFFD.
std::string Wtf8FromUtf16(const std::u16string& text);
std::u16string Utf16FromWtf8(const std::string& text);

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
