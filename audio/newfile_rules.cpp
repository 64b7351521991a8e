#include "audio/newfile_rules.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/text_rules.h"
#include "resources/ja_dialogs.h"

namespace {

bool IsSeparatorByte(char c) { return c == '\\' || c == '/' || c == ':'; }

bool Append(char* buffer, size_t size, const char* tail) {
  size_t used = strlen(buffer), more = strlen(tail);
  if (used + more >= size) return false;
  memcpy(buffer + used, tail, more + 1);
  return true;
}

void CopyText(char* out, size_t size, const char* text) { snprintf(out, size, "%s", text); }

// A directory part without its last separator, except where that would
// change the place it names: a root ("\", "C:\") or a drive ("C:").
void StripDirectorySeparator(char* directory) {
  size_t length = strlen(directory);
  if (length == 0 || !EndsWithSeparator(directory)) return;
  if (directory[length - 1] == ':') return;
  if (length == 1) return;
  if (length == 3 && directory[1] == ':') return;
  directory[length - 1] = '\0';
}

bool LastPartHasDot(const char* name) {
  char directory[RECORD_NAME_SIZE], last[RECORD_NAME_SIZE];
  SplitPath(name, directory, last, sizeof directory, sizeof last);
  return strchr(last, '.') != nullptr;
}

}  // namespace

bool MakeNumberedName(char* buffer, size_t size, PathKindFn kind_of, void* context) {
  char prefix[RECORD_NAME_SIZE];
  CopyText(prefix, sizeof prefix, buffer);
  for (unsigned n = 0; n <= 65534; ++n) {
    int length = snprintf(buffer, size, "%sT%u.WAV", prefix, n);
    if (length < 0 || static_cast<size_t>(length) >= size || !FitsNameLength(buffer)) {
      CopyText(buffer, size, prefix);
      return false;
    }
    if (kind_of(buffer, context) == KIND_NONE) break;
  }
  return true;
}

bool IsNamePattern(const char* name) { return strpbrk(name, "?*") != nullptr; }

bool EndsWithSeparator(const char* name) {
  size_t length = strlen(name);
  return length > 0 && IsSeparatorByte(name[length - 1]) && CharTypeAt(name, length - 1) == 0;
}

BrowseStart BrowseStartForPattern(const char* pattern) {
  BrowseStart start;
  SplitPath(pattern, start.directory, start.file, sizeof start.directory, sizeof start.file);
  StripDirectorySeparator(start.directory);
  return start;
}

BrowseStart BrowseStartForText(const char* text, int kind) {
  BrowseStart start{};
  if (text[0] == '\0') return start;
  if (IsNamePattern(text)) return BrowseStartForPattern(text);
  if (EndsWithSeparator(text) || kind == KIND_DIRECTORY) {
    CopyText(start.directory, sizeof start.directory, text);
  } else {
    char name[RECORD_NAME_SIZE];
    SplitPath(text, start.directory, name, sizeof start.directory, sizeof name);
  }
  StripDirectorySeparator(start.directory);
  return start;
}

RecordNameResult ResolveRecordName(char* name, bool auto_extension, PathKindFn kind_of, void* context) {
  RecordNameResult result{RecordNameOutcome::READY, KIND_NONE, {}};
  if (name[0] != '\0' && IsNamePattern(name)) {
    result.outcome = RecordNameOutcome::BROWSE;
    result.browse = BrowseStartForPattern(name);
    return result;
  }
  if (name[0] == '\0' || EndsWithSeparator(name)) {
    if (!MakeNumberedName(name, RECORD_NAME_SIZE, kind_of, context)) result.outcome = RecordNameOutcome::TOO_LONG;
  }
  while (result.outcome == RecordNameOutcome::READY) {
    result.kind = kind_of(name, context);
    if (result.kind == KIND_DIRECTORY) {
      if (!Append(name, RECORD_NAME_SIZE, "\\") || !MakeNumberedName(name, RECORD_NAME_SIZE, kind_of, context))
        result.outcome = RecordNameOutcome::TOO_LONG;
    } else if (auto_extension && !LastPartHasDot(name)) {
      if (!Append(name, RECORD_NAME_SIZE, ".WAV")) result.outcome = RecordNameOutcome::TOO_LONG;
    } else {
      break;
    }
  }
  if (result.outcome == RecordNameOutcome::READY && !FitsNameLength(name)) result.outcome = RecordNameOutcome::TOO_LONG;
  return result;
}

void FormatLimitMinutes(uint32_t end_time, char* out, size_t size) {
  snprintf(out, size, "%.3f", end_time / 60.0);
  char* point = strchr(out, '.');
  if (!point) return;
  char* end = out + strlen(out);
  while (end > point + 1 && end[-1] == '0') *--end = '\0';
  if (end == point + 1) *point = '\0';
}

uint32_t ParseLimitMinutes(const char* text) {
  char digits[16] = {};
  strncpy(digits, text ? text : "", 15);
  double minutes = strtod(digits, nullptr);
  if (!(minutes > 0.0)) return 0;  // also catches "nan"
  double seconds = minutes * 60.0 + 0.5;
  if (seconds >= 2147483647.0) return 0x7FFFFFFF;
  return static_cast<uint32_t>(seconds);
}

char FreeSpaceDriveLetter(const char* record_drive, const char* current_directory) {
  if (record_drive[0] != '\0' && record_drive[1] == ':' && isalpha(static_cast<unsigned char>(record_drive[0])))
    return record_drive[0];
  return current_directory[0] != '\0' ? current_directory[0] : '?';
}

void FormatFreeSpace(char drive, uint32_t free_bytes, uint32_t rec_freq, int rec_channel, int rec_bits,
                     bool japanese, bool levelwarning, char* out, size_t size) {
  char text[128];
  double kilobytes = free_bytes / 1024.0;
  if (!IsUsableRecordingFormat(rec_freq, rec_channel, rec_bits)) {
    // A hand-edited format: the seconds cannot be computed, the space can.
    snprintf(text, sizeof text, japanese ? ja::kFreeSpaceOnlyFormat : "%c:Drive free space %.1f KB", drive,
             kilobytes);
  } else {
    double seconds = static_cast<double>(free_bytes) / rec_freq / rec_channel / (rec_bits / 8);
    snprintf(text, sizeof text, japanese ? ja::kFreeSpaceFormat : "%c:Drive free space %.1f KB (%.1f sec)", drive,
             kilobytes, seconds);
  }
  if (!(japanese && levelwarning)) {
    CopyText(out, size, text);
    return;
  }
  // A point is never the second byte of a double-byte character.
  size_t used = 0;
  const size_t point_length = strlen(ja::kPoint);
  for (const char* p = text; *p && size > 0; ++p) {
    const char* piece = *p == '.' ? ja::kPoint : p;
    size_t length = *p == '.' ? point_length : 1;
    if (used + length >= size) break;
    memcpy(out + used, piece, length);
    used += length;
  }
  if (size > 0) out[used] = '\0';
}

namespace {

// A pair of buttons for a larger and a smaller value: a device that takes the
// larger one gets both enabled and the setting checked (neither button when
// the setting is neither value); any other device gets the smaller value.
void FitButtonPair(bool device_takes_larger, int16_t larger, int16_t smaller, int16_t& setting, bool& enabled,
                   int& checked) {
  if (device_takes_larger) {
    enabled = true;
    checked = setting == larger || setting == smaller ? setting : 0;
  } else {
    setting = smaller;
    checked = smaller;
  }
}

}  // namespace

FormatButtons FitFormatToDevice(uint32_t input_formats, RecordingSettings& recording) {
  FormatButtons buttons{};
  FitButtonPair((input_formats & FORMATS_STEREO) != 0, 2, 1, recording.rec_channel, buttons.channels_enabled,
                buttons.checked_channels);
  FitButtonPair((input_formats & FORMATS_16BIT) != 0, 16, 8, recording.rec_bits, buttons.bits_enabled,
                buttons.checked_bits);
  uint32_t& rate = recording.rec_freq;
  if (!IsStoredRecordingRate(rate)) {
    // A rate from the command line: none of the buttons stands for it.
  } else if (!(input_formats & FORMATS_22K_OR_44K)) {
    rate = 11025;
    buttons.checked_rate = rate;
  } else if (!(input_formats & FORMATS_44K)) {
    if (rate == 44100) rate = 22050;
    buttons.frequency_enabled = true;
    buttons.checked_rate = rate;
  } else {
    buttons.frequency_enabled = true;
    buttons.rate44_enabled = true;
    buttons.checked_rate = rate;
  }
  return buttons;
}
