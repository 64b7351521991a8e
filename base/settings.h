// The user's persisted choices (section "TAPEON" of TAPEON.INI) and the rules
// for reading and writing them. Portable: the profile calls live in
// settings_win32.cpp, which hands each key's text to these routines.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// What the Option dialog changes: the meter, its timing, on-memory operation
// and the level report. The dialog hands them back as one record.
struct OptionSettings {
  int smooth = 0;
  int monochrome = 0;
  int PeakHold = 1;
  uint32_t deltatime = 4096;
  int OnMem = 0;
  int MemSize = 15;
  int display = 1;
  int levelwarning = 1;
};

// What the New dialog chooses besides the file's name: the recording format
// and the time limit. The dialog hands them back as one record.
struct RecordingSettings {
  int16_t rec_bits = 16;
  int16_t rec_channel = 2;
  uint32_t rec_freq = 44100;
  uint32_t EndTime = 3600;
  uint32_t time_limit = 0;  // "seigen": EndTime when switched on, else 0
};

struct Settings : OptionSettings, RecordingSettings {
  int dialog3d = 1;
  int AutoExtention = 0;

  // The parts the dialogs show and change, each as a whole.
  OptionSettings& options() { return *this; }
  const OptionSettings& options() const { return *this; }
  RecordingSettings& recording() { return *this; }
  const RecordingSettings& recording() const { return *this; }
};

// Looks up the text of a key; returns the default text when the key is missing.
// The caller gives at most 31 characters of each value (a 32-byte buffer).
using SettingsLookup = std::string (*)(const char* key, const char* default_text, void* context);

// Fills settings from the key texts, in the order and with the conversions of
// the settings file, and corrects MemSize and freq. "dialog3d" is read only
// from Windows 3.95 on.
void ParseSettings(Settings& settings, unsigned windows_version, SettingsLookup lookup, void* context);

// MemSize into 2..255 megabytes, 2..15 on Windows 3.11 and earlier.
void ClampMemSize(OptionSettings& settings, unsigned windows_version);

// The key/text pairs written at exit, in writing order.
std::vector<std::pair<std::string, std::string>> SettingsToWrite(const Settings& settings, unsigned windows_version);

// 11025, 22050 and 44100 are the only rates kept in the file.
bool IsStoredRecordingRate(uint32_t rate);

// A recording format whose byte counts can be worked out: a rate, channels
// and at least 8 bits. Only a hand-edited settings file holds another.
bool IsUsableRecordingFormat(uint32_t rec_freq, int rec_channel, int rec_bits);
