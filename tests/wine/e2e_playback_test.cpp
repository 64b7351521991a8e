// End-to-end tests of playback. What TAPEON hands to the wave device is
// watched at its waveOutWrite (the probe DLL takes the call over), so the
// samples it plays are checked exactly where the program is responsible for
// them. What only the sound itself can show (the pitch at another rate, a
// compressed file heard as its tone) is checked in the sound server's null
// sink, whose monitor the host records (parec); Wine's output path loses a
// little there (the start of a stream, lone frames on a busy machine), so
// those checks measure a tone, not single samples.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "driver.h"
#include "engine_signal.h"
#include "audio/transport_math.h"
#include "meter/level_report.h"
#include "resources/resource_ids.h"

using namespace e2e;
using namespace engine_test;

namespace {

constexpr long kRate = 44100;
constexpr DWORD kRunTimeoutMs = 60000;  // a run of a few seconds, on a machine as busy as it gets

// "" when the bytes handed to the device are the ramp 0 .. frames - 1, whole,
// in order and each frame once; else the first difference.
std::string RampDifference(const std::string& bytes, long frames) {
  const long count = static_cast<long>(bytes.size() / 4);
  for (long k = 0; k < count; ++k) {
    int16_t left, right;
    std::memcpy(&left, bytes.data() + 4 * k, 2);
    std::memcpy(&right, bytes.data() + 4 * k + 2, 2);
    const long v = RampIndex(left, right);
    if (v != k) return "frame " + std::to_string(k) + " is " + (v < 0 ? "not ramp" : "ramp frame " + std::to_string(v));
  }
  if (count != frames || bytes.size() % 4 != 0)
    return std::to_string(bytes.size()) + " bytes handed over for " + std::to_string(frames) + " frames";
  return "";
}

// The left channel of a raw capture.
std::vector<int16_t> LeftChannel(const std::string& raw) {
  std::vector<int16_t> left(raw.size() / 4);
  for (size_t k = 0; k < left.size(); ++k) std::memcpy(&left[k], raw.data() + 4 * k, 2);
  return left;
}

class Playback : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!SoundSession()) GTEST_SKIP() << "no sound devices in this run";
  }

  void StartCapture() {
    capture_ = std::make_unique<HostScript>(dir_, "capture", CaptureCommand(raw_));
    ASSERT_TRUE(capture_->started());
    ASSERT_TRUE(WaitUntil([&] { return FileSize(raw_) > 0; }, kTimeoutMs)) << "parec does not record";
  }

  std::string StopCapture() {
    Sleep(400);
    capture_->Stop();
    std::optional<std::string> raw = ReadFileBytes(raw_);
    return raw ? *raw : "";
  }

  // Plays `file` with /P (the program ends with the file) and returns what the
  // sink heard.
  std::string PlayToTheEnd(const std::string& file, DWORD timeout_ms = 30000) {
    StartCapture();
    auto app = Launch(dir_, file + " /P");
    EXPECT_TRUE(app->WaitForExit(timeout_ms)) << "TAPEON must close after the last file of /P";
    EXPECT_EQ(app->ExitCode(), 0u);
    return StopCapture();
  }

  // Sets the playing rate in the Option dialog.
  static void SetRate(Tapeon& app, int steps) {
    ASSERT_TRUE(app.PostCommand(IDM_OPTION));
    HWND dialog = app.WaitForDialog();
    ASSERT_NE(dialog, nullptr);
    HWND bar = Control(dialog, IDC_OPT_RATE);
    ASSERT_NE(bar, nullptr);
    DWORD_PTR result = 0;
    SendMessageTimeoutA(dialog, WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, static_cast<WORD>(static_cast<short>(steps))),
                        reinterpret_cast<LPARAM>(bar), SMTO_ABORTIFHUNG, 5000, &result);
    ASSERT_TRUE(PressButton(dialog, IDOK));
    ASSERT_TRUE(app.WaitForNoDialog());
  }

  // Starts `program` (TAPEON by default) on `file` with every buffer it hands
  // to the device written to watched_.
  std::unique_ptr<Tapeon> LaunchWatched(const std::string& file, const std::string& program = "") {
    LaunchOptions options;
    options.arguments = file;
    options.profile_dir = dir_.path();
    options.program = program;
    auto app = std::make_unique<Tapeon>(options);
    EXPECT_NE(app->WaitForMainWindow(), nullptr);
    EXPECT_TRUE(app->WatchPlayback(watched_)) << "the probe could not watch waveOutWrite";
    return app;
  }

  // Plays the file to its end and returns what was handed to the device.
  std::string PlayWatched(const std::string& file, const std::string& program = "") {
    auto app = LaunchWatched(file, program);
    EXPECT_TRUE(app->PostCommand(IDM_START));
    EXPECT_TRUE(WaitUntil([&] { return app->ButtonEnabled(IDM_STOP); }, kRunTimeoutMs));
    EXPECT_TRUE(WaitForIdle(*app, PlayText(), kRunTimeoutMs));
    EXPECT_EQ(app->CloseAndWait(), std::optional<DWORD>(0));
    return Watched();
  }

  std::string Watched() {
    std::optional<std::string> bytes = ReadFileBytes(watched_);
    return bytes ? *bytes : "";
  }

  TempDir dir_;
  std::string raw_ = dir_.File("heard.raw");
  std::string watched_ = dir_.File("device.raw");
  std::unique_ptr<HostScript> capture_;
};

class PlaybackModes : public Playback, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    Playback::SetUp();
    ASSERT_TRUE(WriteSettings(dir_, {{"OnMem", GetParam() ? "1" : "0"}, {"levelwarning", "0"}}));
  }
};

TEST_P(PlaybackModes, PcmReachesTheDeviceSampleForSample) {
  const long frames = 6 * kRate;
  const std::string file = dir_.File("ramp.wav");
  ASSERT_TRUE(WriteRampWave(file, frames));
  EXPECT_EQ(RampDifference(PlayWatched(file), frames), "");
}

TEST_P(PlaybackModes, FileShorterThanOneBufferPlaysAndEnds) {
  const std::string file = dir_.File("short.wav");
  ASSERT_TRUE(WriteRampWave(file, 12000));  // 48000 bytes, less than one 65536-byte buffer
  auto app = Launch(dir_, file + " /P");
  EXPECT_TRUE(app->WaitForExit(kTimeoutMs)) << "the run must end with its only block";
}

TEST_P(PlaybackModes, PauseAndContResumeWhereItPaused) {
  const long frames = 6 * kRate;
  const std::string file = dir_.File("ramp.wav");
  ASSERT_TRUE(WriteRampWave(file, frames));
  auto app = LaunchWatched(file);
  ASSERT_TRUE(app->PostCommand(IDM_START));
  ASSERT_TRUE(WaitUntil([&] { return app->ButtonEnabled(IDM_PAUSE); }, kRunTimeoutMs));
  const DWORD started = GetTickCount();
  ASSERT_TRUE(WaitUntil([&] { return Watched().size() >= 2 * kRate * 4; }, kRunTimeoutMs));
  ASSERT_TRUE(app->PostCommand(IDM_PAUSE));
  ASSERT_TRUE(WaitUntil([&] { return app->ButtonText(IDM_PAUSE) == "Cont"; }, kRunTimeoutMs));
  // Paused, the program hands nothing more to the device: whatever it had
  // queued waits there.
  const size_t held = Watched().size();
  Sleep(1500);
  EXPECT_EQ(Watched().size(), held) << "buffers were written while paused";
  ASSERT_TRUE(app->PostCommand(IDM_PAUSE));
  ASSERT_TRUE(WaitUntil([&] { return app->ButtonText(IDM_PAUSE) == "Pause"; }, kRunTimeoutMs));
  ASSERT_TRUE(WaitForIdle(*app, PlayText(), kRunTimeoutMs));
  // The file lasts 6 s; a pause that held the device makes the run longer.
  EXPECT_GE(GetTickCount() - started, 7000u) << "the pause must hold the playback";
  EXPECT_EQ(app->CloseAndWait(), std::optional<DWORD>(0));
  EXPECT_EQ(RampDifference(Watched(), frames), "") << "playing must go on where it paused";
}

TEST_P(PlaybackModes, StopEndsAtOnce) {
  const long frames = 8 * kRate;
  const std::string file = dir_.File("ramp.wav");
  ASSERT_TRUE(WriteRampWave(file, frames));
  auto app = LaunchWatched(file);
  ASSERT_TRUE(app->PostCommand(IDM_START));
  ASSERT_TRUE(WaitUntil([&] { return Watched().size() >= 2 * kRate * 4; }, kRunTimeoutMs));
  ASSERT_TRUE(app->PostCommand(IDM_STOP));
  EXPECT_TRUE(WaitForIdle(*app, PlayText(), kRunTimeoutMs)) << "Stop must end the run";
  const std::string handed = Watched();
  // On memory the whole sound is handed over at the start; streaming, the
  // rest of the file must not follow.
  if (!GetParam()) {
    EXPECT_LT(handed.size(), frames * 4u) << "the file was played to its end after Stop";
  }
  EXPECT_EQ(RampDifference(handed, static_cast<long>(handed.size() / 4)), "");
  // The file stays the current file and plays again.
  ASSERT_TRUE(app->PostCommand(IDM_START));
  EXPECT_TRUE(WaitUntil([&] { return app->ButtonEnabled(IDM_STOP); }, kRunTimeoutMs));
  ASSERT_TRUE(app->PostCommand(IDM_STOP));
  EXPECT_TRUE(WaitForIdle(*app, PlayText(), kRunTimeoutMs));
  EXPECT_EQ(app->CloseAndWait(), std::optional<DWORD>(0));
}

INSTANTIATE_TEST_SUITE_P(Modes, PlaybackModes, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "OnMemory" : "Streaming";
                         });

// A build that loses one buffer in twenty on its way to the device must fail
// the check of PcmReachesTheDeviceSampleForSample. (On memory the whole sound
// is one buffer.)
TEST_F(Playback, LostBufferIsCaught) {
  ASSERT_TRUE(WriteSettings(dir_, {{"OnMem", "0"}, {"levelwarning", "0"}}));
  const long frames = 6 * kRate;
  const std::string file = dir_.File("ramp.wav");
  ASSERT_TRUE(WriteRampWave(file, frames));
  EXPECT_NE(RampDifference(PlayWatched(file, ModuleDir() + "\\TAPEON_drop_fault.EXE"), frames), "");
}

class PlaybackRate : public Playback, public ::testing::WithParamInterface<int> {};

TEST_P(PlaybackRate, ToneComesBackAtTheShiftedPitch) {
  const std::string tone = FixturePath("engine_sine440_22k.wav");
  if (!FileExists(tone)) GTEST_SKIP() << "make the fixtures with tests/fixtures/engine.sh";
  ASSERT_TRUE(WriteSettings(dir_, {{"OnMem", "0"}, {"levelwarning", "0"}}));
  const int steps = GetParam();
  StartCapture();
  auto app = Launch(dir_, tone);
  ASSERT_NO_FATAL_FAILURE(SetRate(*app, steps));
  ASSERT_TRUE(app->PostCommand(IDM_START));
  ASSERT_TRUE(WaitUntil([&] { return app->ButtonEnabled(IDM_STOP); }, kTimeoutMs));
  ASSERT_TRUE(WaitForIdle(*app, PlayText(), kTimeoutMs));
  EXPECT_EQ(app->CloseAndWait(), std::optional<DWORD>(0));
  const double heard = MeasureFrequency(LeftChannel(StopCapture()), kRate);
  std::printf("heard %.2f Hz\n", heard);
  const double expected = 440.0 * RateFactor(steps);
  EXPECT_NEAR(heard, expected, expected * 0.01);
}

INSTANTIATE_TEST_SUITE_P(Steps, PlaybackRate, ::testing::Values(120, -120, 0),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return info.param > 0 ? "OctaveUp" : info.param < 0 ? "OctaveDown" : "Unchanged";
                         });

TEST_F(Playback, Mp3PlaysThroughTheSystemCodec) {
  const std::string mp3 = FixturePath("engine_tone440.mp3");
  if (!FileExists(mp3)) GTEST_SKIP() << "make the fixtures with tests/fixtures/engine.sh";
  ASSERT_TRUE(WriteSettings(dir_, {{"OnMem", "0"}, {"levelwarning", "0"}}));
  const double heard = MeasureFrequency(LeftChannel(PlayToTheEnd(mp3)), kRate);
  std::printf("heard %.2f Hz\n", heard);
  EXPECT_NEAR(heard, 440.0, 4.4);
}

TEST_F(Playback, Mp3OnMemoryPlaysToo) {
  const std::string mp3 = FixturePath("engine_tone440.mp3");
  if (!FileExists(mp3)) GTEST_SKIP() << "make the fixtures with tests/fixtures/engine.sh";
  ASSERT_TRUE(WriteSettings(dir_, {{"OnMem", "1"}, {"levelwarning", "0"}}));
  const double heard = MeasureFrequency(LeftChannel(PlayToTheEnd(mp3)), kRate);
  std::printf("heard %.2f Hz\n", heard);
  EXPECT_NEAR(heard, 440.0, 4.4);
}

// Three files and an option between them: they play in order and the program
// closes after the third.
TEST_F(Playback, PlayListPlaysInOrderAndCloses) {
  ASSERT_TRUE(WriteSettings(dir_, {{"OnMem", "0"}, {"levelwarning", "0"}}));
  for (const char* name : {"a.wav", "b.wav", "c.wav"}) ASSERT_TRUE(WriteRampWave(dir_.File(name), kRate));
  auto app = Launch(dir_, dir_.File("a.wav") + " /P " + dir_.File("b.wav") + " /x " + dir_.File("c.wav"));
  std::vector<std::string> titles;
  WaitUntil(
      [&] {
        if (app->Exited()) return true;
        std::string title = app->Title();
        if (!title.empty() && (titles.empty() || titles.back() != title)) titles.push_back(title);
        return false;
      },
      30000);
  ASSERT_TRUE(app->Exited()) << "TAPEON must close after the third file";
  EXPECT_EQ(app->ExitCode(), 0u);
  std::vector<std::string> expected = {"a.wav - TAPEON", "b.wav - TAPEON", "c.wav - TAPEON"};
  EXPECT_EQ(titles, expected);
}

TEST_F(Playback, StopDuringThePlayListEndsItAndStaysOpen) {
  ASSERT_TRUE(WriteSettings(dir_, {{"OnMem", "0"}, {"levelwarning", "0"}}));
  for (const char* name : {"a.wav", "b.wav", "c.wav"}) ASSERT_TRUE(WriteRampWave(dir_.File(name), 3 * kRate));
  // A blank does not end a file name on the command line; the options do.
  auto app = Launch(dir_, dir_.File("a.wav") + " /P " + dir_.File("b.wav") + " /P " + dir_.File("c.wav"));
  ASSERT_TRUE(WaitUntil([&] { return app->Title() == "b.wav - TAPEON" && app->ButtonEnabled(IDM_STOP); }, kTimeoutMs));
  Sleep(500);
  ASSERT_TRUE(app->PostCommand(IDM_STOP));
  ASSERT_TRUE(WaitForIdle(*app, PlayText(), 2000));
  Sleep(4000);
  EXPECT_FALSE(app->Exited()) << "stopping ends the list, not the program";
  EXPECT_EQ(app->Title(), "b.wav - TAPEON");
  EXPECT_TRUE(app->ButtonEnabled(IDM_START));
  EXPECT_EQ(app->CloseAndWait(), std::optional<DWORD>(0));
}

// With levelwarning on every end of a run reports the level; off, none.
TEST_F(Playback, LevelReportAtEachEndOfARun) {
  ASSERT_TRUE(WriteSettings(dir_, {{"OnMem", "0"}, {"levelwarning", "1"}}));
  const std::string file = dir_.File("ramp.wav");
  ASSERT_TRUE(WriteRampWave(file, 2 * kRate));
  auto app = Launch(dir_, file);
  const LevelReport expected = ComposeLevelReport(kRampBase + kRampPeriod - 1, 0, 3, 1, JapaneseSession());

  ASSERT_TRUE(app->PostCommand(IDM_START));  // to the end
  std::optional<MessageBoxInfo> box = app->AnswerMessageBox(IDOK, kTimeoutMs);
  ASSERT_TRUE(box) << "no report at the end of the file";
  EXPECT_EQ(box->caption, expected.caption);
  EXPECT_EQ(box->text, expected.text);
  ASSERT_TRUE(WaitForIdle(*app, PlayText()));

  ASSERT_TRUE(app->PostCommand(IDM_START));  // stopped
  ASSERT_TRUE(WaitUntil([&] { return app->ButtonEnabled(IDM_STOP); }, kTimeoutMs));
  Sleep(1200);
  ASSERT_TRUE(app->PostCommand(IDM_STOP));
  box = app->AnswerMessageBox(IDOK, kTimeoutMs);
  ASSERT_TRUE(box) << "no report after Stop";
  EXPECT_EQ(box->caption, expected.caption);
  ASSERT_TRUE(WaitForIdle(*app, PlayText()));
  EXPECT_EQ(app->CloseAndWait(), std::optional<DWORD>(0));

  ASSERT_TRUE(WriteSettings(dir_, {{"OnMem", "0"}, {"levelwarning", "0"}}));
  auto quiet = Launch(dir_, file + " /P");
  EXPECT_TRUE(quiet->WaitForExit(kTimeoutMs)) << "without levelwarning the run ends without a box";
}

}  // namespace
