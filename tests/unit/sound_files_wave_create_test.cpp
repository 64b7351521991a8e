// Creating a recording file: the PCM record, the capacity left on the drive,
// the drive figures, and the texts of a refused input query.
#include <gtest/gtest.h>

#include "sound_files/disk_space.h"

#include <set>

#include "sound_files/file_series.h"
#include "sound_files/sound_file_open.h"
#include "resources/resource_ids.h"
#include "sound_files/wave_create.h"
#include "tests/unit/sound_files_test_bytes.h"

namespace {

TEST(SoundFilesCreate, RecordingFormatBytes) {
  EXPECT_EQ(MakeRecordingFormat(44100, 2, 16),
            (Bytes{0x01, 0x00, 0x02, 0x00, 0x44, 0xAC, 0x00, 0x00, 0x10, 0xB1, 0x02, 0x00, 0x04, 0x00, 0x10, 0x00}));
  RecordFields r = Fields(MakeRecordingFormat(11025, 1, 8) + Bytes{0, 0});
  EXPECT_EQ(r.tag, 1);
  EXPECT_EQ(r.channels, 1);
  EXPECT_EQ(r.rate, 11025u);
  EXPECT_EQ(r.avg, 11025u);
  EXPECT_EQ(r.align, 1);
  EXPECT_EQ(r.bits, 8);
  // Values only a hand-edited settings file holds give a record no device takes.
  EXPECT_EQ(Fields(MakeRecordingFormat(22050, 2, 4) + Bytes{0, 0}).align, 0);
}

// The header a growing recording keeps: a WAVE file of what it holds.
TEST(SoundFilesCreate, HeaderOfARecordingUnderWay) {
  const Bytes record = MakeRecordingFormat(44100, 2, 16);
  const Bytes data = Pattern(65536);
  const Bytes file = MakeRecordingHeader(record, 65536) + data;
  EXPECT_EQ(file, WaveFile(record, data));
  MemoryRiffFile riff(file.data(), file.size());
  SoundFileIdentity id = IdentifySoundFile(riff);
  ASSERT_EQ(id.failure, OpenFailure::NONE);
  uint32_t data_total = 0;
  EXPECT_EQ(LocateSoundData(riff, id, data_total), OpenFailure::NONE);
  EXPECT_EQ(data_total, 65536u);
  // Odd 8-bit data: no pad byte yet, the RIFF size counts what is there.
  EXPECT_EQ(GetU32(MakeRecordingHeader(MakeRecordingFormat(11025, 1, 8), 3), 4), 39u);
  EXPECT_EQ(GetU32(MakeRecordingHeader(record, 0xFFFFFFF0u), 4), 0xFFFFFFFFu);
}

// TAKE.WAV, TAKE (2).WAV, ...: before the extension of the last part, in the
// same folder, with any character type; names that exist are passed over.
TEST(SoundFilesSeries, NamesOfTheNextFiles) {
  EXPECT_EQ(SeriesFileName(std::string("C:\\rec\\TAKE.WAV"), 2), "C:\\rec\\TAKE (2).WAV");
  EXPECT_EQ(SeriesFileName(std::string("C:\\rec.d\\TAKE"), 10), "C:\\rec.d\\TAKE (10)");
  EXPECT_EQ(SeriesFileName(std::string("night.take.wav"), 3), "night.take (3).wav");
  EXPECT_EQ(SeriesFileName(std::string("D:/a/.WAV"), 2), "D:/a/.WAV (2)");
  EXPECT_EQ(SeriesFileName(std::string("C:TAKE.WAV"), 2), "C:TAKE (2).WAV");
  // Shift-JIS "ソ" ends in the byte of "\\": the extension is still found.
  EXPECT_EQ(SeriesFileName(std::string("C:\\\x83\x5C.WAV"), 2), "C:\\\x83\x5C (2).WAV");
  EXPECT_EQ(SeriesFileName(std::wstring(L"C:\\録音\\TAKE.WAV"), 2), L"C:\\録音\\TAKE (2).WAV");

  std::set<std::string> taken = {"TAKE (2).WAV", "TAKE (3).WAV", "TAKE (5).WAV"};
  auto exists = [&](const std::string& name) { return taken.count(name) != 0; };
  unsigned number = 1;
  EXPECT_EQ(NextFreeSeriesName(std::string("TAKE.WAV"), number, exists), "TAKE (4).WAV");
  EXPECT_EQ(number, 4u);
  EXPECT_EQ(NextFreeSeriesName(std::string("TAKE.WAV"), number, exists), "TAKE (6).WAV");
  number = 1;
  EXPECT_EQ(NextFreeSeriesName(std::string("TAKE.WAV"), number, [](const std::string&) { return true; }), "");
  EXPECT_EQ(number, kMaxSeriesFiles);

  // Numbered files of an earlier series: counted up to " (99)", the lowest
  // named.
  taken = {"TAKE (5).WAV", "TAKE (3).WAV", "TAKE (99).WAV", "TAKE (100).WAV", "TAKE.WAV"};
  std::string lowest;
  EXPECT_EQ(EarlierSeriesFiles("TAKE.WAV", exists, lowest), 3u);
  EXPECT_EQ(lowest, "TAKE (3).WAV");
  EXPECT_EQ(EarlierSeriesFiles("OTHER.WAV", exists, lowest), 0u);
}

// A name is judged by its 99th file when it is chosen: the whole path within
// 259 UTF-16 units, its last part within 255.
TEST(SoundFilesSeries, NamesFitUpToTheNinetyNinthFile) {
  SetActiveCodePage(Utf8Bytes());
  auto path_of = [](size_t units, const std::string& unit) {
    std::string path = "C:\\";
    while (path.size() < 100) path += "d\\";
    for (size_t n = path.size() + 4; n < units; ++n) path += unit;
    return path + ".WAV";
  };
  EXPECT_TRUE(SeriesNamesFit(path_of(254, "n")));   // "... (99).WAV": 259
  EXPECT_FALSE(SeriesNamesFit(path_of(255, "n")));  // 260
  EXPECT_FALSE(SeriesNamesFit(path_of(259, "n")));  // fits alone, not its series
  // Counted in UTF-16 units, not bytes: a Korean syllable is one unit.
  EXPECT_TRUE(SeriesNamesFit(path_of(254, "\xEA\xB0\x80")));
  EXPECT_FALSE(SeriesNamesFit(path_of(255, "\xEA\xB0\x80")));
  // The last part: 250 units of it give " (99)" 255, 251 give 256.
  EXPECT_TRUE(SeriesNamesFit("C:\\" + std::string(246, 'n') + ".WAV"));
  EXPECT_FALSE(SeriesNamesFit("C:\\" + std::string(247, 'n') + ".WAV"));
  SetActiveCodePage(ShiftJisBytes());  // the default of every other test
}

TEST(SoundFilesCreate, CapacityIsFreeBytesPlusAClusterMinusTheHeader) {
  EXPECT_EQ(RecordingCapacity(1000000, 4096), 1000000u + 4096 - 44);
  EXPECT_EQ(RecordingCapacity(DRIVE_BYTES_CAP, 32768), DRIVE_BYTES_CAP + 32768 - 44);
  EXPECT_EQ(RecordingCapacity(0, 0), 0u);
  EXPECT_EQ(RecordingCapacity(40, 4), 0u);
  EXPECT_EQ(RecordingCapacity(41, 4), 1u);
  EXPECT_EQ(RecordingCapacity(0xFFFFFFFFu, 0xFFFFFFFFu), 0xFFFFFFFFu);
}

TEST(SoundFilesCreate, InputQueryTexts) {
  struct Case {
    unsigned result;
    const char* english;
    const char* japanese;
  } cases[] = {
      {2, "bad id", "デバイスIDがおかしい"},
      {4, "allocated", "すでに割り当てられている"},
      {6, "no driver", "ドライバが無い"},
      {7, "nomem", "メモリの割り当て等ができない"},
      {35, "err_sync", "WAVE_ALLOWSYNCを指定してない"},
      {1, "? error ?", "不明なエラー"},
      {33, "? error ?", "不明なエラー"},
  };
  for (const Case& c : cases) {
    FailureText text = RecordQueryFailureText(c.result);
    EXPECT_EQ(text.english_id, -1) << c.result;
    EXPECT_STREQ(text.english, c.english);
    EXPECT_STREQ(text.japanese, c.japanese);
  }
  FailureText bad_format = RecordQueryFailureText(32);
  EXPECT_EQ(bad_format.english_id, IDS_NO_SUPPORT);
  EXPECT_STREQ(bad_format.japanese, "サウンドドライバは、この形式を録音できません。");
}

TEST(SoundFilesDiskSpace, RootOfThePath) {
  EXPECT_EQ(DiskRootFor(true, "D:\\music\\take.wav", 0x400, "C:\\work"), "D:\\");
  EXPECT_EQ(DiskRootFor(true, "take.wav", 0x400, "C:\\work\\tapes"), "C:\\");
  EXPECT_EQ(DiskRootFor(false, "", 0x40A, "E:\\"), "E:\\");
  EXPECT_EQ(DiskRootFor(true, "\\\\server\\share\\a.wav", 0x400, "\\\\server\\share"), "\\\\server\\share");
  // Older systems get the path itself; no path means the current drive.
  EXPECT_EQ(DiskRootFor(true, "D:\\music\\take.wav", 0x30A, "C:\\"), "D:\\music\\take.wav");
  EXPECT_EQ(DiskRootFor(false, "", 0x35F, "C:\\"), "");
}

TEST(SoundFilesDiskSpace, FiguresAreCappedAtTwoGigabytes) {
  // 4 KB clusters: 2^31 / 4096 = 524288 clusters is the limit.
  DriveFigures f = ComputeDriveFigures(8, 512, 524288, 524289);
  EXPECT_EQ(f.cluster_bytes, 4096u);
  EXPECT_EQ(f.free_bytes, DRIVE_BYTES_CAP);
  EXPECT_EQ(f.disk_bytes, DRIVE_BYTES_CAP);
  f = ComputeDriveFigures(8, 512, 1000, 0xFFFFFFFFu);
  EXPECT_EQ(f.free_bytes, 4096000u);
  EXPECT_EQ(f.disk_bytes, DRIVE_BYTES_CAP);
  // More than 2 GB free shows 2097152.0 KB; the room itself is kept.
  f = ComputeDriveFigures(64, 512, 10000000, 20000000);
  EXPECT_DOUBLE_EQ(f.free_bytes / 1024.0, 2097152.0);
  EXPECT_EQ(f.free_room, 327680000000u);
  EXPECT_EQ(ComputeDriveFigures(128, 512, 0xFFFFFFFFu, 0xFFFFFFFFu).free_room, 0xFFFFFFFFull * 65536);
}

TEST(SoundFilesDiskSpace, ZeroClusterGivesNoRoomInsteadOfEndingTheProgram) {
  DriveFigures f = ComputeDriveFigures(0, 512, 1000, 2000);
  EXPECT_EQ(f.cluster_bytes, 0u);
  EXPECT_EQ(f.free_bytes, 0u);
  EXPECT_EQ(f.disk_bytes, 0u);
  EXPECT_EQ(RecordingCapacity(f.free_bytes, f.cluster_bytes), 0u);
}

}  // namespace
