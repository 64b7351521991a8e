// End-to-end tests of the engine with bad input: settings that cannot be run,
// formats without a block size or byte rate, files that shrink, disappear or
// claim more data than they hold, an MP3 that turns to garbage. Each gets a
// message or a refusal at its start, leaves device and file closed and the
// window usable, and never ends the program or damages a file.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "driver.h"
#include "engine_signal.h"
#include "resources/ja_audio.h"
#include "resources/resource_ids.h"

using namespace e2e;
using namespace engine_test;

namespace {

constexpr long kRate = 44100;

class EngineBadInput : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!SoundSession()) GTEST_SKIP() << "no sound devices in this run";
  }

  // The program is idle with this start button text, alive, and ends cleanly.
  static void ExpectUsableAndClose(Tapeon& app, const std::string& start_text) {
    EXPECT_TRUE(WaitForIdle(app, start_text, kTimeoutMs)) << "the window must be idle after the refusal";
    EXPECT_FALSE(app.Exited());
    EXPECT_TRUE(app.Dialogs().empty());
    EXPECT_EQ(app.CloseAndWait(), std::optional<DWORD>(0));
  }

  TempDir dir_;
};

// Too short buffers cannot be kept up with; too long ones (67108864 asked
// for four buffers of 1 GiB) hold memory and the time limit for nothing.
TEST_F(EngineBadInput, DeltatimeOutOfRangeRefusesPlayback) {
  const std::string file = dir_.File("ramp.wav");
  ASSERT_TRUE(WriteRampWave(file, kRate));
  for (const char* deltatime : {"4", "67108864"}) {
    SCOPED_TRACE(std::string("deltatime ") + deltatime);
    ASSERT_TRUE(WriteSettings(dir_, {{"deltatime", deltatime}, {"levelwarning", "0"}}));
    auto app = Launch(dir_, file);
    ASSERT_TRUE(app->PostCommand(IDM_START));
    std::optional<MessageBoxInfo> box = app->AnswerMessageBox(IDOK, kTimeoutMs);
    ASSERT_TRUE(box) << "the run must be refused with a message";
    EXPECT_EQ(box->text, Pick(en::audio::kBadDeltatime, ja::audio::kBadDeltatime));
    ExpectUsableAndClose(*app, PlayText());
  }
}

TEST_F(EngineBadInput, TooShortDeltatimeRefusesRecordingAndLeavesNoFile) {
  ASSERT_TRUE(WriteSettings(dir_, {{"deltatime", "7"}, {"levelwarning", "0"}}));
  const std::string path = dir_.File("rec.wav");
  auto app = Launch(dir_, path + " /R/S/H/44");
  std::optional<MessageBoxInfo> box = app->AnswerMessageBox(IDOK, kTimeoutMs);
  ASSERT_TRUE(box);
  EXPECT_EQ(box->text, Pick(en::audio::kBadDeltatime, ja::audio::kBadDeltatime));
  EXPECT_TRUE(WaitForIdle(*app, RecText(), kTimeoutMs));
  EXPECT_FALSE(FileExists(path)) << "the empty recording file is removed";
  EXPECT_EQ(app->CloseAndWait(), std::optional<DWORD>(0));
}

// Channel counts and bit depths the settings file can hold but no recording
// can use: whatever the device says, the program stays and no file is broken.
class EngineBadRecordingFormat : public EngineBadInput,
                                 public ::testing::WithParamInterface<std::pair<const char*, const char*>> {};

TEST_P(EngineBadRecordingFormat, NeverEndsTheProgramNorBreaksTheFile) {
  const auto [channel, bits] = GetParam();
  ASSERT_TRUE(WriteSettings(dir_, {{"channel", channel}, {"bits", bits}, {"freq", "44100"}, {"levelwarning", "0"}}));
  const std::string path = dir_.File("rec.wav");
  auto app = Launch(dir_, path + " /R");
  ASSERT_NE(app->main_window(), nullptr);
  Sleep(1500);
  for (int round = 0; round < 5 && !app->Dialogs().empty(); ++round) app->AnswerMessageBox(IDOK, 2000);
  if (app->ButtonEnabled(IDM_STOP)) {  // the device took the format after all
    Sleep(1000);
    ASSERT_TRUE(app->PostCommand(IDM_STOP));
    EXPECT_TRUE(WaitUntil([&] { return !app->ButtonEnabled(IDM_STOP); }, kTimeoutMs));
  }
  EXPECT_FALSE(app->Exited());
  EXPECT_EQ(app->CloseAndWait(), std::optional<DWORD>(0));
  if (FileSize(path) > 44) {
    std::optional<Wave> w = ReadWave(path);
    ASSERT_TRUE(w) << "a recording that ran must be a readable WAVE file";
    ASSERT_GT(w->block_align, 0);
    EXPECT_EQ(w->data_size % w->block_align, 0u);
    EXPECT_EQ(w->riff_size, w->bytes.size() - 8);
  }
}

INSTANTIATE_TEST_SUITE_P(Settings, EngineBadRecordingFormat,
                         ::testing::Values(std::make_pair("0", "16"), std::make_pair("5", "16"),
                                           std::make_pair("2", "4")),
                         [](const auto& info) {
                           return std::string("Channels") + info.param.first + "Bits" + info.param.second;
                         });

// Formats whose block size is 0 cannot be cut into buffers. (A byte rate of 0
// can: buffers are then sized from the sample rate, and the device decides.)
class EngineBadPlayFormat : public EngineBadInput,
                            public ::testing::WithParamInterface<std::tuple<int, int, int>> {};

TEST_P(EngineBadPlayFormat, IsRefusedWithAMessage) {
  const auto [tag, block_align, byte_rate] = GetParam();
  ASSERT_TRUE(WriteSettings(dir_, {{"levelwarning", "0"}}));
  const std::string file = dir_.File("bad.wav");
  std::string bytes = Header(static_cast<uint16_t>(tag), 2, 44100, 16, 176400, static_cast<uint16_t>(block_align),
                             static_cast<uint32_t>(byte_rate));
  bytes.append(176400, '\x10');
  ASSERT_TRUE(WriteFileBytes(file, bytes));
  auto app = Launch(dir_, file + " /P");
  std::optional<MessageBoxInfo> box = app->AnswerMessageBox(IDOK, kTimeoutMs);
  ASSERT_TRUE(box) << "the file must be refused with a message";
  for (int round = 0; round < 3 && !app->Dialogs().empty(); ++round) app->AnswerMessageBox(IDOK, 2000);
  Sleep(500);
  EXPECT_FALSE(app->Exited()) << "a refused file does not end the program";
  EXPECT_FALSE(app->ButtonEnabled(IDM_STOP));
  // Start again: the same refusal, nothing else.
  if (app->ButtonEnabled(IDM_START)) {
    ASSERT_TRUE(app->PostCommand(IDM_START));
    EXPECT_TRUE(app->AnswerMessageBox(IDOK, kTimeoutMs));
  }
  EXPECT_FALSE(app->ButtonEnabled(IDM_STOP));
  EXPECT_EQ(app->CloseAndWait(), std::optional<DWORD>(0));
  EXPECT_EQ(ReadFileBytes(file), std::optional<std::string>(bytes)) << "the file is never written";
}

INSTANTIATE_TEST_SUITE_P(Formats, EngineBadPlayFormat,
                         ::testing::Values(std::make_tuple(1, 0, 176400), std::make_tuple(113, 0, 8000)),
                         [](const auto& info) {
                           return "Tag" + std::to_string(std::get<0>(info.param)) + "Align" +
                                  std::to_string(std::get<1>(info.param)) + "Rate" +
                                  std::to_string(std::get<2>(info.param));
                         });

// A data chunk that claims 10 s in a file of 2 s.
std::string ClaimsMoreThanItHolds() {
  std::string bytes = PcmHeader(2, 44100, 16, 10 * 176400);
  for (uint32_t i = 0; i < 2 * kRate; ++i) {
    int16_t l, r;
    RampFrame(i, l, r);
    bytes.append(reinterpret_cast<const char*>(&l), 2);
    bytes.append(reinterpret_cast<const char*>(&r), 2);
  }
  return bytes;
}

class EngineBadFile : public EngineBadInput, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    EngineBadInput::SetUp();
    ASSERT_TRUE(WriteSettings(dir_, {{"OnMem", GetParam() ? "1" : "0"}, {"levelwarning", "0"}}));
  }
};

TEST_P(EngineBadFile, DataChunkLongerThanTheFilePlaysWhatIsThere) {
  const std::string file = dir_.File("long.wav");
  ASSERT_TRUE(WriteFileBytes(file, ClaimsMoreThanItHolds()));
  auto app = Launch(dir_, file + " /P");
  EXPECT_TRUE(app->WaitForExit(kTimeoutMs)) << "the run must end where the file ends";
  EXPECT_EQ(app->ExitCode(), 0u);
}

TEST_P(EngineBadFile, FileThatShrinksBeforeTheStartIsReported) {
  const std::string file = dir_.File("shrinks.wav");
  ASSERT_TRUE(WriteRampWave(file, 4 * kRate));
  auto app = Launch(dir_, file);  // opened, not started
  ASSERT_TRUE(WaitUntil([&] { return app->ButtonEnabled(IDM_START); }, kTimeoutMs));
  HostScript cut(dir_, "cut", "truncate -s 1000 '" + HostPath(file) + "'");
  ASSERT_TRUE(cut.Wait(kTimeoutMs));
  ASSERT_TRUE(app->PostCommand(IDM_START));
  std::optional<MessageBoxInfo> box = app->AnswerMessageBox(IDOK, kTimeoutMs);
  ASSERT_TRUE(box);
  // The first block: one buffer streaming, the whole data on memory.
  const std::string numbers = GetParam() ? "0 705600" : "0 65536";
  EXPECT_EQ(box->text, Pick("can't read data. " + numbers, "データチャンクを読み取れません。" + numbers));
  ExpectUsableAndClose(*app, PlayText());
}

INSTANTIATE_TEST_SUITE_P(Modes, EngineBadFile, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "OnMemory" : "Streaming";
                         });

TEST_F(EngineBadInput, FileThatShrinksWhilePlayingEndsTheRun) {
  ASSERT_TRUE(WriteSettings(dir_, {{"OnMem", "0"}, {"levelwarning", "0"}}));
  const std::string file = dir_.File("shrinks.wav");
  ASSERT_TRUE(WriteRampWave(file, 10 * kRate));
  auto app = Launch(dir_, file);
  ASSERT_TRUE(app->PostCommand(IDM_START));
  ASSERT_TRUE(WaitUntil([&] { return app->ButtonEnabled(IDM_STOP); }, kTimeoutMs));
  HostScript cut(dir_, "cut", "truncate -s 600000 '" + HostPath(file) + "'");
  ASSERT_TRUE(cut.Wait(kTimeoutMs));
  EXPECT_TRUE(WaitForIdle(*app, PlayText(), kTimeoutMs)) << "the run must end where the file now ends";
  ExpectUsableAndClose(*app, PlayText());
}

TEST_F(EngineBadInput, FileThatDisappearedIsReportedAtTheStart) {
  ASSERT_TRUE(WriteSettings(dir_, {{"OnMem", "0"}, {"levelwarning", "0"}}));
  const std::string file = dir_.File("gone.wav");
  ASSERT_TRUE(WriteRampWave(file, kRate / 2));
  auto app = Launch(dir_, file);
  ASSERT_TRUE(app->PostCommand(IDM_START));
  ASSERT_TRUE(WaitUntil([&] { return app->ButtonEnabled(IDM_STOP); }, kTimeoutMs));
  ASSERT_TRUE(WaitForIdle(*app, PlayText(), kTimeoutMs));
  ASSERT_TRUE(DeleteFileA(file.c_str()));
  ASSERT_TRUE(app->PostCommand(IDM_START));
  std::optional<MessageBoxInfo> box = app->AnswerMessageBox(IDOK, kTimeoutMs);
  ASSERT_TRUE(box) << "a missing file is reported";
  Sleep(300);
  EXPECT_FALSE(app->Exited());
  EXPECT_FALSE(app->ButtonEnabled(IDM_STOP));
  EXPECT_EQ(app->CloseAndWait(), std::optional<DWORD>(0));
}

TEST_F(EngineBadInput, Mp3WhoseLaterFramesAreGarbageEnds) {
  const std::string mp3 = FixturePath("engine_garbage.mp3");
  if (!FileExists(mp3)) GTEST_SKIP() << "make the fixtures with tests/fixtures/engine.sh";
  for (const char* on_memory : {"0", "1"}) {
    SCOPED_TRACE(std::string("OnMem=") + on_memory);
    ASSERT_TRUE(WriteSettings(dir_, {{"OnMem", on_memory}, {"levelwarning", "0"}}));
    auto app = Launch(dir_, mp3 + " /P");
    const bool ended = WaitUntil(
        [&] {
          if (app->Exited()) return true;
          for (HWND box : app->Dialogs()) PressButton(box, ReadMessageBox(box).buttons.empty() ? IDOK
                                                                                                : ReadMessageBox(box).buttons.front().first);
          return false;
        },
        20000);
    EXPECT_TRUE(ended) << "the run must end";
    EXPECT_EQ(app->ExitCode(), 0u);
  }
}

}  // namespace
