#include "base/text_rules.h"

#include <cstring>

#include "base/windows_version.h"

namespace {

CodePageBytes MakeShiftJis() {
  CodePageBytes bytes = {};
  for (int b = 0; b < 256; ++b) {
    bytes.lead[b] = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    bytes.trail[b] = (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
  }
  return bytes;
}

// Per process: the code page names are held in, the system's for the whole
// run (SetActiveCodePage at start-up; tests set others).
CodePageBytes active = MakeShiftJis();

// Whether the byte at index really leads a double-byte character: the run of
// possible lead bytes that ends at index has odd length.
bool IsRealLeadByte(const unsigned char* text, size_t index) {
  size_t run = 0;
  size_t k = index + 1;
  while (k > 0 && active.lead[text[k - 1]]) {
    ++run;
    --k;
  }
  return run % 2 == 1;
}

bool IsSeparator(unsigned char c) { return c == '\\' || c == '/' || c == ':'; }

unsigned char UpperSingle(unsigned char c) { return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 32) : c; }

void CopyCut(char* out, size_t out_size, const char* from, size_t length) {
  if (out_size == 0) return;
  if (length > out_size - 1) length = out_size - 1;
  memcpy(out, from, length);
  out[length] = '\0';
}

}  // namespace

CodePageBytes ShiftJisBytes() { return MakeShiftJis(); }

CodePageBytes SingleByteBytes() { return CodePageBytes{}; }

CodePageBytes Utf8Bytes() {
  CodePageBytes bytes = {};
  bytes.utf8 = true;
  return bytes;
}

void SetActiveCodePage(const CodePageBytes& bytes) { active = bytes; }

int CharTypeAt(const unsigned char* text, size_t index) {
  if (index > 0 && IsRealLeadByte(text, index - 1)) return active.trail[text[index]] ? 2 : -1;
  return active.lead[text[index]] ? 1 : 0;
}

size_t NameLength(const char* name) {
  if (!active.utf8) return strlen(name);
  size_t units = 0;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p; ++p) {
    if ((*p & 0xC0) == 0x80) continue;  // a continuation byte
    units += *p >= 0xF0 ? 2 : 1;         // beyond the first 65536 code points: a pair
  }
  return units;
}

bool FitsNameLength(const char* name) { return NameLength(name) <= MAX_NAME_LENGTH; }

const char* FindNoCase(const char* text, const char* pattern) {
  unsigned char upper[261];
  size_t pattern_length = strlen(pattern);
  if (pattern_length > 260) return nullptr;
  const unsigned char* raw_pattern = reinterpret_cast<const unsigned char*>(pattern);
  for (size_t j = 0; j < pattern_length; ++j)
    upper[j] = CharTypeAt(raw_pattern, j) == 0 ? UpperSingle(raw_pattern[j]) : raw_pattern[j];
  upper[pattern_length] = '\0';
  if (pattern_length == 0) return text;

  const unsigned char* raw_text = reinterpret_cast<const unsigned char*>(text);
  size_t text_length = strlen(text);
  size_t i = 0, j = 0;
  while (i < text_length && j < pattern_length) {
    int text_type = CharTypeAt(raw_text, i);
    unsigned char c = text_type == 0 ? UpperSingle(raw_text[i]) : raw_text[i];
    if (c == upper[j] && text_type == CharTypeAt(upper, j)) {
      ++i;
      ++j;
    } else {
      i = i - j + 1;
      j = 0;
    }
  }
  return j == pattern_length ? text + (i - j) : nullptr;
}

void SplitPath(const char* path, char* directory, char* name, size_t directory_size, size_t name_size) {
  size_t length = path ? strlen(path) : 0;
  const unsigned char* raw = reinterpret_cast<const unsigned char*>(path);
  size_t split = 0;  // bytes of the directory part
  for (size_t k = length; k > 0; --k) {
    if (IsSeparator(raw[k - 1]) && CharTypeAt(raw, k - 1) == 0) {
      split = k;
      break;
    }
  }
  CopyCut(directory, directory_size, path ? path : "", split);
  CopyCut(name, name_size, path ? path + split : "", length - split);
}

namespace {

bool IsSlash(char c) { return c == '\\' || c == '/'; }

bool StartsNoCase(const char* text, const char* prefix) {
  for (; *prefix; ++text, ++prefix) {
    if (UpperSingle(static_cast<unsigned char>(*text)) != UpperSingle(static_cast<unsigned char>(*prefix)))
      return false;
  }
  return true;
}

// What may follow "\\?\" in a path to a file: a drive's root, a share or a
// volume.
bool LeadsToFile(const char* rest) {
  const unsigned char letter = UpperSingle(static_cast<unsigned char>(rest[0]));
  if (letter >= 'A' && letter <= 'Z' && rest[1] == ':' && IsSlash(rest[2])) return true;
  return (StartsNoCase(rest, "UNC") && IsSlash(rest[3])) || StartsNoCase(rest, "Volume{");
}

}  // namespace

bool IsDeviceName(const char* path) {
  if (path == nullptr) return false;
  // Passed on unread: only these two prefixes exactly as written.
  if (strncmp(path, "\\\\?\\", 4) == 0 || strncmp(path, "\\??\\", 4) == 0) return !LeadsToFile(path + 4);
  if (IsSlash(path[0]) && IsSlash(path[1])) {
    const bool local_device = path[2] == '.' || path[2] == '?';
    // The namespace's own root ("\\." or "\\?") is no file either.
    if (local_device && path[3] == '\0') return true;
    // A share: no device name is read in it.
    if (!local_device || !IsSlash(path[3])) return false;
    return path[2] == '.' || !LeadsToFile(path + 4);
  }

  const unsigned char* raw = reinterpret_cast<const unsigned char*>(path);
  const size_t length = strlen(path);
  size_t start = 0;  // the last part, after the last real slash
  for (size_t k = 0; k < length; ++k) {
    if (IsSlash(path[k]) && CharTypeAt(raw, k) == 0) start = k + 1;
  }
  // A drive-relative name ("C:NUL").
  if (length - start >= 2 && path[start + 1] == ':' && UpperSingle(raw[start]) >= 'A' && UpperSingle(raw[start]) <= 'Z')
    start += 2;
  // The name before an extension or a colon ("COM1:"), without the blanks
  // the system drops from its end.
  size_t end = start;
  while (end < length && path[end] != '.' && path[end] != ':') ++end;
  while (end > start && path[end - 1] == ' ') --end;

  char name[8];
  const size_t name_length = end - start;
  if (name_length < 3 || name_length > 7) return false;
  for (size_t k = 0; k < name_length; ++k) name[k] = static_cast<char>(UpperSingle(raw[start + k]));
  name[name_length] = '\0';
  for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
    if (strcmp(name, device) == 0) return true;
  }
  const bool port = memcmp(name, "COM", 3) == 0 || memcmp(name, "LPT", 3) == 0;
  // COM0 and LPT0 are no devices.
  if (port && name_length == 4) return name[3] >= '1' && name[3] <= '9';
  // U+00B9, U+00B2 and U+00B3: digits to Windows NT, which alone holds names
  // in UTF-8 here.
  return port && name_length == 5 && active.utf8 && raw[start + 3] == 0xC2 &&
         (raw[start + 4] == 0xB9 || raw[start + 4] == 0xB2 || raw[start + 4] == 0xB3);
}

namespace {

void AppendUtf8(std::string& out, uint32_t code_point) {
  if (code_point < 0x80) {
    out += static_cast<char>(code_point);
  } else if (code_point < 0x800) {
    out += static_cast<char>(0xC0 | (code_point >> 6));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  } else if (code_point < 0x10000) {
    out += static_cast<char>(0xE0 | (code_point >> 12));
    out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code_point >> 18));
    out += static_cast<char>(0x80 | ((code_point >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  }
}

bool IsHighSurrogate(uint32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(uint32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

void AppendUtf16(std::u16string& out, uint32_t code_point) {
  if (code_point < 0x10000) {
    out += static_cast<char16_t>(code_point);
  } else {
    out += static_cast<char16_t>(0xD800 + ((code_point - 0x10000) >> 10));
    out += static_cast<char16_t>(0xDC00 + ((code_point - 0x10000) & 0x3FF));
  }
}

}  // namespace

std::string Wtf8FromUtf16(const std::u16string& text) {
  std::string out;
  out.reserve(text.size() * 3);
  for (size_t k = 0; k < text.size(); ++k) {
    const uint32_t unit = text[k];
    if (IsHighSurrogate(unit) && k + 1 < text.size() && IsLowSurrogate(text[k + 1])) {
      AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (text[k + 1] - 0xDC00u));
      ++k;
    } else {
      AppendUtf8(out, unit);  // a lone surrogate too, as its own code point
    }
  }
  return out;
}

std::u16string Utf16FromWtf8(const std::string& text) {
  std::u16string out;
  out.reserve(text.size());
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const size_t size = text.size();
  size_t k = 0;
  while (k < size) {
    const unsigned char lead = bytes[k];
    const size_t count = lead < 0x80 ? 1 : lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                                         : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
    uint32_t code_point = count == 1 ? lead : count == 2 ? lead & 0x1F : count == 3 ? lead & 0x0F : lead & 0x07;
    bool whole = count > 0 && k + count <= size;
    for (size_t j = 1; whole && j < count; ++j) {
      whole = (bytes[k + j] & 0xC0) == 0x80;
      code_point = (code_point << 6) | (bytes[k + j] & 0x3Fu);
    }
    // No overlong form and nothing past U+10FFFF. (The surrogates' own three
    // bytes are what WTF-8 adds to UTF-8.)
    static const uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    whole = whole && code_point >= kLeast[count] && code_point <= 0x10FFFF;
    if (!whole) {
      out += u'\xFFFD';
      ++k;
      continue;
    }
    AppendUtf16(out, code_point);
    k += count;
  }
  return out;
}

bool PadText(char* buffer, size_t size) {
  if (buffer == nullptr || size == 0) return true;
  size_t length = strnlen(buffer, size);
  bool fits = length < size;
  for (size_t k = length; k + 1 < size; ++k) buffer[k] = ' ';
  buffer[size - 1] = '\0';
  return fits;
}

std::string HelpFilePath(const std::string& module_path, unsigned windows_version) {
  if (windows_version < kWindows400) return "TAPEON.hlp";
  const char* match = FindNoCase(module_path.c_str(), ".EXE");
  if (match == nullptr) return "TAPEON.HLP";
  return module_path.substr(0, static_cast<size_t>(match - module_path.c_str())) + ".HLP";
}

std::string WindowTitle(const std::string& file_title, unsigned windows_version) {
  if (file_title.empty()) return "TAPEON";
  if (windows_version < kWindows395) return "TAPEON - " + file_title;
  return file_title + " - TAPEON";
}

int Brightness(int red, int green, int blue) { return (299 * red + 587 * green + 114 * blue) / 1000; }

bool IsDarkBackground(uint32_t text_rgb, uint32_t window_rgb) {
  // COLORREF layout: 0x00BBGGRR.
  auto brightness = [](uint32_t c) { return Brightness(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); };
  return brightness(text_rgb) >= brightness(window_rgb);
}
