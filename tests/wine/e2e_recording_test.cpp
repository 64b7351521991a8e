// End-to-end tests of recording: the host plays a signal into the sound
// server's null sink while TAPEON records its monitor. The signals say where
// every sample belongs, so a gap, a repeat or a reordering at a buffer
// boundary shows in the file. The signal is started well before the
// recording: a new stream makes the null sink's monitor skip or repeat a few
// hundred milliseconds.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "driver.h"
#include "engine_signal.h"
#include "meter/level_report.h"
#include "resources/ja_audio.h"
#include "resources/resource_ids.h"

using namespace e2e;
using namespace engine_test;

namespace {

constexpr DWORD kSignalLead = 1500;          // ms of signal before recording starts
constexpr uint32_t kSignalFrames = 44100 * 60;

class Recording : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!SoundSession()) GTEST_SKIP() << "no sound devices in this run";
  }

  // Plays the index ramp (or the 8-bit staircase) into the sink.
  void StartSignal(bool stair = false) {
    const std::string signal = dir_.File("signal.wav");
    ASSERT_TRUE(stair ? WriteStairWave(signal, kSignalFrames) : WriteRampWave(signal, kSignalFrames));
    player_ = std::make_unique<HostScript>(dir_, "signal", PlayCommand(signal));
    ASSERT_TRUE(player_->started());
    Sleep(kSignalLead);
    ASSERT_FALSE(player_->Done()) << "paplay ended at once";
  }

  // Opens the New dialog and prepares a 44.1 kHz 16-bit stereo recording into
  // `path`, with a time limit in minutes when `limit` is not empty.
  void PrepareWithDialog(Tapeon& app, const std::string& path, const std::string& limit = "") {
    ASSERT_TRUE(app.PostCommand(IDM_NEW));
    HWND dialog = app.WaitForDialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(SetControlText(dialog, IDC_NEW_NAME, path));
    SetCheck(dialog, IDC_NEW_44K, true);
    SetCheck(dialog, IDC_NEW_STEREO, true);
    SetCheck(dialog, IDC_NEW_16BIT, true);
    if (limit.empty()) {
      SetCheck(dialog, IDC_NEW_LIMIT_NO, true);
    } else {
      SetCheck(dialog, IDC_NEW_LIMIT_YES, true);
      ASSERT_TRUE(SetControlText(dialog, IDC_NEW_MINUTES, limit));
    }
    ASSERT_TRUE(PressButton(dialog, IDOK));
    ASSERT_TRUE(app.WaitForNoDialog());
    ASSERT_TRUE(WaitUntil([&] { return app.ButtonEnabled(IDM_START) && app.ButtonText(IDM_START) == RecText(); }));
  }

  // The recording's header is the program's canonical 44 bytes for the format.
  static void ExpectHeader(const Wave& w, uint16_t channels, uint16_t bits) {
    EXPECT_EQ(w.fmt_size, 16u);
    EXPECT_EQ(w.tag, 1);
    EXPECT_EQ(w.channels, channels);
    EXPECT_EQ(w.rate, 44100u);
    EXPECT_EQ(w.block_align, channels * bits / 8);
    EXPECT_EQ(w.byte_rate, 44100u * channels * bits / 8);
    EXPECT_EQ(w.bits, bits);
    EXPECT_EQ(w.data_offset, 44u);
    EXPECT_EQ(w.data_size % w.block_align, 0u) << "data must be whole frames";
    const uint32_t pad = w.data_size & 1;
    EXPECT_EQ(w.bytes.size(), 44u + w.data_size + pad);
    EXPECT_EQ(w.riff_size, w.bytes.size() - 8);
  }

  static void ExpectContinuousRamp(const Wave& w) {
    std::vector<long> indices = RampIndices(w.data(), w.data_size);
    std::vector<Break> breaks = RampBreaks(indices);
    for (size_t k = 0; k < breaks.size() && k < 5; ++k)
      ADD_FAILURE() << "ramp broken at frame " << breaks[k].at << ": " << breaks[k].before << " -> "
                    << breaks[k].after;
    EXPECT_TRUE(breaks.empty()) << breaks.size() << " breaks in " << indices.size() << " frames";
  }

  void RecordAndCheck(bool on_memory, bool stereo16) {
    ASSERT_TRUE(WriteSettings(dir_, {{"OnMem", on_memory ? "1" : "0"}, {"levelwarning", "0"}}));
    ASSERT_NO_FATAL_FAILURE(StartSignal(!stereo16));
    const std::string path = dir_.File("rec.wav");
    auto app = Launch(dir_, path + (stereo16 ? " /R/S/H/44" : " /R/M/O/44"));
    ASSERT_NE(app->main_window(), nullptr);
    ASSERT_TRUE(WaitUntil([&] { return app->ButtonEnabled(IDM_STOP); }, 5000)) << "recording did not start";
    Sleep(4000);
    ASSERT_TRUE(app->PostCommand(IDM_STOP));
    ASSERT_TRUE(WaitForIdle(*app, PlayText())) << "recording did not end as the current file for playing";
    EXPECT_EQ(app->CloseAndWait(), std::optional<DWORD>(0));

    std::optional<Wave> w = ReadWave(path);
    ASSERT_TRUE(w);
    ExpectHeader(*w, stereo16 ? 2 : 1, stereo16 ? 16 : 8);
    const uint32_t bytes_per_second = stereo16 ? 176400 : 44100;
    EXPECT_GT(w->data_size, 3u * bytes_per_second);
    EXPECT_LT(w->data_size, 7u * bytes_per_second);
    if (stereo16) {
      ExpectContinuousRamp(*w);
    } else {
      std::vector<size_t> breaks = StairBreaks(w->data(), w->data_size);
      for (size_t k = 0; k < breaks.size() && k < 5; ++k) ADD_FAILURE() << "staircase broken at " << breaks[k];
      EXPECT_TRUE(breaks.empty());
    }
  }

  TempDir dir_;
  std::unique_ptr<HostScript> player_;
};

TEST_F(Recording, StreamingStereo16IsTheSignal) { RecordAndCheck(false, true); }
TEST_F(Recording, StreamingMono8IsTheSignal) { RecordAndCheck(false, false); }
TEST_F(Recording, OnMemoryStereo16IsTheSignal) { RecordAndCheck(true, true); }
TEST_F(Recording, OnMemoryMono8IsTheSignal) { RecordAndCheck(true, false); }

// Pausing writes the buffer that comes back first (what was recorded before
// the pause) and then nothing until Cont; the file is one jump in the ramp.
class RecordingPause : public Recording, public ::testing::WithParamInterface<bool> {};

TEST_P(RecordingPause, WritesNothingUntilCont) {
  const bool on_memory = GetParam();
  ASSERT_TRUE(WriteSettings(dir_, {{"OnMem", on_memory ? "1" : "0"}, {"levelwarning", "0"}}));
  ASSERT_NO_FATAL_FAILURE(StartSignal());
  const std::string path = dir_.File("rec.wav");
  auto app = Launch(dir_, path + " /R/S/H/44");
  ASSERT_TRUE(WaitUntil([&] { return app->ButtonEnabled(IDM_STOP); }, 5000));
  // A streaming file grows buffer by buffer; an on-memory one only at the pause.
  if (!on_memory) {
    ASSERT_TRUE(WaitUntil([&] { return FileSize(path) >= 44 + 3 * 65536; }, 10000));
  }
  Sleep(on_memory ? 3000 : 200);
  const long long size_at_pause = FileSize(path);
  ASSERT_TRUE(app->PostCommand(IDM_PAUSE));
  ASSERT_TRUE(WaitUntil([&] { return app->ButtonText(IDM_PAUSE) == "Cont"; }, 5000));
  Sleep(500);
  const long long paused_size = FileSize(path);
  Sleep(2000);
  EXPECT_EQ(FileSize(path), paused_size) << "nothing may be written while paused";
  EXPECT_GE(paused_size, size_at_pause);
  EXPECT_GT(paused_size, 44 + 65536) << "the audio before the pause must be in the file";
  ASSERT_TRUE(app->PostCommand(IDM_PAUSE));
  ASSERT_TRUE(WaitUntil([&] { return app->ButtonText(IDM_PAUSE) == "Pause"; }, 5000));
  Sleep(2000);
  ASSERT_TRUE(app->PostCommand(IDM_STOP));
  ASSERT_TRUE(WaitForIdle(*app, PlayText()));
  EXPECT_EQ(app->CloseAndWait(), std::optional<DWORD>(0));

  std::optional<Wave> w = ReadWave(path);
  ASSERT_TRUE(w);
  ExpectHeader(*w, 2, 16);
  std::vector<Break> breaks = RampBreaks(RampIndices(w->data(), w->data_size));
  std::string seen;
  for (const Break& b : breaks)
    seen += " [frame " + std::to_string(b.at) + ": " + std::to_string(b.before) + " -> " + std::to_string(b.after) + "]";
  ASSERT_EQ(breaks.size(), 1u) << "one jump over the paused time, nothing else:" << seen;
  const long skipped = breaks[0].after - breaks[0].before - 1;
  EXPECT_GT(skipped, 44100 * 2) << "the paused time (2.5 s) is not in the file";
  EXPECT_LT(skipped, 44100 * 4);
  EXPECT_EQ(breaks[0].at, static_cast<size_t>(paused_size - 44) / 4)
      << "everything written up to the pause is one stretch, and the jump is the pause";
}

INSTANTIATE_TEST_SUITE_P(Modes, RecordingPause, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "OnMemory" : "Streaming";
                         });

TEST_F(Recording, StandbyWritesNothingUntilCont) {
  ASSERT_TRUE(WriteSettings(dir_, {{"OnMem", "0"}, {"levelwarning", "0"}}));
  ASSERT_NO_FATAL_FAILURE(StartSignal());
  const std::string path = dir_.File("standby.wav");
  auto app = Launch(dir_, "");
  ASSERT_NO_FATAL_FAILURE(PrepareWithDialog(*app, path));
  ASSERT_TRUE(app->PostCommand(IDM_PAUSE));  // start on standby
  ASSERT_TRUE(WaitUntil([&] { return app->ButtonText(IDM_PAUSE) == "Cont" && app->ButtonEnabled(IDM_STOP); }, 5000));
  EXPECT_FALSE(app->ButtonEnabled(IDM_START));
  Sleep(2000);
  EXPECT_EQ(FileSize(path), 44) << "standby writes nothing";
  ASSERT_TRUE(app->PostCommand(IDM_PAUSE));
  ASSERT_TRUE(WaitUntil([&] { return app->ButtonText(IDM_PAUSE) == "Pause"; }, 5000));
  Sleep(2000);
  ASSERT_TRUE(app->PostCommand(IDM_STOP));
  ASSERT_TRUE(WaitForIdle(*app, PlayText()));
  EXPECT_EQ(app->CloseAndWait(), std::optional<DWORD>(0));

  std::optional<Wave> w = ReadWave(path);
  ASSERT_TRUE(w);
  ExpectHeader(*w, 2, 16);
  EXPECT_GT(w->data_size, 176400u);
  EXPECT_LT(w->data_size, 176400u * 3) << "nothing of the standby time is in the file";
  ExpectContinuousRamp(*w);
}

TEST_F(Recording, StopDuringStandbyRemovesTheEmptyFile) {
  ASSERT_TRUE(WriteSettings(dir_, {{"OnMem", "0"}, {"levelwarning", "0"}}));
  const std::string path = dir_.File("empty.wav");
  auto app = Launch(dir_, "");
  ASSERT_NO_FATAL_FAILURE(PrepareWithDialog(*app, path));
  ASSERT_TRUE(FileExists(path));
  ASSERT_TRUE(app->PostCommand(IDM_PAUSE));
  ASSERT_TRUE(WaitUntil([&] { return app->ButtonText(IDM_PAUSE) == "Cont" && app->ButtonEnabled(IDM_STOP); }, 5000));
  Sleep(1000);
  ASSERT_TRUE(app->PostCommand(IDM_STOP));
  ASSERT_TRUE(WaitForIdle(*app, RecText()));
  EXPECT_EQ(app->ButtonText(IDM_PAUSE), "Pause");
  EXPECT_TRUE(app->ButtonEnabled(IDM_PAUSE)) << "a new standby start stays possible";
  EXPECT_FALSE(FileExists(path));
  EXPECT_EQ(app->CloseAndWait(), std::optional<DWORD>(0));
}

TEST_F(Recording, TimeLimitPausesAndMovesOn) {
  ASSERT_TRUE(WriteSettings(dir_, {{"OnMem", "0"}, {"levelwarning", "0"}}));
  ASSERT_NO_FATAL_FAILURE(StartSignal());
  const std::string path = dir_.File("limit.wav");
  auto app = Launch(dir_, "");
  ASSERT_NO_FATAL_FAILURE(PrepareWithDialog(*app, path, "0.05"));  // 3 seconds
  ASSERT_TRUE(app->PostCommand(IDM_START));
  ASSERT_TRUE(WaitUntil([&] { return app->ButtonEnabled(IDM_STOP); }, 5000));
  ASSERT_TRUE(WaitUntil([&] { return app->ButtonText(IDM_PAUSE) == "Cont"; }, 10000)) << "the limit did not pause";
  Sleep(300);
  const long long first = FileSize(path) - 44;
  EXPECT_GE(first, 3 * 176400);
  EXPECT_LT(first, 3 * 176400 + 2 * 65536);
  ASSERT_TRUE(app->PostCommand(IDM_PAUSE));
  ASSERT_TRUE(WaitUntil([&] { return app->ButtonText(IDM_PAUSE) == "Pause"; }, 5000));
  ASSERT_TRUE(WaitUntil([&] { return app->ButtonText(IDM_PAUSE) == "Cont"; }, 10000)) << "the next limit is 6 s";
  Sleep(300);
  const long long second = FileSize(path) - 44;
  EXPECT_GE(second, 6 * 176400);
  EXPECT_LT(second, 6 * 176400 + 2 * 65536);
  ASSERT_TRUE(app->PostCommand(IDM_STOP));
  ASSERT_TRUE(WaitForIdle(*app, PlayText()));
  EXPECT_EQ(app->CloseAndWait(), std::optional<DWORD>(0));
}

TEST_F(Recording, TimeLimitWithRecordOptionStopsAndExits) {
  ASSERT_TRUE(WriteSettings(dir_, {{"OnMem", "0"}, {"levelwarning", "0"}}));
  ASSERT_NO_FATAL_FAILURE(StartSignal());
  const std::string path = dir_.File("limit.wav");
  auto app = Launch(dir_, path + " /R/S/H/44/T0.05");
  ASSERT_TRUE(app->WaitForExit(15000)) << "TAPEON must end at the limit";
  EXPECT_EQ(app->ExitCode(), 0u);
  std::optional<Wave> w = ReadWave(path);
  ASSERT_TRUE(w);
  ExpectHeader(*w, 2, 16);
  EXPECT_GE(w->data_size, 3u * 176400);
  EXPECT_LT(w->data_size, 3u * 176400 + 3 * 65536);
  ExpectContinuousRamp(*w);
}

TEST_F(Recording, FullMemoryBlockEndsTheRunWithTheReport) {
  ASSERT_TRUE(WriteSettings(dir_, {{"OnMem", "1"}, {"MemSize", "2"}, {"levelwarning", "1"}}));
  ASSERT_NO_FATAL_FAILURE(StartSignal());
  const std::string path = dir_.File("full.wav");
  auto app = Launch(dir_, path + " /R/S/H/44");
  ASSERT_TRUE(WaitUntil([&] { return app->ButtonEnabled(IDM_STOP); }, 5000));
  // 2 MB last 11.9 s; the run ends by itself and reports the level.
  std::optional<MessageBoxInfo> report = app->AnswerMessageBox(IDOK, 25000);
  ASSERT_TRUE(report) << "no level report at the end of the run";
  LevelReport expected = ComposeLevelReport(kRampBase + kRampPeriod - 1, 0, 3, 1, JapaneseSession());
  EXPECT_EQ(report->caption, expected.caption);
  EXPECT_EQ(report->text, expected.text);
  ASSERT_TRUE(WaitForIdle(*app, PlayText()));
  EXPECT_EQ(app->CloseAndWait(), std::optional<DWORD>(0));

  std::optional<Wave> w = ReadWave(path);
  ASSERT_TRUE(w);
  ExpectHeader(*w, 2, 16);
  EXPECT_EQ(w->data_size, 2u * 1048576);
  ExpectContinuousRamp(*w);
}

TEST_F(Recording, KilledStreamingRecordingIsRepairedWithEveryWholeBlock) {
  ASSERT_TRUE(WriteSettings(dir_, {{"OnMem", "0"}, {"levelwarning", "0"}}));
  ASSERT_NO_FATAL_FAILURE(StartSignal());
  const std::string path = dir_.File("killed.wav");
  {
    auto app = Launch(dir_, path + " /R/S/H/44");
    ASSERT_TRUE(WaitUntil([&] { return app->ButtonEnabled(IDM_STOP); }, 5000));
    Sleep(3000);
    ASSERT_TRUE(TerminateProcess(app->process(), 9));
    ASSERT_TRUE(app->WaitForExit());
  }
  const long long size = FileSize(path);
  ASSERT_GT(size, 44 + 2 * 65536);
  {
    std::optional<Wave> before = ReadWave(path);
    ASSERT_TRUE(before);
    EXPECT_EQ(before->riff_size, 0u) << "the killed recording never closed its chunks";
  }

  auto app = Launch(dir_, path);
  std::optional<MessageBoxInfo> offer = app->AnswerMessageBox(IDYES);
  ASSERT_TRUE(offer) << "the damaged file must be offered for repair";
  EXPECT_EQ(offer->text, Pick("File destroyed. Recover?", "WAVEファイルが壊れています。\n修復を試みますか？"));
  ASSERT_TRUE(WaitForIdle(*app, PlayText()));
  EXPECT_EQ(app->CloseAndWait(), std::optional<DWORD>(0));

  std::optional<Wave> w = ReadWave(path);
  ASSERT_TRUE(w);
  EXPECT_EQ(w->data_size, static_cast<uint32_t>((size - 44) / 4 * 4));
  EXPECT_EQ(w->riff_size, 36u + w->data_size);
  EXPECT_GE(w->data_size, 2u * 65536);
  ExpectContinuousRamp(*w);
}

// A small file system mounted for the test and given a drive letter, so a
// recording can fill it. Needs the host's mount (root); skipped without it.
class RecordingDiskFull : public Recording {
 protected:
  void TearDown() override {
    if (letter_ == 0) return;
    HostScript unmount(dir_, "unmount",
                       std::string("rm -f \"$WINEPREFIX/dosdevices/") + static_cast<char>(tolower(letter_)) +
                           ":\"; umount '" + HostPath(mount_) + "'");
    unmount.Wait(10000);
  }

  // Mounts `kilobytes` of tmpfs with `filler` bytes taken; returns the drive root.
  std::string MountSmallDrive(int kilobytes, long filler) {
    DWORD used = GetLogicalDrives();
    char letter = 0;
    for (char c = 'Q'; c <= 'Y' && !letter; ++c)
      if (!(used & (1u << (c - 'A')))) letter = c;
    if (!letter) return "";
    mount_ = dir_.File("small");
    CreateDirectoryA(mount_.c_str(), nullptr);
    const std::string where = HostPath(mount_);
    HostScript mount(dir_, "mount",
                     "mount -t tmpfs -o size=" + std::to_string(kilobytes) + "k tmpfs '" + where +
                         "' && head -c " + std::to_string(filler) + " /dev/zero > '" + where +
                         "/filler' && ln -sfn '" + where + "' \"$WINEPREFIX/dosdevices/" +
                         static_cast<char>(tolower(letter)) + ":\"");
    if (!mount.Wait(10000) || mount.Status() != 0) return "";
    letter_ = letter;
    return std::string(1, letter) + ":\\";
  }

  void RecordUntilFull(bool on_memory) {
    const std::string root = on_memory ? MountSmallDrive(1024, 0) : MountSmallDrive(3072, 1800 * 1024);
    if (root.empty()) GTEST_SKIP() << "cannot mount a small file system here";
    ULARGE_INTEGER free_bytes{};
    ASSERT_TRUE(GetDiskFreeSpaceExA(root.c_str(), &free_bytes, nullptr, nullptr)) << root;
    ASSERT_LT(free_bytes.QuadPart, 2u * 1048576);

    ASSERT_TRUE(WriteSettings(dir_, {{"OnMem", "0"}, {"levelwarning", "0"}}));
    ASSERT_NO_FATAL_FAILURE(StartSignal());
    const std::string path = root + "full.wav";
    auto app = Launch(dir_, path + " /R/S/H/44");
    ASSERT_TRUE(WaitUntil([&] { return app->ButtonEnabled(IDM_STOP); }, 5000));
    if (on_memory) {
      // The memory block is sized to the free space at the start; something
      // else takes part of it before the block is written.
      HostScript take(dir_, "take", "head -c 307200 /dev/zero > '" + HostPath(mount_) + "/taken'");
      ASSERT_TRUE(take.Wait(10000));
    }
    std::optional<MessageBoxInfo> box = app->AnswerMessageBox(IDOK, 20000);
    ASSERT_TRUE(box) << "no message when the drive was full";
    EXPECT_EQ(box->text, Pick("Disk Full or I/O Error!\nRecording Stop.", ja::audio::kDiskFull));
    EXPECT_TRUE(box->has_icon);
    ASSERT_TRUE(WaitForIdle(*app, PlayText())) << "the recording must become the current file";

    std::optional<Wave> w = ReadWave(path);
    ASSERT_TRUE(w);
    ExpectHeader(*w, 2, 16);
    EXPECT_GT(w->data_size, 500000u);
    ExpectContinuousRamp(*w);

    // The file opens and plays.
    ASSERT_TRUE(app->PostCommand(IDM_START));
    EXPECT_TRUE(WaitUntil([&] { return app->ButtonEnabled(IDM_STOP); }, 5000)) << "the full file does not play";
    EXPECT_TRUE(app->Dialogs().empty());
    ASSERT_TRUE(app->PostCommand(IDM_STOP));
    ASSERT_TRUE(WaitForIdle(*app, PlayText()));
    EXPECT_EQ(app->CloseAndWait(), std::optional<DWORD>(0));
  }

  std::string mount_;
  char letter_ = 0;
};

TEST_F(RecordingDiskFull, StreamingKeepsEverySampleWritten) { RecordUntilFull(false); }
TEST_F(RecordingDiskFull, OnMemoryKeepsEverySampleWritten) { RecordUntilFull(true); }

}  // namespace
