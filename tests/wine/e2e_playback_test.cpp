// End-to-end tests of playback. What TAPEON hands to the wave device is
// watched at its waveOutWrite (the probe DLL takes the call over), so the
// samples it plays are checked exactly where the program is responsible for
// them. What only the sound itself can show (the pitch at another rate, a
// compressed file heard as its tone) is checked in the sound server's null
// sink, whose monitor the host records (parec); Wine's output path loses a
// little there (the start of a stream, lone frames on a busy machine), so
// those checks measure a tone, not single samples.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "driver.h"
#include "engine_signal.h"
#include "tests/riff_bytes.h"
#include "tests/vorbis_writer.h"
#include "audio/transport_math.h"
#include "meter/level_report.h"
#include "resources/ja_audio.h"
#include "resources/resource_ids.h"

using namespace e2e;
using namespace engine_test;

namespace {

constexpr long kRate = 44100;
constexpr DWORD kRunTimeoutMs = 60000;  // a run of a few seconds, on a machine as busy as it gets


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
    // A capture before (its script shares the marker files) is over first.
    capture_.reset();
    DeleteFileA(raw_.c_str());
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
  std::string PlayToTheEnd(const std::string& file, DWORD timeout_ms = kRunTimeoutMs) {
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
    options.program = program;
    auto app = Launch(dir_, file, options);
    EXPECT_NE(app->main_window(), nullptr);
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

  // The window titles the program shows, in turn, until it exits.
  static std::vector<std::string> TitlesUntilExit(Tapeon& app, DWORD timeout_ms) {
    std::vector<std::string> titles;
    WaitUntil(
        [&] {
          if (app.Exited()) return true;
          std::string title = app.Title();
          if (!title.empty() && (titles.empty() || titles.back() != title)) titles.push_back(title);
          return false;
        },
        timeout_ms);
    return titles;
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
  EXPECT_NE(RampDifference(PlayWatched(file, ModuleDir() + "\\TAPEON_fault.EXE"), frames), "");
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
  const std::vector<std::string> titles = TitlesUntilExit(*app, 2 * kRunTimeoutMs);
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

// A device that stops handing blocks back (the probe takes every buffer from
// some moment on) does not hold the run for ever: four blocks' time and 10 s
// after the last block came back the run ends with a message, and a /P list
// goes on with its next file, then closes.
TEST_F(Playback, StalledDeviceEndsTheRunAndTheListGoesOn) {
  ASSERT_TRUE(WriteSettings(dir_, {{"OnMem", "0"}, {"levelwarning", "0"}}));
  for (const char* name : {"a.wav", "b.wav"}) ASSERT_TRUE(WriteRampWave(dir_.File(name), 30 * kRate));
  auto app = Launch(dir_, dir_.File("a.wav") + " /P " + dir_.File("b.wav"));
  ASSERT_TRUE(WaitUntil([&] { return app->ButtonEnabled(IDM_STOP); }, kTimeoutMs));
  ASSERT_TRUE(app->StallPlayback());
  const DWORD stalled_at = GetTickCount();
  const std::string stalled = Pick(en::audio::kPlaybackStalled, ja::audio::kPlaybackStalled);
  std::optional<MessageBoxInfo> box = app->AnswerMessageBox(IDOK, kRunTimeoutMs);
  ASSERT_TRUE(box) << "the stalled run must end";
  EXPECT_EQ(box->text, stalled);
  EXPECT_GE(GetTickCount() - stalled_at, 10000u) << "not before the blocks could have come back";
  EXPECT_TRUE(WaitUntil([&] { return app->Title() == "b.wav - TAPEON"; }, kTimeoutMs)) << "the list goes on";
  // The device takes b.wav's blocks and keeps them too.
  box = app->AnswerMessageBox(IDOK, kRunTimeoutMs);
  ASSERT_TRUE(box);
  EXPECT_EQ(box->text, stalled);
  EXPECT_TRUE(app->WaitForExit(kTimeoutMs)) << "TAPEON must close after the last file of /P";
  EXPECT_EQ(app->ExitCode(), 0u);
}

// Records that neither the wave mapper nor Wine's device takes as they are
// reach the device to their end, in order, streaming and on memory: 32-bit
// integer and 64-bit float PCM (plain, and extensible in three channels with
// a longer extension and a speaker mask of fewer speakers) as every sample
// rounded to 24 bits (16 where the device takes no 24); 16-bit PCM in an
// extensible record with a longer extension and a mask of more speakers as
// it is.
TEST_F(Playback, WidePcmAndExtensibleRecordsReachTheDevice) {
  struct Case {
    const char* name;
    uint16_t bits;
  } cases[] = {{"engine_s32.wav", 32}, {"engine_f64.wav", 64}, {"engine_f64_ext3.wav", 64}, {"engine_s16_ext.wav", 16}};
  for (const Case& c : cases) {
    const std::string file = FixturePath(c.name);
    if (!FileExists(file)) GTEST_SKIP() << "make the fixtures with tests/fixtures/engine.sh";
    const std::optional<Wave> wave = ReadWave(file);
    ASSERT_TRUE(wave && wave->bits == c.bits) << c.name;
    const bool is_float = c.bits == 64;
    const unsigned from = c.bits / 8;
    const size_t samples = wave->data_size / from;
    for (const char* on_memory : {"0", "1"}) {
      SCOPED_TRACE(std::string(c.name) + ", OnMem=" + on_memory);
      ASSERT_TRUE(WriteSettings(dir_, {{"OnMem", on_memory}, {"levelwarning", "0"}}));
      const std::string handed = PlayWatched(file);
      if (from == 2) {
        EXPECT_TRUE(handed == std::string(reinterpret_cast<const char*>(wave->data()), wave->data_size))
            << "the file's samples as they are";
        continue;
      }
      const unsigned width = handed.size() == samples * 2 ? 2 : 3;
      ASSERT_EQ(handed.size(), samples * width);
      const int shift = 32 - 8 * static_cast<int>(width);
      const int64_t top = (int64_t{1} << (8 * width - 1)) - 1;
      for (size_t k = 0; k < samples; ++k) {
        int64_t expected;
        if (is_float) {
          double sample;
          std::memcpy(&sample, wave->data() + 8 * k, 8);
          expected = std::clamp(static_cast<int64_t>(std::floor(sample * (top + 1) + 0.5)), -top - 1, top);
        } else {
          int32_t sample;
          std::memcpy(&sample, wave->data() + 4 * k, 4);
          expected = std::min(top, (int64_t{sample} + (int64_t{1} << (shift - 1))) >> shift);
        }
        uint32_t got = 0;
        std::memcpy(&got, handed.data() + width * k, width);
        const int64_t value = static_cast<int32_t>(got << shift) >> shift;
        ASSERT_EQ(value, expected) << "sample " << k;
      }
    }
  }
}

// On memory a compressed file goes to the device in pieces of about two
// seconds: a device that stops handing them back is found out as soon as
// for a streaming run, not after four times the whole file (12 s of MP3
// here; 15 MB of it took an hour). (English run: nothing here differs in
// Japanese.)
TEST_F(Playback, StalledDeviceOnMemoryIsFoundByItsPieces) {
  if (JapaneseSession()) GTEST_SKIP() << "the English run checks it";
  const std::string file = FixturePath("meter_gap.mp3");
  if (!FileExists(file)) GTEST_SKIP() << "make the fixtures with tests/fixtures/meter.sh";
  ASSERT_TRUE(WriteSettings(dir_, {{"OnMem", "1"}, {"levelwarning", "0"}}));
  auto app = Launch(dir_, file);
  ASSERT_TRUE(app->PostCommand(IDM_START));
  ASSERT_TRUE(WaitUntil([&] { return app->ButtonEnabled(IDM_STOP); }, kTimeoutMs));
  ASSERT_TRUE(app->StallPlayback());
  const DWORD stalled_at = GetTickCount();
  std::optional<MessageBoxInfo> box = app->AnswerMessageBox(IDOK, 4 * 12000);
  ASSERT_TRUE(box) << "not found out within four times the file's length";
  EXPECT_EQ(box->text, en::audio::kPlaybackStalled);
  EXPECT_GE(GetTickCount() - stalled_at, 10000u) << "not before the pieces could have come back";
  EXPECT_TRUE(WaitForIdle(*app, PlayText(), kTimeoutMs));
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

// ---- Ogg Vorbis through the codec driver (vorbis.acm) ----------------------------

constexpr double kToneSeconds = 4.0;  // the tones of tests/fixtures/codec.sh
// What the way through Wine and the sound server may lose of a stream, on a
// machine as busy as it gets: the codec's own output is checked sample for
// sample by OggCodec.ConversionAgreesWithOggdec, so here the tone only has to
// be heard, at its pitch, and not longer than the file.
constexpr double kHeardAtLeast = 0.5;

// Seconds of tone in the left channel of a capture: the 10 ms stretches in
// which it is loud.
double LoudSeconds(const std::vector<int16_t>& left) {
  constexpr size_t kWindow = kRate / 100;
  size_t loud = 0;
  for (size_t at = 0; at + kWindow <= left.size(); at += kWindow) {
    int peak = 0;
    for (size_t k = at; k < at + kWindow; ++k) peak = std::max(peak, std::abs(static_cast<int>(left[k])));
    if (peak > 3000) ++loud;
  }
  return loud / 100.0;
}

// An MP3 whose ID3v2 tag holds a cover picture of 160 KB (lame --ti; its
// bytes hold many frame syncs) and that ends in an ID3v1 tag: the device is
// handed every frame from the first one after the tag to the last, nothing of
// the tags, and the tone is heard whole at its pitch, on memory too, and the
// run ends.
TEST_F(Playback, Mp3WithCoverArtPlaysFromItsFirstFrame) {
  const std::string mp3 = FixturePath("engine_cover.mp3");
  if (!FileExists(mp3)) GTEST_SKIP() << "make the fixtures with tests/fixtures/engine.sh";
  const std::optional<std::string> file = ReadFileBytes(mp3);
  ASSERT_TRUE(file && file->size() > 160000);
  ASSERT_TRUE(WriteSettings(dir_, {{"OnMem", "0"}, {"levelwarning", "0"}}));
  const std::string handed = PlayWatched(mp3);
  ASSERT_FALSE(handed.empty());
  EXPECT_EQ(static_cast<unsigned char>(handed[0]), 0xFF) << "the first byte handed over starts a frame";
  EXPECT_LT(handed.size(), file->size() - 150000) << "the picture is not handed to the device";
  ASSERT_EQ(file->substr(file->size() - 128, 3), "TAG");
  const std::string sound = file->substr(0, file->size() - 128);
  ASSERT_LE(handed.size(), sound.size());
  EXPECT_TRUE(handed == sound.substr(sound.size() - handed.size())) << "every frame after the tag, in order";

  // On memory: the same frames, judged where TAPEON hands them over (the sink's
  // monitor can repeat or drop a little on a busy machine), and the tone heard.
  ASSERT_TRUE(WriteSettings(dir_, {{"OnMem", "1"}, {"levelwarning", "0"}}));
  StartCapture();
  const std::string handed_on_memory = PlayWatched(mp3);
  const std::vector<int16_t> left = LeftChannel(StopCapture());
  EXPECT_TRUE(handed_on_memory == handed) << "on memory too, every frame after the tag once, in order";
  const double heard = MeasureFrequency(left, kRate);
  const double seconds = LoudSeconds(left);
  std::printf("heard %.2f Hz for %.2f s\n", heard, seconds);
  EXPECT_NEAR(heard, 440.0, 4.4);
  EXPECT_GE(seconds, kHeardAtLeast * 3.0);
}

// The tone behind two ID3v2 tags (the second in UTF-16, whose FF FE reads as
// a Layer I header at 48 kHz), as MPEG-2 Layer II at 22.05 kHz (frames of
// 1152 samples), and after junk and no tag (215 bytes before MPEG-1 Layer
// III, 7 before MPEG-2.5 Layer III at 8 kHz): Info shows the stream's format
// and size, the device is handed its frames from the first to the last, and
// the tone is heard.
TEST_F(Playback, TaggedMp3AndMpeg2LayerIIPlayWithTheirFormat) {
  struct Case {
    const char* name;
    const char* khz;
    const char* rate;
    size_t junk;
  } cases[] = {{"engine_two_tags.mp3", "44kHz", "  128 kbps", 0},
               {"engine_layer2_22k.mp2", "22kHz", "   64 kbps", 0},
               {"engine_junk215.mp3", "44kHz", "  128 kbps", 215},
               {"engine_mpeg25_junk7.mp3", "8kHz", "   32 kbps", 7}};
  ASSERT_TRUE(WriteSettings(dir_, {{"OnMem", "0"}, {"levelwarning", "0"}}));
  for (const Case& c : cases) {
    const std::string path = FixturePath(c.name);
    if (!FileExists(path)) GTEST_SKIP() << "make the fixtures with tests/fixtures/engine.sh";
    const std::optional<std::string> file = ReadFileBytes(path);
    ASSERT_TRUE(file && file->size() > 10);
    size_t first_frame = c.junk;  // after the junk, or the tags in a row, each 10 bytes and its syncsafe size
    while (file->compare(first_frame, 3, "ID3") == 0) {
      const auto* size = reinterpret_cast<const unsigned char*>(file->data() + first_frame + 6);
      first_frame += 10 + (size[0] << 21 | size[1] << 14 | size[2] << 7 | size[3]);
    }

    StartCapture();
    auto app = LaunchWatched(path);
    ASSERT_TRUE(app->PostCommand(IDM_INFO));
    HWND info = app->WaitForDialog("Wave Information");
    ASSERT_NE(info, nullptr) << c.name;
    EXPECT_EQ(ControlText(info, IDC_INFO_FREQ), c.khz) << c.name;
    EXPECT_EQ(ControlText(info, IDC_INFO_CHAN), "2") << c.name;
    EXPECT_EQ(ControlText(info, IDC_INFO_RATE), c.rate) << c.name;
    char size_text[32];
    std::snprintf(size_text, sizeof size_text, "%7lu KB",
                  static_cast<unsigned long>((file->size() - first_frame) / 1024));
    EXPECT_EQ(ControlText(info, IDC_INFO_TIME), size_text) << c.name;
    ASSERT_TRUE(PressButton(info, IDOK));
    ASSERT_TRUE(app->WaitForNoDialog());
    ASSERT_TRUE(app->PostCommand(IDM_START));
    EXPECT_TRUE(WaitUntil([&] { return app->ButtonEnabled(IDM_STOP); }, kRunTimeoutMs)) << c.name;
    EXPECT_TRUE(WaitForIdle(*app, PlayText(), kRunTimeoutMs)) << c.name;
    EXPECT_TRUE(app->Dialogs().empty()) << c.name << ": a message came up";
    EXPECT_EQ(app->CloseAndWait(), std::optional<DWORD>(0));
    EXPECT_TRUE(Watched() == file->substr(first_frame)) << c.name << ": every frame, nothing else";

    const std::vector<int16_t> left = LeftChannel(StopCapture());
    const double heard = MeasureFrequency(left, kRate);
    std::printf("%s: heard %.2f Hz for %.2f s\n", c.name, heard, LoudSeconds(left));
    EXPECT_NEAR(heard, 440.0, 4.4) << c.name;
    EXPECT_GE(LoudSeconds(left), kHeardAtLeast * 3.0) << c.name;
  }
}

class OggPlayback : public Playback {
 protected:
  void SetUp() override {
    Playback::SetUp();
    if (IsSkipped()) return;
    if (!OggCodecSession()) GTEST_SKIP() << "the Ogg Vorbis codec driver is not installed in this run";
    if (!FileExists(FixturePath("codec_tone44.ogg"))) GTEST_SKIP() << "make the fixtures with tests/fixtures/codec.sh";
  }
};

struct OggTone {
  const char* file;
  int steps;
  bool on_memory;
};

class OggTones : public OggPlayback, public ::testing::WithParamInterface<OggTone> {};

// oggenc's 440 Hz tones, 44.1 kHz stereo and 22.05 kHz mono, are heard at
// 440 Hz, an octave up at +120 and down at -120, whole, streaming and on memory.
TEST_P(OggTones, ToneComesBackWholeAtItsPitch) {
  const OggTone& t = GetParam();
  ASSERT_TRUE(WriteSettings(dir_, {{"OnMem", t.on_memory ? "1" : "0"}, {"levelwarning", "0"}}));
  StartCapture();
  auto app = Launch(dir_, FixturePath(t.file));
  if (t.steps != 0) {
    ASSERT_NO_FATAL_FAILURE(SetRate(*app, t.steps));
  }
  ASSERT_TRUE(app->PostCommand(IDM_START));
  ASSERT_TRUE(WaitUntil([&] { return app->ButtonEnabled(IDM_STOP); }, kRunTimeoutMs));
  ASSERT_TRUE(WaitForIdle(*app, PlayText(), kRunTimeoutMs));
  EXPECT_EQ(app->CloseAndWait(), std::optional<DWORD>(0));
  const std::vector<int16_t> left = LeftChannel(StopCapture());
  const double factor = RateFactor(t.steps);
  const double heard = MeasureFrequency(left, kRate);
  const double seconds = LoudSeconds(left);
  std::printf("heard %.2f Hz for %.2f s\n", heard, seconds);
  EXPECT_NEAR(heard, 440.0 * factor, 440.0 * factor * 0.01);
  EXPECT_GE(seconds, kHeardAtLeast * kToneSeconds / factor);
  EXPECT_LE(seconds, kToneSeconds / factor + 0.2) << "more tone than the file holds";
}

INSTANTIATE_TEST_SUITE_P(Files, OggTones,
                         ::testing::Values(OggTone{"codec_tone44.ogg", 0, false}, OggTone{"codec_tone22.ogg", 0, true},
                                           OggTone{"codec_tone44.ogg", 120, true},
                                           OggTone{"codec_tone22.ogg", -120, false}),
                         [](const ::testing::TestParamInfo<OggTone>& info) {
                           const OggTone& t = info.param;
                           return std::string(t.file[10] == '4' ? "Stereo44k" : "Mono22k") +
                                  (t.steps > 0 ? "OctaveUp" : t.steps < 0 ? "OctaveDown" : "") +
                                  (t.on_memory ? "OnMemory" : "Streaming");
                         });

// Pause holds the playback and Cont goes on without playing anything twice.
TEST_F(OggPlayback, PauseAndContGoOn) {
  ASSERT_TRUE(WriteSettings(dir_, {{"OnMem", "0"}, {"levelwarning", "0"}}));
  StartCapture();
  auto app = Launch(dir_, FixturePath("codec_tone44.ogg"));
  ASSERT_TRUE(app->PostCommand(IDM_START));
  ASSERT_TRUE(WaitUntil([&] { return app->ButtonEnabled(IDM_PAUSE); }, kRunTimeoutMs));
  const DWORD started = GetTickCount();
  Sleep(1500);
  ASSERT_TRUE(app->PostCommand(IDM_PAUSE));
  ASSERT_TRUE(WaitUntil([&] { return app->ButtonText(IDM_PAUSE) == "Cont"; }, kRunTimeoutMs));
  Sleep(1500);
  ASSERT_TRUE(app->PostCommand(IDM_PAUSE));
  ASSERT_TRUE(WaitUntil([&] { return app->ButtonText(IDM_PAUSE) == "Pause"; }, kRunTimeoutMs));
  ASSERT_TRUE(WaitForIdle(*app, PlayText(), kRunTimeoutMs));
  EXPECT_GE(GetTickCount() - started, 5000u) << "the pause must hold the playback";
  EXPECT_EQ(app->CloseAndWait(), std::optional<DWORD>(0));
  const double seconds = LoudSeconds(LeftChannel(StopCapture()));
  std::printf("heard %.2f s of tone\n", seconds);
  // The sound server replays a little where a paused stream goes on; playing
  // what came before the pause (1.5 s) again would be more than this.
  EXPECT_LE(seconds, kToneSeconds + 0.75) << "tone played twice";
  EXPECT_GE(seconds, kHeardAtLeast * kToneSeconds);
}

TEST_F(OggPlayback, StopEndsAtOnce) {
  ASSERT_TRUE(WriteSettings(dir_, {{"OnMem", "0"}, {"levelwarning", "0"}}));
  StartCapture();
  auto app = Launch(dir_, FixturePath("codec_tone22.ogg"));
  ASSERT_TRUE(app->PostCommand(IDM_START));
  ASSERT_TRUE(WaitUntil([&] { return app->ButtonEnabled(IDM_STOP); }, kRunTimeoutMs));
  ASSERT_TRUE(WaitUntil([&] { return LoudSeconds(LeftChannel(ReadFileBytes(raw_).value_or(""))) > 0.5; },
                        kRunTimeoutMs));
  ASSERT_TRUE(app->PostCommand(IDM_STOP));
  EXPECT_TRUE(WaitForIdle(*app, PlayText(), kRunTimeoutMs)) << "Stop must end the run";
  // Once the run has ended nothing more is heard (a second for what the
  // sound server still had on its way, then two seconds of silence).
  const size_t ended = FileSize(raw_) / 4;
  Sleep(3000);
  const std::vector<int16_t> left = LeftChannel(StopCapture());
  const size_t after = std::min(left.size(), ended + static_cast<size_t>(kRate));
  EXPECT_EQ(LoudSeconds(std::vector<int16_t>(left.begin() + after, left.end())), 0.0) << "sound went on after Stop";
  EXPECT_EQ(app->CloseAndWait(), std::optional<DWORD>(0));
}

// A /P list of a WAVE, an MP3 and an Ogg file plays all three in turn (a blank
// does not end a file name on the command line; the options do).
TEST_F(OggPlayback, PlayListMixesWaveMp3AndOgg) {
  ASSERT_TRUE(WriteSettings(dir_, {{"OnMem", "0"}, {"levelwarning", "0"}}));
  const char* names[] = {"engine_sine440_22k.wav", "engine_tone440.mp3", "codec_tone22.ogg"};
  auto app = Launch(dir_, FixturePath(names[0]) + " /P " + FixturePath(names[1]) + " /P " + FixturePath(names[2]));
  const std::vector<std::string> titles = TitlesUntilExit(*app, 2 * kRunTimeoutMs);
  ASSERT_TRUE(app->Exited()) << "TAPEON must close after the third file; titles: " << ::testing::PrintToString(titles);
  EXPECT_EQ(app->ExitCode(), 0u);
  std::vector<std::string> expected;
  for (const char* name : names) expected.push_back(std::string(name) + " - TAPEON");
  EXPECT_EQ(titles, expected);
}

// The end of an Ogg run reports the level as the end of an MP3 run does: both
// take their levels from the decoded sound where the mixer has no peak meter
// (as under Wine), and the same tone (both at -6.02 dBFS, where two verdicts
// meet) gives the same maximum within one dB.
TEST_F(OggPlayback, LevelReportAsForMp3) {
  ASSERT_TRUE(WriteSettings(dir_, {{"OnMem", "0"}, {"levelwarning", "1"}}));
  std::vector<std::string> reports;
  for (const char* name : {"engine_tone440.mp3", "codec_tone22.ogg"}) {
    auto app = Launch(dir_, FixturePath(name) + " /P");
    std::string report = "no report";
    WaitUntil(
        [&] {
          if (app->Exited()) return true;
          if (!app->Dialogs().empty())
            if (std::optional<MessageBoxInfo> box = app->AnswerMessageBox(IDOK, 2000)) report = box->text;
          return false;
        },
        kRunTimeoutMs);
    ASSERT_TRUE(app->Exited()) << name << " did not play to its end";
    reports.push_back(report);
  }
  std::printf("MP3: %s, Ogg: %s\n", reports[0].c_str(), reports[1].c_str());
  ASSERT_NE(reports[0], "no report");
  ASSERT_NE(reports[1], "no report");
  if (JapaneseSession()) return;  // the Japanese words are checked natively
  double decibels[2] = {0.0, 0.0};
  for (int i = 0; i < 2; ++i) ASSERT_EQ(sscanf(reports[i].c_str(), "Max level %lfdb", &decibels[i]), 1) << reports[i];
  EXPECT_NEAR(decibels[1], decibels[0], 1.0);
  EXPECT_NEAR(decibels[0], -6.0, 1.0);
}

// The conversion itself, through the audio compression manager as the wave
// mapper makes it (tool_acm_decode): the samples oggdec gives, to the last
// bit but the rounding of the x87 floating-point unit (the 32-bit build of
// libvorbis), in blocks of TAPEON's size, in small blocks and in one block,
// and the drain after the last block ends.
TEST(OggCodec, ConversionAgreesWithOggdec) {
  if (!OggCodecSession()) GTEST_SKIP() << "the Ogg Vorbis codec driver is not installed in this run";
  const std::optional<std::string> reference = ReadFileBytes(FixturePath("codec_tone44.raw"));
  if (!reference) GTEST_SKIP() << "make the fixtures with tests/fixtures/codec.sh";
  const std::string tool = ModuleDir() + "\\tool_acm_decode.exe";
  TempDir dir;
  for (const char* block : {"512", "8192", "65536"}) {
    const std::string out = dir.File(std::string("out") + block + ".raw");
    std::string command = "\"" + tool + "\" \"" + FixturePath("codec_tone44.ogg") + "\" \"" + out + "\" " + block;
    ASSERT_EQ(RunProgram(command), std::optional<DWORD>(0)) << "blocks of " << block;
    const std::optional<std::string> pcm = ReadFileBytes(out);
    ASSERT_TRUE(pcm);
    // A block of headers only gives one silent frame (the driver's answer
    // to Wine's mapper, which refuses an empty conversion); once the sound
    // has begun, nothing is added: the silence is at the start, before the
    // first audio pages (the headers and the first packet, under 16 KB).
    auto frame = [](const std::string& bytes, size_t k, int channel) {
      int16_t v;
      std::memcpy(&v, bytes.data() + 4 * k + 2 * channel, 2);
      return static_cast<int>(v);
    };
    ASSERT_GE(pcm->size(), reference->size()) << "blocks of " << block;
    const size_t silent = (pcm->size() - reference->size()) / 4;
    EXPECT_LE(silent * std::atoi(block), 16384u) << "blocks of " << block << ": silence past the headers";
    for (size_t k = 0; k < silent; ++k)
      ASSERT_TRUE(frame(*pcm, k, 0) == 0 && frame(*pcm, k, 1) == 0) << "blocks of " << block << ": frame " << k;
    for (size_t k = 0; k < reference->size() / 4; ++k) {
      const size_t at = silent + k;
      if (std::abs(frame(*pcm, at, 0) - frame(*reference, k, 0)) > 1 ||
          std::abs(frame(*pcm, at, 1) - frame(*reference, k, 1)) > 1) {
        ADD_FAILURE() << "blocks of " << block << ": frame " << k << " differs";
        break;
      }
    }
  }
}

// A 131 KB stream whose setup asks for gigabytes: one ordered codebook of
// 2^20 entries of dimension 4 (exactly at the limits a setup may declare)
// and 64 residues of 32 classes, for each of which libvorbis builds a table
// of 32^4 entries.
std::string ResidueTablesStream() {
  vorbis_writer::Stream s;
  s.setup.books = {vorbis_writer::Book{4, 1u << 20, 20, true, 0, 1}};
  s.setup.residues.assign(64, vorbis_writer::Residue{0, 0, 0, 1, 32, 0, 0, 0});
  s.setup.padding = (1u << 20) / 8 + 64;
  s.packets = 4;
  return vorbis_writer::Write(s);
}

// What tool_acm_decode said of a file (its output lines), and how it ended.
struct Decoded {
  std::optional<DWORD> exit_code;
  std::string said;
  unsigned long peak_kb = 0;  // peak working set
};

Decoded DecodeWithTool(const TempDir& dir, const std::string& file, const char* block = "8192") {
  const std::string tool = ModuleDir() + "\\tool_acm_decode.exe";
  const std::string log = dir.File("decode.txt");
  Decoded d;
  d.exit_code = RunProgram("cmd /c \"\"" + tool + "\" \"" + file + "\" - " + block + " > \"" + log + "\"\"", 300000);
  d.said = ReadFileBytes(log).value_or("");
  const size_t at = d.said.find("peak working set ");
  if (at != std::string::npos) d.peak_kb = std::strtoul(d.said.c_str() + at + 17, nullptr, 10);
  return d;
}

// Streams that ask for more than a stream may have, converted through the
// compression manager as the wave mapper converts them (8 KB blocks): the
// one above ends with MMSYSERR_NOMEM, costing the host no more than the
// budget (64 MB) beside what a good stream costs it, and a comment header of
// four million empty comments (16 MB) plays, costing little more than
// itself. The host lives on in both (exit codes, not a crash).
TEST(OggCodec, HostileStreamsEndWithinTheBudget) {
  if (!OggCodecSession()) GTEST_SKIP() << "the Ogg Vorbis codec driver is not installed in this run";
  TempDir dir;
  vorbis_writer::Stream plain;
  plain.packets = 400;
  vorbis_writer::Stream talkative = plain;
  talkative.comments = 4000000;
  ASSERT_TRUE(WriteFileBytes(dir.File("plain.ogg"), vorbis_writer::Write(plain)));
  ASSERT_TRUE(WriteFileBytes(dir.File("tables.ogg"), ResidueTablesStream()));
  ASSERT_TRUE(WriteFileBytes(dir.File("comments.ogg"), vorbis_writer::Write(talkative)));
  const Decoded good = DecodeWithTool(dir, dir.File("plain.ogg"));
  ASSERT_EQ(good.exit_code, std::optional<DWORD>(0)) << good.said;
  ASSERT_GT(good.peak_kb, 0u) << good.said;
  constexpr unsigned long kBudgetKb = 64 * 1024;

  const Decoded tables = DecodeWithTool(dir, dir.File("tables.ogg"));
  EXPECT_EQ(tables.exit_code, std::optional<DWORD>(1)) << tables.said;
  EXPECT_NE(tables.said.find("acmStreamConvert: 7"), std::string::npos) << "MMSYSERR_NOMEM: " << tables.said;
  EXPECT_LE(tables.peak_kb, good.peak_kb + kBudgetKb) << tables.said;

  const Decoded comments = DecodeWithTool(dir, dir.File("comments.ogg"));
  EXPECT_EQ(comments.exit_code, std::optional<DWORD>(0)) << comments.said;
  EXPECT_LE(comments.peak_kb, good.peak_kb + 2 * 16 * 1024 + 8 * 1024) << comments.said;
  std::printf("peak working set: %lu KB (a good stream), %lu KB (residue tables), %lu KB (16 MB of comments)\n",
              good.peak_kb, tables.peak_kb, comments.peak_kb);
}

// With TAPEON_LONG set: an hour of stereo Ogg Vorbis decodes to its last
// frame through the compression manager in 8 KB blocks, the host's memory
// no larger than for two minutes.
TEST(OggCodec, AnHourDecodesInTheMemoryOfTwoMinutes) {
  if (!OggCodecSession()) GTEST_SKIP() << "the Ogg Vorbis codec driver is not installed in this run";
  if (GetEnvironmentVariableA("TAPEON_LONG", nullptr, 0) == 0 || JapaneseSession()) {
    GTEST_SKIP() << "the long files are made and played with TAPEON_LONG (English run)";
  }
  if (!FileExists(FixturePath("codec_60min.ogg"))) GTEST_SKIP() << "make the fixtures with TAPEON_LONG=1";
  TempDir dir;
  const Decoded two = DecodeWithTool(dir, FixturePath("codec_2min.ogg"));
  const Decoded hour = DecodeWithTool(dir, FixturePath("codec_60min.ogg"));
  std::printf("two minutes: %s\nan hour: %s\n", two.said.c_str(), hour.said.c_str());
  ASSERT_EQ(two.exit_code, std::optional<DWORD>(0));
  ASSERT_EQ(hour.exit_code, std::optional<DWORD>(0));
  EXPECT_NE(two.said.find("(5292000 frames)"), std::string::npos);
  EXPECT_NE(hour.said.find("(158760000 frames)"), std::string::npos) << "every frame of the hour";
  EXPECT_LE(hour.peak_kb, two.peak_kb + 2048) << "memory grows with the length";
}

// Six channels: the driver offers extensible PCM with the 5.1 speaker mask,
// which the output device takes, and gives the channels in the WAVE order
// (the centre channel of the file, 600 Hz, third).
TEST(OggCodec, SixChannelsAsExtensiblePcm) {
  if (!OggCodecSession()) GTEST_SKIP() << "the Ogg Vorbis codec driver is not installed in this run";
  if (!FileExists(FixturePath("codec_six.ogg"))) GTEST_SKIP() << "make the fixtures with tests/fixtures/codec.sh";
  TempDir dir;
  const std::string out = dir.File("six.raw"), log = dir.File("six.txt");
  const std::string tool = ModuleDir() + "\\tool_acm_decode.exe";
  const std::string command = "cmd /c \"\"" + tool + "\" \"" + FixturePath("codec_six.ogg") + "\" \"" + out +
                              "\" 8192 suggest > \"" + log + "\"\"";
  ASSERT_EQ(RunProgram(command), std::optional<DWORD>(0));
  const std::string said = ReadFileBytes(log).value_or("");
  EXPECT_NE(said.find("format 0xFFFE, 6 channels, mask 0x3F; the device takes it: yes"), std::string::npos) << said;
  const std::string pcm = ReadFileBytes(out).value_or("");
  ASSERT_GT(pcm.size(), 12u * 44100);
  std::vector<int16_t> centre(pcm.size() / 12);
  for (size_t k = 0; k < centre.size(); ++k) std::memcpy(&centre[k], pcm.data() + 12 * k + 4, 2);
  EXPECT_NEAR(MeasureFrequency(centre, 44100), 600.0, 6.0);
}

// A 5.1 file, which Wine's mapper refuses (it offers the device plain PCM
// only): TAPEON converts it itself to the extensible PCM the codec suggests.
// The device gets every frame of the file, the held-back end included, each
// channel its own tone in the WAVE order, streaming and on memory (pieces).
// So also at oggenc's lowest quality, where a block of the file decodes to
// far more than its bytes (84 kbit/s nominal against 4.2 Mbit/s of PCM).
TEST_F(OggPlayback, SixChannelsReachTheDeviceWhole) {
  if (!FileExists(FixturePath("codec_six_low.ogg"))) GTEST_SKIP() << "make the fixtures with tests/fixtures/codec.sh";
  constexpr size_t kFrameBytes = 12, kFrames = 2 * 44100;
  for (const char* file : {"codec_six.ogg", "codec_six_low.ogg"}) {
    for (const char* on_memory : {"0", "1"}) {
      SCOPED_TRACE(std::string(file) + ", OnMem=" + on_memory);
      ASSERT_TRUE(WriteSettings(dir_, {{"OnMem", on_memory}, {"levelwarning", "0"}}));
      const std::string device = PlayWatched(FixturePath(file));
      // Ahead of the sound at most a silent frame for each block of headers
      // only (the driver's answer to a block that completes no page: one or
      // two of them), nothing else.
      ASSERT_GE(device.size(), kFrames * kFrameBytes);
      const size_t ahead = device.size() / kFrameBytes - kFrames;
      EXPECT_LE(ahead, 2u);
      EXPECT_EQ(device.substr(0, ahead * kFrameBytes), std::string(ahead * kFrameBytes, '\0'));
      const double tones[] = {300, 450, 600, 150, 750, 900};
      for (int channel = 0; channel < 6; ++channel) {
        std::vector<int16_t> samples(device.size() / kFrameBytes);
        for (size_t k = 0; k < samples.size(); ++k)
          std::memcpy(&samples[k], device.data() + kFrameBytes * k + 2 * channel, 2);
        EXPECT_NEAR(MeasureFrequency(samples, 44100), tones[channel], tones[channel] * 0.01) << "channel " << channel;
      }
    }
  }
}

// Damaged files: without valid headers the start fails with the program's
// message; a bad page or a cut file plays what it can to the end (a file cut
// inside its headers, nothing: whether more would have come is not known).
TEST_F(OggPlayback, DamagedFilesNeverHang) {
  ASSERT_TRUE(WriteSettings(dir_, {{"OnMem", "0"}, {"levelwarning", "0"}}));
  // The second: a setup that asks for gigabytes (OggCodec.HostileStreamsEndWithinTheBudget).
  const std::string tables = dir_.File("tables.ogg");
  ASSERT_TRUE(WriteFileBytes(tables, ResidueTablesStream()));
  for (const std::string& name : {FixturePath("codec_bad_setup.ogg"), tables}) {
    auto app = Launch(dir_, name);
    ASSERT_TRUE(app->PostCommand(IDM_START));
    std::optional<MessageBoxInfo> box = app->AnswerMessageBox(IDOK, kRunTimeoutMs);
    ASSERT_TRUE(box) << "no message for a stream without valid headers: " << name;
    EXPECT_EQ(box->text, Pick("failed WaveOutWrite", ja::audio::kWaveOutWriteFailed)) << name;
    EXPECT_TRUE(WaitForIdle(*app, PlayText())) << name;
    EXPECT_EQ(app->CloseAndWait(), std::optional<DWORD>(0)) << name;
  }
  for (const char* name : {"codec_bad_page.ogg", "codec_cut.ogg", "codec_cut_headers.ogg"}) {
    auto played = Launch(dir_, FixturePath(name) + " /P");
    EXPECT_TRUE(played->WaitForExit(kRunTimeoutMs)) << name << " must play to its end";
    EXPECT_EQ(played->ExitCode(), 0u) << name;
  }
}

// On memory, a WAVE file of the Ogg Vorbis tag whose data holds no Ogg page
// in its first 256 KB and is larger than the memory block: once the codec
// gives up, the next piece cannot be handed to the device, and the run ends
// with the program's message (it never reads the file into blocks that do
// not exist on memory), and again the next time.
TEST_F(OggPlayback, RefusedPieceOnMemoryEndsWithAMessage) {
  ASSERT_TRUE(WriteSettings(dir_, {{"OnMem", "1"}, {"MemSize", "1"}, {"levelwarning", "0"}}));
  std::string noise(3u << 19, '\0');
  uint32_t x = 12345;
  for (char& c : noise) c = static_cast<char>((x = x * 1103515245 + 12345) >> 16);
  const std::string format = riff_bytes::FormatBody(0x674F, 2, 44100, 16000, 4, 16) + riff_bytes::Le16(8) +
                             riff_bytes::Le32(0x20001214) + riff_bytes::Le32(0x20001031);
  const std::string file = dir_.File("no_pages.wav");
  ASSERT_TRUE(WriteFileBytes(file, riff_bytes::Riff("WAVE", riff_bytes::Chunk("fmt ", format) +
                                                                riff_bytes::Chunk("data", noise))));
  auto app = Launch(dir_, file);
  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE(run == 0 ? "first run" : "the same again");
    ASSERT_TRUE(app->PostCommand(IDM_START));
    std::optional<MessageBoxInfo> box = app->AnswerMessageBox(IDOK, kRunTimeoutMs);
    ASSERT_TRUE(box) << "the run must end with a message";
    EXPECT_EQ(box->text, Pick("failed WaveOutWrite", ja::audio::kWaveOutWriteFailed));
    EXPECT_TRUE(WaitForIdle(*app, PlayText(), kRunTimeoutMs));
    ASSERT_FALSE(app->Exited());
  }
  EXPECT_EQ(app->CloseAndWait(), std::optional<DWORD>(0));
}

}  // namespace
