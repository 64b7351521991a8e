// Rules of the new-recording-file dialog that need no window: the numbered
// default name, the way a typed name becomes the file to create, the start of
// the browse dialog, the time-limit field, the free-space line and the
// recording format offered by the input device.
#pragma once
#include <cstddef>
#include <cstdint>

#include "base/settings.h"
#include "base/text_rules.h"

// A typed name and the file made of it: any path the system takes.
constexpr size_t RECORD_NAME_SIZE = NAME_BUFFER_SIZE;

// What lies at a path: 0 nothing, 1 a directory, 2 a file.
constexpr int KIND_NONE = 0;
constexpr int KIND_DIRECTORY = 1;
constexpr int KIND_FILE = 2;
using PathKindFn = int (*)(const char* path, void* context);

// buffer holds a prefix (a directory ending in a separator, or nothing); it
// becomes prefix + "T<n>.WAV" for the first n of 0..65534 where nothing of
// that name exists (the last name tried when all exist). False, with the
// buffer unchanged, when the name does not fit into size bytes or is longer
// than a path may be.
bool MakeNumberedName(char* buffer, size_t size, PathKindFn kind_of, void* context);

// True for a name holding "?" or "*".
bool IsNamePattern(const char* name);
// True when the last character is a single-byte "\", "/" or ":".
bool EndsWithSeparator(const char* name);

// Where the browse dialog starts.
struct BrowseStart {
  char directory[RECORD_NAME_SIZE];
  char file[RECORD_NAME_SIZE];
};
// For a pattern: its directory (without the trailing separator, except for a
// root) and its name.
BrowseStart BrowseStartForPattern(const char* pattern);
// For the Browse button: the typed text and what exists at it.
BrowseStart BrowseStartForText(const char* text, int kind);

// How OK turns the typed name into the file to create.
enum class RecordNameOutcome {
  READY,     // name holds the file to create; kind says what exists there
  BROWSE,    // a pattern: open the browse dialog at browse
  TOO_LONG,  // longer than a path may be (FitsNameLength)
};
struct RecordNameResult {
  RecordNameOutcome outcome;
  int kind;
  BrowseStart browse;
};
// name (RECORD_NAME_SIZE bytes) is the typed text on entry and the file to
// create on return. An empty name or a directory gets the first free
// T<n>.WAV; with auto_extension a name without a dot in its last part gets
// ".WAV".
RecordNameResult ResolveRecordName(char* name, bool auto_extension, PathKindFn kind_of, void* context);

// The minutes field: EndTime / 60 with "%.3f", trailing zeros and then a
// trailing point removed (3600 -> "60", 90 -> "1.5").
void FormatLimitMinutes(uint32_t end_time, char* out, size_t size);
// Seconds of the minutes typed (at most 15 characters), to the nearest
// second. Text that is no number gives 0; negative numbers give 0 and huge
// ones 0x7FFFFFFF.
uint32_t ParseLimitMinutes(const char* text);

// The drive letter of the free-space line: that of record_drive when it is
// a letter and ":", else the first character of the current directory.
char FreeSpaceDriveLetter(const char* record_drive, const char* current_directory);
// "C:Drive free space 2097152.0 KB (12173.9 sec)"; in Japanese with the level
// report on, every point becomes "点". A format with no rate, no channels or
// fewer than 8 bits leaves out the seconds.
void FormatFreeSpace(char drive, uint32_t free_bytes, uint32_t rec_freq, int rec_channel, int rec_bits,
                     bool japanese, bool levelwarning, char* out, size_t size);

// Format bits of the input device.
constexpr uint32_t FORMATS_STEREO = 0xAAA;
constexpr uint32_t FORMATS_16BIT = 0xCCC;
constexpr uint32_t FORMATS_22K_OR_44K = 0xFF0;
constexpr uint32_t FORMATS_44K = 0xF00;

// Which recording-format buttons the dialog opens with, after the format in
// settings has been fitted to what the input device offers.
struct FormatButtons {
  bool channels_enabled;   // group and both channel buttons
  bool bits_enabled;       // group and both bit buttons
  bool frequency_enabled;  // group and the three rate buttons
  bool rate44_enabled;     // "44kHz" alone
  int checked_channels;    // 2, 1, or 0 for none
  int checked_bits;        // 16, 8, or 0 for none
  uint32_t checked_rate;   // 44100, 22050, 11025, or 0 for none
};
// The one rule that fits the recording format to the input device, at
// start-up and when the dialog opens: without a stereo format mono, without a
// 16-bit format 8 bits, without 22 or 44 kHz formats 11025 Hz, without 44 kHz
// formats 22050 Hz for 44100. A rate no button stands for (typed on the
// command line) is kept: the device's format bits speak only of 11, 22 and
// 44 kHz, and the device itself is asked when the recording starts.
FormatButtons FitFormatToDevice(uint32_t input_formats, RecordingSettings& recording);

// What the "New file for recording" dialog shows and what the user chose.
struct RecordChoice {
  RecordingSettings recording;            // the format and the time limit
  int AutoExtention = 0;
  char file_name[RECORD_NAME_SIZE] = {};  // chosen: the full path of the file created
  // Shown, not chosen: the input device's format bits and the level report
  // switch (which, in Japanese, changes the points of the free-space line).
  uint32_t input_formats = 0;
  int levelwarning = 1;
};
