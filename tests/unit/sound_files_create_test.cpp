// Creating a recording file: the PCM record, the capacity left on the drive,
// the drive figures, and the texts of a refused input query.
#include <gtest/gtest.h>

#include "sound_files/disk_space.h"
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
  // More than 2 GB free shows 2097152.0 KB.
  f = ComputeDriveFigures(64, 512, 10000000, 20000000);
  EXPECT_DOUBLE_EQ(f.free_bytes / 1024.0, 2097152.0);
}

TEST(SoundFilesDiskSpace, ZeroClusterGivesNoRoomInsteadOfEndingTheProgram) {
  DriveFigures f = ComputeDriveFigures(0, 512, 1000, 2000);
  EXPECT_EQ(f.cluster_bytes, 0u);
  EXPECT_EQ(f.free_bytes, 0u);
  EXPECT_EQ(f.disk_bytes, 0u);
  EXPECT_EQ(RecordingCapacity(f.free_bytes, f.cluster_bytes), 0u);
}

}  // namespace
