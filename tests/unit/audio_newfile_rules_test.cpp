// The new-recording-file dialog's rules: names, browse start, time limit,
// free-space line and the format buttons.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "sound_files/disk_space.h"
#include "audio/newfile_rules.h"

namespace {

// A made-up file system: path -> kind; everything else does not exist.
struct FakeDisk {
  std::map<std::string, int> entries;
  int queries = 0;
};

int KindOn(const char* path, void* context) {
  auto* disk = static_cast<FakeDisk*>(context);
  ++disk->queries;
  auto found = disk->entries.find(path);
  return found == disk->entries.end() ? KIND_NONE : found->second;
}

struct Resolved {
  RecordNameResult result;
  std::string name;
};

Resolved Resolve(FakeDisk& disk, const std::string& typed, bool auto_extension) {
  char name[RECORD_NAME_SIZE];
  snprintf(name, sizeof name, "%s", typed.c_str());
  RecordNameResult result = ResolveRecordName(name, auto_extension, KindOn, &disk);
  return {result, name};
}

TEST(DialogsNewFile, NumberedNameTakesTheFirstFreeNumber) {
  FakeDisk disk;
  disk.entries = {{"T0.WAV", KIND_FILE}, {"T1.WAV", KIND_FILE}, {"rec\\T0.WAV", KIND_DIRECTORY}};
  char name[RECORD_NAME_SIZE] = "";
  EXPECT_TRUE(MakeNumberedName(name, sizeof name, KindOn, &disk));
  EXPECT_STREQ("T2.WAV", name);
  snprintf(name, sizeof name, "rec\\");
  EXPECT_TRUE(MakeNumberedName(name, sizeof name, KindOn, &disk));
  EXPECT_STREQ("rec\\T1.WAV", name);
  // A prefix that leaves no room for the number fails and stays as it was.
  std::string long_prefix(253, 'd');
  long_prefix += "\\";
  snprintf(name, sizeof name, "%s", long_prefix.c_str());
  EXPECT_FALSE(MakeNumberedName(name, sizeof name, KindOn, &disk));
  EXPECT_EQ(long_prefix, name);
}

TEST(DialogsNewFile, NumberedNameKeepsTheLastWhenAllAreTaken) {
  struct AllTaken {
    static int Kind(const char*, void* context) {
      ++*static_cast<int*>(context);
      return KIND_FILE;
    }
  };
  int queries = 0;
  char name[RECORD_NAME_SIZE] = "";
  EXPECT_TRUE(MakeNumberedName(name, sizeof name, AllTaken::Kind, &queries));
  EXPECT_STREQ("T65534.WAV", name);
  EXPECT_EQ(65535, queries);
}

TEST(DialogsNewFile, OkTurnsTypedNamesIntoFiles) {
  FakeDisk disk;
  disk.entries = {{"T0.WAV", KIND_FILE},         {"T1.WAV", KIND_FILE},     {"music", KIND_DIRECTORY},
                  {"music\\T0.WAV", KIND_FILE},  {"take2.WAV", KIND_FILE},  {"C:\\rec", KIND_DIRECTORY},
                  {"dir.WAV", KIND_DIRECTORY}};
  Resolved r = Resolve(disk, "", false);
  EXPECT_EQ("T2.WAV", r.name);
  EXPECT_EQ(KIND_NONE, r.result.kind);

  EXPECT_EQ("take1.WAV", Resolve(disk, "take1", true).name);
  EXPECT_EQ("take1.raw", Resolve(disk, "take1.raw", true).name);
  EXPECT_EQ("take1", Resolve(disk, "take1", false).name);
  // The dot of a directory does not count as the file's extension.
  EXPECT_EQ("my.dir\\take1.WAV", Resolve(disk, "my.dir\\take1", true).name);

  // An existing directory, typed with or without its separator: a fresh
  // numbered name inside, so no overwrite question.
  r = Resolve(disk, "music", true);
  EXPECT_EQ("music\\T1.WAV", r.name);
  EXPECT_EQ(KIND_NONE, r.result.kind);
  EXPECT_EQ("music\\T1.WAV", Resolve(disk, "music\\", false).name);
  EXPECT_EQ("C:\\rec\\T0.WAV", Resolve(disk, "C:\\rec", false).name);
  EXPECT_EQ("C:T0.WAV", Resolve(disk, "C:", false).name);  // ':' counts as a separator
  // Extension added, and the result is itself a directory.
  EXPECT_EQ("dir.WAV\\T0.WAV", Resolve(disk, "dir", true).name);

  // An existing file is reported for the overwrite question.
  r = Resolve(disk, "take2", true);
  EXPECT_EQ("take2.WAV", r.name);
  EXPECT_EQ(KIND_FILE, r.result.kind);
  EXPECT_EQ(RecordNameOutcome::READY, r.result.outcome);

  // A directory that does not exist stays a plain name; creating it fails later.
  r = Resolve(disk, "missing\\", false);
  EXPECT_EQ("missing\\T0.WAV", r.name);
  EXPECT_EQ(KIND_NONE, r.result.kind);
}

TEST(DialogsNewFile, PatternsOpenTheBrowseDialog) {
  FakeDisk disk;
  Resolved r = Resolve(disk, "C:\\rec\\*.wav", true);
  EXPECT_EQ(RecordNameOutcome::BROWSE, r.result.outcome);
  EXPECT_STREQ("C:\\rec", r.result.browse.directory);
  EXPECT_STREQ("*.wav", r.result.browse.file);
  r = Resolve(disk, "take?.wav", false);
  EXPECT_STREQ("", r.result.browse.directory);
  EXPECT_STREQ("take?.wav", r.result.browse.file);
  // A root keeps its separator, a drive its colon.
  EXPECT_STREQ("C:\\", Resolve(disk, "C:\\*.*", false).result.browse.directory);
  EXPECT_STREQ("\\", Resolve(disk, "\\*.wav", false).result.browse.directory);
  EXPECT_STREQ("D:", Resolve(disk, "D:*.wav", false).result.browse.directory);
  EXPECT_EQ(0, disk.queries);
}

TEST(DialogsNewFile, OverlongNamesAreRefusedNotCut) {
  FakeDisk disk;
  std::string name(256, 'n');
  EXPECT_EQ(RecordNameOutcome::TOO_LONG, Resolve(disk, name, true).result.outcome);
  EXPECT_EQ(RecordNameOutcome::READY, Resolve(disk, name, false).result.outcome);
  disk.entries[name] = KIND_DIRECTORY;
  EXPECT_EQ(RecordNameOutcome::TOO_LONG, Resolve(disk, name, false).result.outcome);
}

TEST(DialogsNewFile, SeparatorsCountOnlyAsSingleByteCharacters) {
  EXPECT_TRUE(EndsWithSeparator("C:\\rec\\"));
  EXPECT_TRUE(EndsWithSeparator("a/"));
  EXPECT_TRUE(EndsWithSeparator("A:"));
  EXPECT_FALSE(EndsWithSeparator(""));
  // "ソ" is 0x83 0x5C in Shift-JIS: its second byte looks like a backslash.
  EXPECT_FALSE(EndsWithSeparator("\x83\x5C"));
  EXPECT_TRUE(EndsWithSeparator("\x83\x5C\\"));
  EXPECT_TRUE(IsNamePattern("a*"));
  EXPECT_FALSE(IsNamePattern("a.wav"));
}

TEST(DialogsNewFile, BrowseButtonStartsInTheTypedDirectory) {
  BrowseStart start = BrowseStartForText("", KIND_NONE);
  EXPECT_STREQ("", start.directory);
  start = BrowseStartForText("C:\\rec\\", KIND_DIRECTORY);
  EXPECT_STREQ("C:\\rec", start.directory);
  EXPECT_STREQ("", start.file);
  EXPECT_STREQ("A:", BrowseStartForText("A:", KIND_NONE).directory);
  EXPECT_STREQ("C:\\music", BrowseStartForText("C:\\music", KIND_DIRECTORY).directory);
  start = BrowseStartForText("C:\\music\\take1.wav", KIND_FILE);
  EXPECT_STREQ("C:\\music", start.directory);
  EXPECT_STREQ("", start.file);
  start = BrowseStartForText("C:\\music\\*.wav", KIND_NONE);
  EXPECT_STREQ("*.wav", start.file);
}

TEST(DialogsNewFile, MinutesFieldTrimsAndRounds) {
  char text[32];
  FormatLimitMinutes(3600, text, sizeof text);
  EXPECT_STREQ("60", text);
  FormatLimitMinutes(90, text, sizeof text);
  EXPECT_STREQ("1.5", text);
  FormatLimitMinutes(0, text, sizeof text);
  EXPECT_STREQ("0", text);
  FormatLimitMinutes(36000, text, sizeof text);
  EXPECT_STREQ("600", text);
  FormatLimitMinutes(1, text, sizeof text);
  EXPECT_STREQ("0.017", text);
  FormatLimitMinutes(0xFFFFFFFFu, text, sizeof text);
  EXPECT_STREQ("71582788.25", text);

  EXPECT_EQ(90u, ParseLimitMinutes("1.5"));
  EXPECT_EQ(1u, ParseLimitMinutes("0.01"));
  EXPECT_EQ(3600u, ParseLimitMinutes("60"));
  EXPECT_EQ(0u, ParseLimitMinutes("abc"));
  EXPECT_EQ(0u, ParseLimitMinutes("-5"));
  EXPECT_EQ(0u, ParseLimitMinutes("nan"));
  EXPECT_EQ(0x7FFFFFFFu, ParseLimitMinutes("999999999999999"));
  EXPECT_EQ(0x7FFFFFFFu, ParseLimitMinutes("1e300"));
  EXPECT_EQ(0x7FFFFFFFu, ParseLimitMinutes("inf"));
  // Only 15 characters are read.
  EXPECT_EQ(60u, ParseLimitMinutes("000000000000001999"));
}

std::string FreeSpace(uint32_t bytes, uint32_t rate, int channels, int bits, bool japanese = false,
                      bool levelwarning = false) {
  char text[160];
  FormatFreeSpace('C', bytes, rate, channels, bits, japanese, levelwarning, text, sizeof text);
  return text;
}

TEST(DialogsNewFile, FreeSpaceLineInBothLanguages) {
  EXPECT_EQ("C:Drive free space 2097152.0 KB (12173.9 sec)", FreeSpace(0x80000000u, 44100, 2, 16));
  EXPECT_EQ("C:ドライブの残り容量 2097152.0 KB (約12173.9秒ぶん)", FreeSpace(0x80000000u, 44100, 2, 16, true));
  EXPECT_EQ("C:ドライブの残り容量 2097152点0 KB (約12173点9秒ぶん)",
            FreeSpace(0x80000000u, 44100, 2, 16, true, true));
  EXPECT_EQ("C:Drive free space 2097152.0 KB (12173.9 sec)", FreeSpace(0x80000000u, 44100, 2, 16, false, true));
  // A drive that reports nothing.
  EXPECT_EQ("C:Drive free space 0.0 KB (0.0 sec)", FreeSpace(0, 11025, 1, 8));
  // Formats that only a hand-edited settings file holds.
  EXPECT_EQ("C:Drive free space 1.0 KB", FreeSpace(1024, 44100, 0, 16));
  EXPECT_EQ("C:Drive free space 1.0 KB", FreeSpace(1024, 44100, 2, 4));
  EXPECT_EQ("C:Drive free space 1.0 KB", FreeSpace(1024, 0, 2, 16));
  EXPECT_EQ("C:ドライブの残り容量 1点0 KB", FreeSpace(1024, 44100, 0, 16, true, true));
  // A small buffer cuts the text but never a replaced point in half.
  char text[24];
  FormatFreeSpace('C', 1024, 44100, 0, 16, true, true, text, sizeof text);
  EXPECT_EQ(std::string("C:ドライブの残り容量 1"), text);
}

TEST(DialogsNewFile, DriveLetterComesFromTheTypedDriveOrTheCurrentDirectory) {
  EXPECT_EQ('D', FreeSpaceDriveLetter("D:", "C:\\work"));
  EXPECT_EQ('C', FreeSpaceDriveLetter("ta", "C:\\work"));
  EXPECT_EQ('C', FreeSpaceDriveLetter("", "C:\\work"));
  EXPECT_EQ('C', FreeSpaceDriveLetter("1:", "C:\\work"));
  EXPECT_EQ('?', FreeSpaceDriveLetter("", ""));
}

TEST(DialogsNewFile, DriveWithAClusterBeyondTheCapShowsTheCap) {
  // 65536 sectors of 65536 bytes: a 4 GB cluster, which wraps to 0 in 32 bits.
  DriveFigures f = ComputeDriveFigures(65536, 65536, 1, 1);
  EXPECT_EQ(f.cluster_bytes, DRIVE_BYTES_CAP);
  EXPECT_EQ(f.free_bytes, DRIVE_BYTES_CAP);
  EXPECT_EQ(f.disk_bytes, DRIVE_BYTES_CAP);
  f = ComputeDriveFigures(49152, 65536, 0, 1);  // one 3 GB cluster, none free
  EXPECT_EQ(f.free_bytes, 0u);
  EXPECT_EQ(f.disk_bytes, DRIVE_BYTES_CAP);
}

TEST(DialogsNewFile, FormatButtonsFollowTheInputDevice) {
  Settings settings;  // 44100 Hz, 2 channels, 16 bits
  FormatButtons buttons = FitFormatToDevice(0xFFF, settings);
  EXPECT_TRUE(buttons.channels_enabled && buttons.bits_enabled && buttons.frequency_enabled && buttons.rate44_enabled);
  EXPECT_EQ(2, buttons.checked_channels);
  EXPECT_EQ(16, buttons.checked_bits);
  EXPECT_EQ(44100u, buttons.checked_rate);

  // No 44 kHz formats: a saved 44100 becomes 22050 and "44kHz" is greyed.
  buttons = FitFormatToDevice(0x0FF, settings);
  EXPECT_EQ(22050u, settings.rec_freq);
  EXPECT_EQ(22050u, buttons.checked_rate);
  EXPECT_TRUE(buttons.frequency_enabled);
  EXPECT_FALSE(buttons.rate44_enabled);

  // Mono 8-bit 11 kHz only.
  settings = Settings();
  buttons = FitFormatToDevice(0x001, settings);
  EXPECT_EQ(1, settings.rec_channel);
  EXPECT_EQ(8, settings.rec_bits);
  EXPECT_EQ(11025u, settings.rec_freq);
  EXPECT_FALSE(buttons.channels_enabled || buttons.bits_enabled || buttons.frequency_enabled);
  EXPECT_EQ(1, buttons.checked_channels);
  EXPECT_EQ(8, buttons.checked_bits);
  EXPECT_EQ(11025u, buttons.checked_rate);

  // A command-line rate: no rate button stands for it.
  settings = Settings();
  settings.rec_freq = 48000;
  buttons = FitFormatToDevice(0xFFF, settings);
  EXPECT_EQ(48000u, settings.rec_freq);
  EXPECT_EQ(0u, buttons.checked_rate);
  EXPECT_FALSE(buttons.frequency_enabled);

  // Hand-edited channel and bit counts are kept and nothing is checked.
  settings = Settings();
  settings.rec_channel = 0;
  settings.rec_bits = 4;
  buttons = FitFormatToDevice(0xFFF, settings);
  EXPECT_EQ(0, buttons.checked_channels);
  EXPECT_EQ(0, buttons.checked_bits);
}

// Start-up and the dialog fit the format by the same rule: a device without
// 22 or 44 kHz formats turns a stored rate into 11025 Hz but keeps a rate the
// user typed on the command line (the device is asked when recording starts).
TEST(DialogsNewFile, DeviceFitKeepsATypedRate) {
  for (uint32_t device : {0x000u, 0x00Fu}) {
    Settings stored;
    FitFormatToDevice(device, stored);
    EXPECT_EQ(11025u, stored.rec_freq);
    Settings typed;
    typed.rec_freq = 48000;
    FitFormatToDevice(device, typed);
    EXPECT_EQ(48000u, typed.rec_freq);
    EXPECT_EQ(device ? 2 : 1, typed.rec_channel);
    EXPECT_EQ(device ? 16 : 8, typed.rec_bits);
  }
}

}  // namespace
