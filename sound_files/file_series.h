// The names of a recording that goes on past the size a WAVE file can hold:
// TAKE.WAV, then TAKE (2).WAV, TAKE (3).WAV, ... in the same folder (the
// pattern Windows itself gives a second copy). Portable, and written over any
// character type, so the rule is the same for narrow and wide names.
#pragma once
#include <string>

#include "base/text_rules.h"

namespace series_detail {
// Where the last part of a path begins: after its last "\", "/" or ":".
template <typename Char>
size_t NameStart(const std::basic_string<Char>& path) {
  const Char separators[] = {Char('\\'), Char('/'), Char(':'), Char(0)};
  const size_t part = path.find_last_of(separators);
  return part == std::basic_string<Char>::npos ? 0 : part + 1;
}
// A narrow name is in the system's code page: only a single-byte "\" counts
// (in Shift-JIS the second byte of a character may be one).
inline size_t NameStart(const std::string& path) {
  size_t start = 0;
  for (size_t i = 0; i < path.size(); ++i) {
    const char c = path[i];
    if ((c == '\\' || c == '/' || c == ':') && CharTypeAt(path.c_str(), i) == 0) start = i + 1;
  }
  return start;
}
}  // namespace series_detail

// The name of the file with this number (2 or more) in the series that
// begins with `first`: " (number)" goes before the extension of the last
// part of the path, or at its end when that part has none. A leading dot
// (".WAV") is a name, not an extension. A dot is never the second byte of a
// double-byte character.
template <typename Char>
std::basic_string<Char> SeriesFileName(const std::basic_string<Char>& first, unsigned number) {
  const size_t name_start = series_detail::NameStart(first);
  size_t dot = first.rfind(Char('.'));
  if (dot == std::basic_string<Char>::npos || dot <= name_start) dot = first.size();
  std::basic_string<Char> suffix;
  suffix += Char(' ');
  suffix += Char('(');
  for (const char digit : std::to_string(number)) suffix += Char(digit);
  suffix += Char(')');
  return first.substr(0, dot) + suffix + first.substr(dot);
}

// The next name of the series after the file numbered `number` (1: the first
// file), skipping every name `taken(name)` says exists; `number` becomes the
// new file's. Empty after kMaxSeriesFiles numbers (no free name, or a `taken`
// that fails for every name).
constexpr unsigned kMaxSeriesFiles = 9999;
template <typename Char, typename Taken>
std::basic_string<Char> NextFreeSeriesName(const std::basic_string<Char>& first, unsigned& number, Taken taken) {
  while (number < kMaxSeriesFiles) {
    ++number;
    std::basic_string<Char> name = SeriesFileName(first, number);
    if (!taken(name)) return name;
  }
  return {};
}

// The numbers a series' names are judged up to when its first name is chosen
// (99 files are two weeks of CD stereo): a name whose next files could not
// be made is refused then, not when its first file is full hours later.
constexpr unsigned kSeriesNumbersChecked = 99;
// The longest last part of a path the file systems take (NTFS, and FAT's long
// names): 255 UTF-16 units.
constexpr size_t MAX_NAME_PART_LENGTH = 255;
// True when the series that begins with `first` (a full path in the name
// code page) has names the system takes up to " (99)": the whole path within
// MAX_NAME_LENGTH and its last part within MAX_NAME_PART_LENGTH.
inline bool SeriesNamesFit(const std::string& first) {
  const std::string last = SeriesFileName(first, kSeriesNumbersChecked);
  return last.size() < NAME_BUFFER_SIZE && FitsNameLength(last.c_str()) &&
         NameLength(last.c_str() + series_detail::NameStart(last)) <= MAX_NAME_PART_LENGTH;
}

// The numbered files of an earlier series that begins with `first`, numbers 2
// to kSeriesNumbersChecked, as `exists(name)` finds them: how many there are,
// and the name of the lowest-numbered one in `lowest`.
template <typename Exists>
unsigned EarlierSeriesFiles(const std::string& first, Exists exists, std::string& lowest) {
  unsigned found = 0;
  for (unsigned number = 2; number <= kSeriesNumbersChecked; ++number) {
    const std::string name = SeriesFileName(first, number);
    if (!exists(name)) continue;
    if (found++ == 0) lowest = name;
  }
  return found;
}
