// End-to-end tests of recording: the host plays a signal into the sound
// server's null sink while TAPEON records its monitor. What the input device
// gives back to the program is watched (the probe subclasses its window), and
// the file must hold exactly those bytes: a gap, a repeat or a reordering at a
// buffer boundary is the program's. The signal itself only has to be there:
// the way through Wine and the sound server may drop frames on a busy
// machine. The signal is started well before the recording: a new stream
// makes the null sink's monitor skip or repeat a few hundred milliseconds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "driver.h"
#include "engine_signal.h"
#include "meter/level_report.h"
#include "resources/ja_sound_files.h"
#include "audio/transport_math.h"
#include "sound_files/file_series.h"
#include "resources/ja_audio.h"
#include "resources/resource_ids.h"

using namespace e2e;
using namespace engine_test;

namespace {

constexpr DWORD kSignalLead = 1500;          // ms of signal before recording starts
constexpr uint32_t kSignalFrames = 44100 * 60;
constexpr DWORD kRunTimeoutMs = 60000;  // for what takes seconds, on a machine as busy as it gets
constexpr uint32_t kStereo16Rate = 176400;  // bytes per second at 44.1 kHz 16-bit stereo

// How the recorded data came from what the device delivered: -1 when it did
// not, else the number of delivered bytes left out in one stretch (0 when the
// data is all of them). `at` is where that stretch begins in the data.
long SplicedFrom(const std::string& data, const std::string& delivered, size_t* at = nullptr) {
  if (data.size() > delivered.size()) return -1;
  size_t same = 0;
  while (same < data.size() && data[same] == delivered[same]) ++same;
  const size_t rest = data.size() - same;
  if (delivered.compare(delivered.size() - rest, rest, data, same, rest) != 0) return -1;
  if (at) *at = same;
  return static_cast<long>(delivered.size() - data.size());
}

// TAPEON_fault.EXE (tests/wine/fault_build.h) with a fault asked for in its
// environment.
LaunchOptions FaultBuild(const std::string& variable, const std::string& value) {
  LaunchOptions options;
  options.program = ModuleDir() + "\\TAPEON_fault.EXE";
  options.environment = {{variable, value}};
  return options;
}

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

  // Opens the New dialog and prepares a 44.1 kHz 16-bit stereo (or 8-bit mono)
  // recording into `path`, with a time limit in minutes when `limit` is not empty.
  void PrepareWithDialog(Tapeon& app, const std::string& path, const std::string& limit = "", bool stereo16 = true) {
    ASSERT_TRUE(app.PostCommand(IDM_NEW));
    HWND dialog = app.WaitForDialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(SetControlText(dialog, IDC_NEW_NAME, path));
    SetCheck(dialog, IDC_NEW_44K, true);
    SetCheck(dialog, stereo16 ? IDC_NEW_STEREO : IDC_NEW_MONO, true);
    SetCheck(dialog, stereo16 ? IDC_NEW_16BIT : IDC_NEW_8BIT, true);
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

  // The recording holds the signal the host played: most of its frames are
  // the ramp (or the staircase) the host played.
  static void ExpectTheSignal(const Wave& w, bool stereo16 = true) {
    size_t signal = 0, frames = w.data_size / w.block_align;
    if (stereo16) {
      for (long v : RampIndices(w.data(), w.data_size)) signal += v >= 0;
    } else {
      for (size_t k = 0; k < frames; ++k) signal += w.data()[k] != 0x80;
    }
    EXPECT_GT(signal, frames / 2) << signal << " of " << frames << " frames are the signal";
  }

  // Starts TAPEON without a file, prepares `path` in the New dialog and
  // watches what the input device delivers into delivered_.
  std::unique_ptr<Tapeon> PrepareWatched(const std::string& path, bool stereo16 = true) {
    auto app = Launch(dir_, "");
    EXPECT_NE(app->main_window(), nullptr);
    PrepareWithDialog(*app, path, "", stereo16);
    EXPECT_TRUE(app->WatchRecording(delivered_)) << "the probe could not watch the input";
    return app;
  }

  std::string Delivered() {
    std::optional<std::string> bytes = ReadFileBytes(delivered_);
    return bytes ? *bytes : "";
  }

  // Lets the device deliver `seconds` more of sound. Streaming, it hands each
  // buffer back as it fills; on memory it keeps one block until the run
  // pauses or ends, so there is nothing to wait for but the time itself.
  void LetRecord(double seconds, bool on_memory, uint32_t bytes_per_second = kStereo16Rate) {
    if (on_memory) {
      Sleep(static_cast<DWORD>(seconds * 1000));
      return;
    }
    const size_t target = Delivered().size() + static_cast<size_t>(seconds * bytes_per_second);
    ASSERT_TRUE(WaitUntil([&] { return Delivered().size() >= target; }, kRunTimeoutMs));
  }

  static std::string Data(const Wave& w) { return std::string(reinterpret_cast<const char*>(w.data()), w.data_size); }

  // A run that counted dropouts (a busy machine can lose input) shows them
  // in a box of their own once it has ended, the level report off: answered
  // here, where the test goes on with the window. The sent message returns
  // once TAPEON waits for input again, in that box or in its window.
  static void AnswerDropoutsIfAny(Tapeon& app) {
    DWORD_PTR result = 0;
    SendMessageTimeoutA(app.main_window(), WM_NULL, 0, 0, SMTO_NORMAL, kRunTimeoutMs, &result);
    for (HWND box : app.Dialogs()) {
      std::optional<MessageBoxInfo> info = AnswerBox(box, IDOK);
      ASSERT_TRUE(info);
      EXPECT_EQ(info->caption, kDropoutCaption) << info->text;
    }
  }

  void RecordAndCheck(bool on_memory, bool stereo16) {
    ASSERT_TRUE(WriteSettings(dir_, {{"OnMem", on_memory ? "1" : "0"}, {"levelwarning", "0"}}));
    ASSERT_NO_FATAL_FAILURE(StartSignal(!stereo16));
    const std::string path = dir_.File("rec.wav");
    auto app = PrepareWatched(path, stereo16);
    const uint32_t bytes_per_second = stereo16 ? kStereo16Rate : 44100;
    ASSERT_TRUE(app->PostCommand(IDM_START));
    ASSERT_TRUE(WaitUntil([&] { return app->ButtonEnabled(IDM_STOP); }, kRunTimeoutMs)) << "recording did not start";
    ASSERT_NO_FATAL_FAILURE(LetRecord(4, on_memory, bytes_per_second));
    ASSERT_TRUE(app->PostCommand(IDM_STOP));
    ASSERT_TRUE(WaitForIdle(*app, PlayText(), kRunTimeoutMs)) << "recording did not end as the current file for playing";
    EXPECT_EQ(app->CloseAndWait(), std::optional<DWORD>(0));

    std::optional<Wave> w = ReadWave(path);
    ASSERT_TRUE(w);
    ExpectHeader(*w, stereo16 ? 2 : 1, stereo16 ? 16 : 8);
    EXPECT_GE(w->data_size, 2u * bytes_per_second);
    EXPECT_EQ(SplicedFrom(Data(*w), Delivered()), 0) << "the file must hold what the device delivered, all of it";
    ExpectTheSignal(*w, stereo16);
  }

  TempDir dir_;
  std::string delivered_ = dir_.File("delivered.raw");
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
  auto app = PrepareWatched(path);
  ASSERT_TRUE(app->PostCommand(IDM_START));
  ASSERT_TRUE(WaitUntil([&] { return app->ButtonEnabled(IDM_STOP); }, kRunTimeoutMs));
  // A streaming file grows buffer by buffer; an on-memory one only at the pause.
  ASSERT_NO_FATAL_FAILURE(LetRecord(3, on_memory));
  if (!on_memory) {
    ASSERT_TRUE(WaitUntil([&] { return FileSize(path) >= 44 + 2 * 65536; }, kRunTimeoutMs));
  }
  ASSERT_TRUE(app->PostCommand(IDM_PAUSE));
  ASSERT_TRUE(WaitUntil([&] { return app->ButtonText(IDM_PAUSE) == "Cont"; }, kRunTimeoutMs));
  // The buffer that comes back first after the pause is still written.
  ASSERT_NO_FATAL_FAILURE(LetRecord(2, on_memory));
  const long long paused_size = FileSize(path);
  ASSERT_NO_FATAL_FAILURE(LetRecord(1, on_memory));
  EXPECT_EQ(FileSize(path), paused_size) << "nothing may be written while paused";
  EXPECT_GT(paused_size, 44 + 65536) << "the audio before the pause must be in the file";
  ASSERT_TRUE(app->PostCommand(IDM_PAUSE));
  ASSERT_TRUE(WaitUntil([&] { return app->ButtonText(IDM_PAUSE) == "Pause"; }, kRunTimeoutMs));
  ASSERT_NO_FATAL_FAILURE(LetRecord(1, on_memory));
  ASSERT_TRUE(app->PostCommand(IDM_STOP));
  ASSERT_TRUE(WaitForIdle(*app, PlayText(), kRunTimeoutMs));
  EXPECT_EQ(app->CloseAndWait(), std::optional<DWORD>(0));

  std::optional<Wave> w = ReadWave(path);
  ASSERT_TRUE(w);
  ExpectHeader(*w, 2, 16);
  size_t at = 0;
  const long skipped = SplicedFrom(Data(*w), Delivered(), &at);
  ASSERT_GE(skipped, 0) << "the file must hold what the device delivered, less the paused time";
  // Streaming, the device goes on delivering while paused, and the program
  // drops it; on memory the device is held.
  if (!on_memory) {
    EXPECT_GE(skipped, static_cast<long>(3 * kStereo16Rate)) << "the paused time must not be in the file";
  }
  EXPECT_EQ(at, static_cast<size_t>(paused_size - 44))
      << "everything written up to the pause is what was delivered before it, and the rest follows Cont";
  ExpectTheSignal(*w);
}

INSTANTIATE_TEST_SUITE_P(Modes, RecordingPause, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "OnMemory" : "Streaming";
                         });

TEST_F(Recording, StandbyWritesNothingUntilCont) {
  ASSERT_TRUE(WriteSettings(dir_, {{"OnMem", "0"}, {"levelwarning", "0"}}));
  ASSERT_NO_FATAL_FAILURE(StartSignal());
  const std::string path = dir_.File("standby.wav");
  auto app = PrepareWatched(path);
  ASSERT_TRUE(app->PostCommand(IDM_PAUSE));  // start on standby
  ASSERT_TRUE(WaitUntil([&] { return app->ButtonText(IDM_PAUSE) == "Cont" && app->ButtonEnabled(IDM_STOP); },
                        kRunTimeoutMs));
  EXPECT_FALSE(app->ButtonEnabled(IDM_START));
  ASSERT_TRUE(WaitUntil([&] { return Delivered().size() >= 2 * kStereo16Rate; }, kRunTimeoutMs));
  EXPECT_EQ(FileSize(path), 44) << "standby writes nothing";
  ASSERT_TRUE(app->PostCommand(IDM_PAUSE));
  ASSERT_TRUE(WaitUntil([&] { return app->ButtonText(IDM_PAUSE) == "Pause"; }, kRunTimeoutMs));
  const size_t delivered_at_cont = Delivered().size();
  ASSERT_TRUE(WaitUntil([&] { return Delivered().size() >= delivered_at_cont + 2 * kStereo16Rate; }, kRunTimeoutMs));
  ASSERT_TRUE(app->PostCommand(IDM_STOP));
  ASSERT_TRUE(WaitForIdle(*app, PlayText(), kRunTimeoutMs));
  EXPECT_EQ(app->CloseAndWait(), std::optional<DWORD>(0));

  std::optional<Wave> w = ReadWave(path);
  ASSERT_TRUE(w);
  ExpectHeader(*w, 2, 16);
  EXPECT_GE(w->data_size, 2 * kStereo16Rate);
  size_t at = 1;
  EXPECT_GE(SplicedFrom(Data(*w), Delivered(), &at), static_cast<long>(2 * kStereo16Rate))
      << "nothing of the standby time is in the file";
  EXPECT_EQ(at, 0u) << "the file is what came after Cont";
  ExpectTheSignal(*w);
}

TEST_F(Recording, StopDuringStandbyRemovesTheEmptyFile) {
  ASSERT_TRUE(WriteSettings(dir_, {{"OnMem", "0"}, {"levelwarning", "0"}}));
  const std::string path = dir_.File("empty.wav");
  auto app = Launch(dir_, "");
  ASSERT_NO_FATAL_FAILURE(PrepareWithDialog(*app, path));
  ASSERT_TRUE(FileExists(path));
  ASSERT_TRUE(app->PostCommand(IDM_PAUSE));
  ASSERT_TRUE(WaitUntil([&] { return app->ButtonText(IDM_PAUSE) == "Cont" && app->ButtonEnabled(IDM_STOP); }, kTimeoutMs));
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
  ASSERT_TRUE(WaitUntil([&] { return app->ButtonEnabled(IDM_STOP); }, kTimeoutMs));
  ASSERT_TRUE(WaitUntil([&] { return app->ButtonText(IDM_PAUSE) == "Cont"; }, kTimeoutMs)) << "the limit did not pause";
  // The buffer that comes back after the pause still lands in the file.
  EXPECT_TRUE(WaitUntil([&] { return FileSize(path) - 44 >= 3 * 176400; }, kTimeoutMs));
  const long long first = FileSize(path) - 44;
  EXPECT_LT(first, 3 * 176400 + 2 * 65536);
  ASSERT_TRUE(app->PostCommand(IDM_PAUSE));
  ASSERT_TRUE(WaitUntil([&] { return app->ButtonText(IDM_PAUSE) == "Pause"; }, kTimeoutMs));
  ASSERT_TRUE(WaitUntil([&] { return app->ButtonText(IDM_PAUSE) == "Cont"; }, kTimeoutMs)) << "the next limit is 6 s";
  EXPECT_TRUE(WaitUntil([&] { return FileSize(path) - 44 >= 6 * 176400; }, kTimeoutMs));
  const long long second = FileSize(path) - 44;
  EXPECT_LT(second, 6 * 176400 + 2 * 65536);
  ASSERT_TRUE(app->PostCommand(IDM_STOP));
  ASSERT_TRUE(WaitForIdle(*app, PlayText()));
  EXPECT_EQ(app->CloseAndWait(), std::optional<DWORD>(0));
}

// The fault build holds the input back for a moment: the dropouts show no box
// that would keep the program from ending, with the level report off, and
// with it on (as by default) when nothing was measured, so that it has
// nothing to say.
TEST_F(Recording, TimeLimitWithRecordOptionStopsAndExits) {
  // Silence first: nothing plays into the sound card before the signal starts.
  for (const bool signal : {false, true}) {
    SCOPED_TRACE(signal ? "a signal, the level report off" : "silence, the level report on");
    ASSERT_TRUE(WriteSettings(dir_, {{"OnMem", "0"}, {"levelwarning", signal ? "0" : "1"}}));
    if (signal) ASSERT_NO_FATAL_FAILURE(StartSignal());
    const std::string path = dir_.File(signal ? "limit.wav" : "quiet.wav");
    auto app = Launch(dir_, path + " /R/S/H/44/T0.05", FaultBuild("TAPEON_FAULT_WITHHOLD_INPUT", "6,1500"));
    ASSERT_TRUE(app->WaitForExit(kTimeoutMs)) << "TAPEON must end at the limit";
    EXPECT_EQ(app->ExitCode(), 0u);
    std::optional<Wave> w = ReadWave(path);
    ASSERT_TRUE(w);
    ExpectHeader(*w, 2, 16);
    EXPECT_GE(w->data_size, 3u * 176400);
    EXPECT_LT(w->data_size, 3u * 176400 + 3 * 65536);
    if (signal) ExpectTheSignal(*w);
  }
}

TEST_F(Recording, FullMemoryBlockEndsTheRunWithTheReport) {
  ASSERT_TRUE(WriteSettings(dir_, {{"OnMem", "1"}, {"MemSize", "2"}, {"levelwarning", "1"}}));
  ASSERT_NO_FATAL_FAILURE(StartSignal());
  const std::string path = dir_.File("full.wav");
  auto app = Launch(dir_, path + " /R/S/H/44");
  ASSERT_TRUE(WaitUntil([&] { return app->ButtonEnabled(IDM_STOP); }, kTimeoutMs));
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
  ExpectTheSignal(*w);
}

// The fault build shows its display timer as this window property.
bool DisplayTimerRuns(Tapeon& app) { return GetPropA(app.main_window(), "TapeonDisplayTimer") != nullptr; }

bool Idle(Tapeon& app) { return app.ButtonEnabled(IDM_START) && !app.ButtonEnabled(IDM_STOP); }

// A Cont whose input cannot start ends the on-memory run, and its display
// timer with it: a tick left running would write over the position of a later
// run and could pause it from the device position.
TEST_F(Recording, FailedContEndsTheDisplayTimerWithTheRun) {
  ASSERT_TRUE(WriteSettings(dir_, {{"OnMem", "1"}, {"levelwarning", "0"}}));
  // The third start of the input is the Cont's (start, Pause, Cont).
  auto app = Launch(dir_, dir_.File("cont.wav") + " /R/S/H/44", FaultBuild("TAPEON_FAULT_WAVEIN_START", "3"));
  ASSERT_NE(app->main_window(), nullptr);
  ASSERT_TRUE(WaitUntil([&] { return app->ButtonEnabled(IDM_STOP); }, kRunTimeoutMs));
  EXPECT_TRUE(DisplayTimerRuns(*app));
  ASSERT_TRUE(app->PostCommand(IDM_PAUSE));
  ASSERT_TRUE(WaitUntil([&] { return app->ButtonText(IDM_PAUSE) == "Cont"; }, kRunTimeoutMs));
  ASSERT_TRUE(app->PostCommand(IDM_PAUSE));
  std::optional<MessageBoxInfo> box = app->AnswerMessageBox(IDOK, kRunTimeoutMs);
  ASSERT_TRUE(box) << "no message when the input could not start again";
  EXPECT_EQ(box->text, Pick("Rec failed", ja::audio::kRecFailed));
  ASSERT_TRUE(WaitUntil([&] { return Idle(*app); }, kRunTimeoutMs)) << "the run did not end";
  EXPECT_FALSE(DisplayTimerRuns(*app)) << "the display timer outlived the run";
  EXPECT_EQ(app->CloseAndWait(), std::optional<DWORD>(0));
}

// A wave header that could not be had (at the window's creation here; in
// place of one a lost device keeps, in use) is made again at the next start,
// which then runs.
TEST_F(Recording, MissingHeaderIsMadeAgainAtTheNextStart) {
  ASSERT_TRUE(WriteSettings(dir_, {{"OnMem", "0"}, {"levelwarning", "0"}}));
  LaunchOptions options = FaultBuild("TAPEON_FAULT_HEADER_ALLOCS", "1");
  options.profile_dir = dir_.path();
  options.arguments = dir_.File("header.wav") + " /R/S/H/44";
  Tapeon app(options);  // its window comes up after the box of its creation
  std::optional<MessageBoxInfo> box = app.AnswerMessageBox(IDOK);
  ASSERT_TRUE(box) << "no message when a header could not be had";
  EXPECT_EQ(box->text, Pick("header alloc failed", ja::audio::kHeaderAllocFailed));
  ASSERT_NE(app.WaitForMainWindow(), nullptr);
  ASSERT_TRUE(WaitUntil([&] { return app.ButtonEnabled(IDM_STOP) || !app.Dialogs().empty(); }, kRunTimeoutMs));
  EXPECT_TRUE(app.Dialogs().empty()) << ReadMessageBox(app.Dialogs()[0]).text;
  ASSERT_TRUE(app.ButtonEnabled(IDM_STOP)) << "the start was refused";
  ASSERT_TRUE(app.PostCommand(IDM_STOP));
  ASSERT_TRUE(WaitUntil([&] { return Idle(app); }, kRunTimeoutMs));
  EXPECT_EQ(app.CloseAndWait(), std::optional<DWORD>(0));
}

// A streaming file is a whole WAVE file whatever ends the program: killed,
// it holds every block written (sox reads it, TAPEON opens it without a
// word). Sound written after the header's last update is offered back, and a
// file whose RIFF size reads 0 (an older recording) is still repaired.
TEST_F(Recording, KilledStreamingRecordingIsAWholeWaveFile) {
  ASSERT_TRUE(WriteSettings(dir_, {{"OnMem", "0"}, {"levelwarning", "0"}}));
  ASSERT_NO_FATAL_FAILURE(StartSignal());
  const std::string path = dir_.File("killed.wav");
  {
    auto app = PrepareWatched(path);
    ASSERT_TRUE(app->PostCommand(IDM_START));
    ASSERT_TRUE(WaitUntil([&] { return FileSize(path) > 44 + 3 * 65536; }, kRunTimeoutMs));
    ASSERT_TRUE(TerminateProcess(app->process(), 9));
    ASSERT_TRUE(app->WaitForExit());
  }
  std::optional<Wave> killed = ReadWave(path);
  ASSERT_TRUE(killed);
  ExpectHeader(*killed, 2, 16);
  const std::string data = Data(*killed), delivered = Delivered();
  EXPECT_EQ(delivered.compare(0, data.size(), data), 0) << "the file holds what the device delivered";
  EXPECT_LE(delivered.size(), data.size() + 65536) << "no more than the last block may be missing";
  const std::string samples = dir_.File("samples.txt");
  HostScript sox(dir_, "sox", "sox --i -s '" + HostPath(path) + "' > '" + HostPath(samples) + "'");
  ASSERT_TRUE(sox.Wait());
  EXPECT_EQ(sox.Status(), 0);
  EXPECT_EQ(std::atol(ReadFileBytes(samples).value_or("").c_str()), static_cast<long>(data.size() / 4));

  auto opens = [&](int answer) {
    auto app = Launch(dir_, path);
    std::optional<MessageBoxInfo> box;
    if (answer != 0) box = app->AnswerMessageBox(answer);
    EXPECT_TRUE(WaitForIdle(*app, PlayText()));
    EXPECT_TRUE(app->Dialogs().empty());
    EXPECT_EQ(app->CloseAndWait(), std::optional<DWORD>(0));
    return box;
  };
  EXPECT_FALSE(opens(0));
  // Its header one block behind, as if cut off before the last update.
  auto set_sizes = [&](uint32_t riff, uint32_t data_size) {
    std::string bytes = ReadFileBytes(path).value_or("");
    std::memcpy(&bytes[4], &riff, 4);
    std::memcpy(&bytes[40], &data_size, 4);
    ASSERT_TRUE(WriteFileBytes(path, bytes));
  };
  set_sizes(killed->riff_size - 65536, killed->data_size - 65536);
  std::optional<MessageBoxInfo> tail = opens(IDYES);
  ASSERT_TRUE(tail) << "the sound after the header's end is not offered";
  char offer[200];
  snprintf(offer, sizeof offer, Pick(en::files::kRecoverTail, ja::files::kRecoverTail).c_str(), 65536 / 176400.0);
  EXPECT_EQ(tail->text, offer);
  set_sizes(0, killed->data_size - 65536);
  std::optional<MessageBoxInfo> old = opens(IDYES);
  ASSERT_TRUE(old) << "a file whose RIFF size reads 0 must be offered for repair";
  EXPECT_EQ(old->text, Pick("File destroyed. Recover?", ja::files::kRecover));
  std::optional<Wave> whole = ReadWave(path);
  ASSERT_TRUE(whole);
  ExpectHeader(*whole, 2, 16);
  EXPECT_EQ(Data(*whole), data) << "the repairs give the recording back whole";
}

// Past the size a file may have (lowered by the fault build), a streaming
// recording goes on into TAKE (2).WAV, TAKE (3).WAV, ... passing over a name
// that is taken: every file a whole WAVE file, together exactly what the
// device delivered, the time limit and the level report the whole run's.
TEST_F(Recording, LongRecordingGoesOnInNumberedFiles) {
  constexpr uint32_t kBlocksPerFile = 5;
  ASSERT_TRUE(WriteSettings(dir_, {{"OnMem", "0"}, {"levelwarning", "1"}}));
  ASSERT_NO_FATAL_FAILURE(StartSignal());
  const std::string first = dir_.File("TAKE.WAV");
  ASSERT_TRUE(WriteFileBytes(dir_.File("TAKE (3).WAV"), "taken"));
  auto app = Launch(dir_, "", FaultBuild("TAPEON_FAULT_FILE_LIMIT", std::to_string(44 + kBlocksPerFile * 65536)));
  ASSERT_NO_FATAL_FAILURE(PrepareWithDialog(*app, first, "0.1"));  // 6 s
  ASSERT_TRUE(app->WatchRecording(delivered_));
  ASSERT_TRUE(app->PostCommand(IDM_START));
  ASSERT_TRUE(WaitUntil([&] { return app->ButtonText(IDM_PAUSE) == "Cont"; }, kRunTimeoutMs))
      << "the time limit, counted over all the files, did not pause";
  ASSERT_TRUE(app->PostCommand(IDM_STOP));
  std::optional<MessageBoxInfo> report = app->AnswerMessageBox(IDOK, kRunTimeoutMs);
  ASSERT_TRUE(report) << "no level report";
  const LevelReport levels = ComposeLevelReport(kRampBase + kRampPeriod - 1, 0, 3, 1, JapaneseSession());
  EXPECT_EQ(report->text.compare(0, levels.text.size(), levels.text), 0) << report->text;
  ASSERT_TRUE(WaitForIdle(*app, PlayText(), kRunTimeoutMs));

  std::string data;
  std::vector<std::string> names;
  for (unsigned number = 1; number < 20; ++number) {
    const std::string name = number == 1 ? first : SeriesFileName(first, number);
    if (number == 3 || !FileExists(name)) continue;
    names.push_back(name);
    std::optional<Wave> w = ReadWave(name);
    ASSERT_TRUE(w) << name;
    ExpectHeader(*w, 2, 16);
    EXPECT_LE(w->bytes.size(), 44 + kBlocksPerFile * 65536) << name;
    data += Data(*w);
  }
  std::printf("%zu files, %zu bytes of sound\n", names.size(), data.size());
  ASSERT_GE(names.size(), 4u);
  EXPECT_EQ(ReadFileBytes(dir_.File("TAKE (3).WAV")), std::optional<std::string>("taken"));
  EXPECT_NE(app->Title().find(names.back().substr(names.back().rfind('\\') + 1)), std::string::npos)
      << "the last file is the current one: " << app->Title();
  EXPECT_EQ(app->CloseAndWait(), std::optional<DWORD>(0));
  EXPECT_GE(data.size(), 6u * kStereo16Rate);
  EXPECT_LT(data.size(), 6u * kStereo16Rate + 3 * 65536);
  size_t at = 0;
  EXPECT_GE(SplicedFrom(data, Delivered(), &at), 0) << "a frame lost or repeated between the files";
  EXPECT_EQ(at, data.size()) << "only what came while paused is left out";
  ExpectTheSignal(*ReadWave(first));
}

// A night's recording asks the system every 5 s to put its file on the
// disk, which can take seconds. The fault build holds each flush for 5 s and
// makes the program's writes through the same file object wait for it, as
// Windows does: the input must not wait with them (four blocks hold 1.5 s).
// Every frame delivered is in the file, and no second of the ramp is
// missing. The "Free:" line shows the drive's room as it is, past 2 GB.
TEST_F(Recording, HeldFlushHoldsUpNothing) {
  ASSERT_TRUE(WriteSettings(dir_, {{"OnMem", "0"}, {"levelwarning", "0"}}));
  ASSERT_NO_FATAL_FAILURE(StartSignal());
  const std::string path = dir_.File("night.wav"), texts = dir_.File("texts.txt");
  LaunchOptions options = FaultBuild("TAPEON_FAULT_SLOW_FLUSH", "5000");
  options.environment.push_back({"TAPEON_FAULT_TEXT_LOG", texts});
  ULARGE_INTEGER room_before{}, room_after{};
  ASSERT_TRUE(GetDiskFreeSpaceExA(dir_.path().c_str(), &room_before, nullptr, nullptr));
  auto app = Launch(dir_, "", options);
  ASSERT_NO_FATAL_FAILURE(PrepareWithDialog(*app, path));
  ASSERT_TRUE(app->WatchRecording(delivered_));
  ASSERT_TRUE(app->PostCommand(IDM_START));
  auto flushes_held = [&] { return reinterpret_cast<ULONG_PTR>(GetPropA(app->main_window(), "TapeonFlushesHeld")); };
  ASSERT_TRUE(WaitUntil([&] { return flushes_held() >= 1; }, kRunTimeoutMs)) << "no flush was held";
  ASSERT_NO_FATAL_FAILURE(LetRecord(6, false));  // the whole hold falls within the run
  ASSERT_TRUE(app->PostCommand(IDM_STOP));
  ASSERT_TRUE(WaitForIdle(*app, PlayText(), kRunTimeoutMs));
  EXPECT_EQ(app->CloseAndWait(), std::optional<DWORD>(0));
  ASSERT_TRUE(GetDiskFreeSpaceExA(dir_.path().c_str(), &room_after, nullptr, nullptr));

  std::optional<Wave> w = ReadWave(path);
  ASSERT_TRUE(w);
  ExpectHeader(*w, 2, 16);
  EXPECT_EQ(SplicedFrom(Data(*w), Delivered()), 0) << "the file must hold what the device delivered, all of it";
  long longest = 0;
  for (const Break& b : RampBreaks(RampIndices(w->data(), w->data_size))) {
    if (b.before >= 0 && b.after > b.before) longest = std::max(longest, b.after - b.before - 1);
  }
  std::printf("%zu bytes recorded, longest stretch of the ramp missing: %ld frames\n", Data(*w).size(), longest);
  EXPECT_LT(longest, 44100) << "the input waited for the flush";

  // The last "Free:" line drawn, against the drive's room before and after.
  const std::string log = ReadFileBytes(texts).value_or("");
  const size_t line = log.rfind("Free:");
  ASSERT_NE(line, std::string::npos) << "no free space shown";
  unsigned long size = 0;
  char unit[3] = "";
  ASSERT_EQ(std::sscanf(log.c_str() + line, "Free: %lu %2s", &size, unit), 2) << log.substr(line, 40);
  const double shown = size * (std::string(unit) == "GB" ? 1073741824.0 : std::string(unit) == "MB" ? 1048576.0 : 1024.0);
  const double low = static_cast<double>(std::min(room_before.QuadPart, room_after.QuadPart));
  const double high = static_cast<double>(std::max(room_before.QuadPart, room_after.QuadPart));
  std::printf("%s; the drive had %.0f to %.0f bytes free\n", log.substr(line, log.find('\n', line) - line).c_str(),
              low, high);
  if (low < 4.0 * 1073741824) GTEST_SKIP() << "the drive has too little room to tell the line from one stopped at 2 GB";
  EXPECT_GT(shown, low * 0.9) << "the room shown is less than the drive's";
  EXPECT_LT(shown, high * 1.1) << "the room shown is more than the drive's";
}

// Input the device could not deliver (its buffers held back for 3 s by the
// fault build, as when the program is held up) is a dropout: shown on the
// status line while recording, and at the end, the level report off, as
// much as the ramp lost, within a block.
TEST_F(Recording, WithheldInputIsCountedAsDropouts) {
  ASSERT_TRUE(WriteSettings(dir_, {{"OnMem", "0"}, {"levelwarning", "0"}}));
  ASSERT_NO_FATAL_FAILURE(StartSignal());
  const std::string path = dir_.File("held.wav"), texts = dir_.File("texts.txt");
  LaunchOptions options = FaultBuild("TAPEON_FAULT_WITHHOLD_INPUT", "12,3000");
  options.environment.push_back({"TAPEON_FAULT_TEXT_LOG", texts});
  auto app = Launch(dir_, "", options);
  ASSERT_NO_FATAL_FAILURE(PrepareWithDialog(*app, path));
  ASSERT_TRUE(app->PostCommand(IDM_START));
  // A dropout shown ("Dropouts 2: 1.8 s") once the held buffers were handed
  // over: a busy machine may have lost input before, so the first shown need
  // not be theirs.
  const std::string status = std::string("\n") + Pick("Dropouts ", "音飛び ");
  ASSERT_TRUE(WaitUntil(
      [&] {
        const std::string log = ReadFileBytes(texts).value_or("");
        const size_t handed = log.find("held buffers handed over");
        return handed != std::string::npos && log.find(status, handed) != std::string::npos;
      },
      kRunTimeoutMs))
      << "no dropout shown while recording";
  EXPECT_TRUE(app->ButtonEnabled(IDM_STOP));
  const long long size = FileSize(path);
  ASSERT_TRUE(WaitUntil([&] { return FileSize(path) >= size + 2 * 65536; }, kRunTimeoutMs));
  ASSERT_TRUE(app->PostCommand(IDM_STOP));
  std::optional<MessageBoxInfo> box = app->AnswerMessageBox(IDOK, kRunTimeoutMs);
  ASSERT_TRUE(box) << "the dropouts are not shown at the end";
  EXPECT_EQ(box->caption, kDropoutCaption);
  ASSERT_TRUE(WaitForIdle(*app, PlayText(), kRunTimeoutMs));
  EXPECT_EQ(app->CloseAndWait(), std::optional<DWORD>(0));

  const size_t colon = box->text.find(": ");
  ASSERT_NE(colon, std::string::npos) << box->text;
  const double reported = std::strtod(box->text.c_str() + colon + 2, nullptr);
  std::optional<Wave> w = ReadWave(path);
  ASSERT_TRUE(w);
  double lost = 0;
  for (const Break& b : RampBreaks(RampIndices(w->data(), w->data_size))) {
    if (b.before >= 0 && b.after > b.before) lost += b.after - b.before - 1;
  }
  std::printf("dropouts reported: %.0f frames; the ramp lost %.0f\n", reported, lost);
  EXPECT_GT(lost, 44100) << "the held buffers cost no sound";
  EXPECT_NEAR(reported, lost, 16384) << box->text;
}

// An input that stops delivering after a Cont (the fault build's start that
// does not start the device, as a start after a reset that did not take) is
// noticed: the watch starts it again once and the recording goes on, the
// silence counted as a dropout; an input that stays silent ends the run with
// the device's message, everything written kept. Without the fault the
// recording goes on after the Cont.
TEST_F(Recording, InputThatStopsIsStartedAgainOrEndsTheRun) {
  ASSERT_TRUE(WriteSettings(dir_, {{"OnMem", "0"}, {"levelwarning", "0"}}));
  ASSERT_NO_FATAL_FAILURE(StartSignal());
  const double limit_ms = RecordStallLimitMs(65536, kStereo16Rate);
  // The third start of the input is the Cont's (start, Pause, Cont).
  for (const std::string deaf : {"", "3,1", "3,0"}) {
    SCOPED_TRACE("deaf starts: " + deaf);
    const std::string path = dir_.File("stops" + std::to_string(deaf.size()) + (deaf.empty() ? "" : deaf.substr(2)) + ".wav");
    auto app = Launch(dir_, "", FaultBuild("TAPEON_FAULT_DEAF_START", deaf));
    ASSERT_NO_FATAL_FAILURE(PrepareWithDialog(*app, path));
    DeleteFileA(delivered_.c_str());
    ASSERT_TRUE(app->WatchRecording(delivered_));
    ASSERT_TRUE(app->PostCommand(IDM_START));
    ASSERT_TRUE(WaitUntil([&] { return FileSize(path) >= 44 + 2 * 65536; }, kRunTimeoutMs));
    ASSERT_TRUE(app->PostCommand(IDM_PAUSE));
    ASSERT_TRUE(WaitUntil([&] { return app->ButtonText(IDM_PAUSE) == "Cont"; }, kRunTimeoutMs));
    // 1.5 s paused, counted in what the device hands back meanwhile (after
    // the blocks of the pause, the first of which is written).
    ASSERT_NO_FATAL_FAILURE(LetRecord(1.5, false));
    ASSERT_TRUE(app->PostCommand(IDM_PAUSE));
    ASSERT_TRUE(WaitUntil([&] { return app->ButtonText(IDM_PAUSE) == "Pause"; }, kRunTimeoutMs));
    const long long at_cont = FileSize(path);
    std::optional<MessageBoxInfo> box;
    if (deaf != "3,0") {
      ASSERT_TRUE(WaitUntil([&] { return FileSize(path) >= at_cont + 2 * kStereo16Rate; }, kRunTimeoutMs))
          << "nothing recorded after the Cont";
      ASSERT_TRUE(app->PostCommand(IDM_STOP));
      // Dropouts, if the busy machine lost some or the input was silent.
      box = app->AnswerMessageBox(IDOK, deaf.empty() ? 3000 : kRunTimeoutMs);
    } else {
      std::optional<MessageBoxInfo> stalled = app->AnswerMessageBox(IDOK, kRunTimeoutMs);
      ASSERT_TRUE(stalled) << "a silent input did not end the run";
      EXPECT_EQ(stalled->text, Pick(en::audio::kRecordingStalled, ja::audio::kRecordingStalled));
      box = app->AnswerMessageBox(IDOK, kRunTimeoutMs);
    }
    ASSERT_TRUE(WaitForIdle(*app, PlayText(), kRunTimeoutMs));
    EXPECT_EQ(app->CloseAndWait(), std::optional<DWORD>(0));

    std::optional<Wave> w = ReadWave(path);
    ASSERT_TRUE(w);
    ExpectHeader(*w, 2, 16);
    size_t at = 0;
    ASSERT_GE(SplicedFrom(Data(*w), Delivered(), &at), 0) << "the file must hold what the device delivered";
    EXPECT_LE(at, static_cast<size_t>(at_cont - 44)) << "what came before the pause is kept, and follows it";
    if (deaf == "3,0") EXPECT_EQ(w->data_size, at_cont - 44) << "nothing after the Cont, everything before it";
    if (deaf.empty()) continue;
    ASSERT_TRUE(box) << "the silence is not counted";
    EXPECT_EQ(box->caption, kDropoutCaption);
    const size_t colon = box->text.find(": ");
    ASSERT_NE(colon, std::string::npos) << box->text;
    EXPECT_GE(std::strtod(box->text.c_str() + colon + 2, nullptr), limit_ms * 44.1)
        << "the silence must count as lost: " << box->text;
  }
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
    unmount.Wait(kTimeoutMs);
  }

  // Mounts `kilobytes` of tmpfs with `filler` bytes taken (and the mount
  // options `more`); returns the drive root.
  std::string MountSmallDrive(int kilobytes, long filler, const std::string& more = "") {
    DWORD used = GetLogicalDrives();
    char letter = 0;
    for (char c = 'Q'; c <= 'Y' && !letter; ++c)
      if (!(used & (1u << (c - 'A')))) letter = c;
    if (!letter) return "";
    mount_ = dir_.File("small");
    CreateDirectoryA(mount_.c_str(), nullptr);
    const std::string where = HostPath(mount_);
    HostScript mount(dir_, "mount",
                     "mount -t tmpfs -o size=" + std::to_string(kilobytes) + "k" + more + " tmpfs '" + where +
                         "' && " +
                         (filler > 0 ? "head -c " + std::to_string(filler) + " /dev/zero > '" + where + "/filler' && "
                                     : std::string()) +
                         "ln -sfn '" + where + "' \"$WINEPREFIX/dosdevices/" +
                         static_cast<char>(tolower(letter)) + ":\"");
    if (!mount.Wait(kTimeoutMs) || mount.Status() != 0) return "";
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
    ASSERT_TRUE(WaitUntil([&] { return app->ButtonEnabled(IDM_STOP); }, kTimeoutMs));
    if (on_memory) {
      // The memory block is sized to the free space at the start; something
      // else takes part of it before the block is written.
      HostScript take(dir_, "take", "head -c 307200 /dev/zero > '" + HostPath(mount_) + "/taken'");
      ASSERT_TRUE(take.Wait(kTimeoutMs));
    }
    std::optional<MessageBoxInfo> box = app->AnswerMessageBox(IDOK, 20000);
    ASSERT_TRUE(box) << "no message when the drive was full";
    EXPECT_EQ(box->text, Pick("Disk Full or I/O Error!\nRecording Stop.", ja::audio::kDiskFull));
    EXPECT_TRUE(box->has_icon);
    ASSERT_TRUE(WaitForIdle(*app, PlayText())) << "the recording must become the current file";
    ASSERT_NO_FATAL_FAILURE(AnswerDropoutsIfAny(*app));

    std::optional<Wave> w = ReadWave(path);
    ASSERT_TRUE(w);
    ExpectHeader(*w, 2, 16);
    EXPECT_GT(w->data_size, 500000u);
    ExpectTheSignal(*w);

    // The file opens and plays.
    ASSERT_TRUE(app->PostCommand(IDM_START));
    EXPECT_TRUE(WaitUntil([&] { return app->ButtonEnabled(IDM_STOP); }, kTimeoutMs)) << "the full file does not play";
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

// A series whose next file cannot be made (the drive takes no more files:
// its file system has one inode left, for the first file) stops with a
// message that says so and names the file that holds the end of the
// recording: whole, and every frame delivered up to the seam.
TEST_F(RecordingDiskFull, SeriesThatCannotGoOnSaysWhereItsSoundIs) {
  constexpr uint32_t kBlocksPerFile = 3;
  const std::string root = MountSmallDrive(8192, 0, ",nr_inodes=2");
  if (root.empty()) GTEST_SKIP() << "cannot mount a small file system here";
  ASSERT_TRUE(WriteSettings(dir_, {{"OnMem", "0"}, {"levelwarning", "0"}}));
  ASSERT_NO_FATAL_FAILURE(StartSignal());
  const std::string first = root + "TAKE.WAV";
  auto app = Launch(dir_, "", FaultBuild("TAPEON_FAULT_FILE_LIMIT", std::to_string(44 + kBlocksPerFile * 65536)));
  ASSERT_NO_FATAL_FAILURE(PrepareWithDialog(*app, first));
  ASSERT_TRUE(app->WatchRecording(delivered_));
  ASSERT_TRUE(app->PostCommand(IDM_START));
  std::optional<MessageBoxInfo> box = app->AnswerMessageBox(IDOK, kRunTimeoutMs);
  ASSERT_TRUE(box) << "no word when the series could not go on";
  char expected[1024];
  snprintf(expected, sizeof expected, Pick(en::files::kSeriesStopped, ja::files::kSeriesStopped).c_str(),
           SeriesFileName(first, 2).c_str(), first.c_str());
  EXPECT_EQ(box->text, expected);
  ASSERT_TRUE(WaitForIdle(*app, PlayText(), kRunTimeoutMs)) << "the recording must become the current file";
  EXPECT_NE(app->Title().find("TAKE.WAV"), std::string::npos) << app->Title();
  EXPECT_EQ(app->CloseAndWait(), std::optional<DWORD>(0));

  EXPECT_FALSE(FileExists(SeriesFileName(first, 2)));
  std::optional<Wave> w = ReadWave(first);
  ASSERT_TRUE(w);
  ExpectHeader(*w, 2, 16);
  EXPECT_EQ(w->data_size, kBlocksPerFile * 65536);
  size_t at = 0;
  EXPECT_GE(SplicedFrom(Data(*w), Delivered(), &at), 0);
  EXPECT_EQ(at, Data(*w).size()) << "the file must be the first blocks delivered, in order";
}

}  // namespace

