// End-to-end tests of opening sound files for playing, their refusals and the
// repair of an unfinished recording (TAPEON started with the file on its
// command line), and of creating a recording file through the real
// multimedia file functions (tool_sound_create). Texts are checked in the
// language of the run. Needs the files of tests/fixtures/sound_files.sh in
// FixturesDir().
#include <gtest/gtest.h>
#include <windows.h>
#include <mmsystem.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "driver.h"
#include "e2e_helpers.h"
#include "resources/ja_app.h"
#include "resources/ja_sound_files.h"
#include "resources/resource_ids.h"
#include "tests/le_bytes.h"

using namespace e2e;

namespace {


// Whether a message box shows an icon: Wine's box template always holds the
// icon control, which has no icon set when the box has none.
bool ShowsIcon(HWND box) {
  for (const ControlInfo& control : Controls(box))
    if ((control.style & SS_TYPEMASK) == SS_ICON && control.visible &&
        SendMessageA(control.window, STM_GETICON, 0, 0) != 0)
      return true;
  return false;
}

// A file of `size` bytes that begins with `head`; the rest is a hole that the
// file system does not store.
bool WriteSparseFile(const std::string& path, const std::string& head, uint64_t size) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(file, head.data(), static_cast<DWORD>(head.size()), &written, nullptr) && written == head.size();
  LARGE_INTEGER end;
  end.QuadPart = static_cast<LONGLONG>(size);
  ok = ok && SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
  CloseHandle(file);
  return ok;
}

// The caption Windows gives a box that has none (Wine alone would show the
// program's string 0, "Disk Full or I/O Error!").
std::string NoCaptionTitle() { return Pick("Error", ja::kErrorCaption); }

class SoundFilesE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!FileExists(FixturePath("files_s16_44k.wav")))
      GTEST_SKIP() << "no fixtures in " << FixturesDir() << "; make them with tests/fixtures/sound_files.sh";
  }

  // Starts TAPEON with the file on its command line.
  bool Launch(const std::string& file) {
    app_ = e2e::Launch(dir_, "\"" + file + "\"");
    return app_->started() && app_->main_window();
  }

  // Play mode reached: no message box came up, Start is enabled and says Play.
  void ExpectPlayMode(const std::string& what) {
    HWND box = app_->WaitForDialog("", 2000);
    if (box) {
      ADD_FAILURE() << what << ": box \"" << ReadMessageBox(box).text << "\"";
      app_->AnswerMessageBox(IDOK, 2000);
      return;
    }
    EXPECT_TRUE(app_->ButtonEnabled(IDM_START)) << what;
    EXPECT_EQ(app_->ButtonText(IDM_START), Pick("Play", ja::kPlay)) << what;
  }

  // The failure box that stops the open: exact text, exclamation icon, OK.
  void ExpectFailureBox(const std::string& what, const std::string& text) {
    HWND window = app_->WaitForDialog("", kTimeoutMs);
    ASSERT_TRUE(window) << what << ": no message box";
    EXPECT_TRUE(ShowsIcon(window)) << what;
    std::optional<MessageBoxInfo> box = app_->AnswerMessageBox(IDOK, kTimeoutMs);
    ASSERT_TRUE(box) << what << ": no message box";
    EXPECT_EQ(box->text, text) << what;
    EXPECT_EQ(box->caption, NoCaptionTitle()) << what;
    ASSERT_EQ(box->buttons.size(), 1u) << what;
    EXPECT_EQ(box->buttons[0].first, IDOK) << what;
    EXPECT_TRUE(app_->WaitForNoDialog(1500)) << what << ": a second box";
  }

  TempDir dir_;
  std::unique_ptr<Tapeon> app_;
};

TEST_F(SoundFilesE2E, WaveMpegAndRiffWrappedMpegReachPlayMode) {
  if (!SoundSession()) GTEST_SKIP() << "no wave output in this run";
  for (const char* name : {"files_s16_44k.wav", "files_u8_mono.wav", "files_s16_48k.wav", "files_cbr128.mp3",
                           "files_id3.mp3", "files_cbr128.rmp"}) {
    ASSERT_TRUE(Launch(FixturePath(name))) << name;
    ExpectPlayMode(name);
    app_->CloseAndWait();
  }
}

// Files past 2 GB, beyond what mmioSeek can measure, open and play.
TEST_F(SoundFilesE2E, FilesOfMoreThanTwoGigabytesPlay) {
  if (!SoundSession()) GTEST_SKIP() << "no wave output in this run";
  const uint32_t size = 2200000000u;
  const std::string wave_header = "RIFF" + Le32(size - 8) + "WAVEfmt " + Le32(16) +
                                  std::string("\x01\0\x02\0\x44\xAC\0\0\x10\xB1\x02\0\x04\0\x10\0", 16) +
                                  "data" + Le32(size - 44);
  std::optional<std::string> mp3 = ReadFileBytes(FixturePath("files_cbr128.mp3"));
  ASSERT_TRUE(mp3);
  const struct {
    const char* name;
    std::string head;
  } files[] = {{"large.wav", wave_header}, {"large.mp3", *mp3}};
  for (const auto& f : files) {
    const std::string file = dir_.File(f.name);
    ASSERT_TRUE(WriteSparseFile(file, f.head, size)) << f.name;
    ASSERT_TRUE(Launch(file)) << f.name;
    ExpectPlayMode(f.name);
    ASSERT_TRUE(app_->PostCommand(IDM_START));
    EXPECT_TRUE(WaitUntil([&] { return app_->ButtonEnabled(IDM_STOP); })) << f.name << " does not play";
    app_->CloseAndWait();
    DeleteFileA(file.c_str());
  }
}

// With the Ogg Vorbis codec driver installed an Ogg file opens for play and
// the Open dialog offers Ogg files; without it (test.sh runs the tests named
// *WithoutCodec* once more with TAPEON_CODEC=0) "No support this format" and
// no Ogg in the filter, as on a system that has no such codec.
TEST_F(SoundFilesE2E, OggFollowsTheCodecWithAndWithoutCodec) {
  if (!SoundSession()) GTEST_SKIP() << "no wave output in this run";
  const bool codec = OggCodecSession();
  // The same question TAPEON asks: can the wave mapper play this format?
  const unsigned char record[26] = {0x4F, 0x67, 2,    0,    0x44, 0xAC, 0,    0,    0x80, 0x3E, 0, 0, 4,
                                    0,    16,   0,    8,    0,    0x14, 0x12, 0x00, 0x20, 0x31, 0x10, 0x00, 0x20};
  const bool takes = waveOutOpen(nullptr, WAVE_MAPPER, reinterpret_cast<const WAVEFORMATEX*>(record), 0, 0,
                                 WAVE_FORMAT_QUERY) == MMSYSERR_NOERROR;
  EXPECT_EQ(takes, codec) << "the wave mapper " << (takes ? "takes" : "refuses") << " the Ogg Vorbis format";
  ASSERT_TRUE(Launch(FixturePath("files_vorbis.ogg")));
  if (codec)
    ExpectPlayMode("ogg");
  else
    ExpectFailureBox("ogg", Pick("No support this format", ja::files::kNoPlayDriver));

  constexpr int kFileTypeBox = 0x470;  // cmb1 of the common file dialogs
  ASSERT_TRUE(app_->PostCommand(IDM_OPEN));
  HWND open = app_->WaitForDialog(Pick("Play Open", ja::kPlayOpen));
  ASSERT_NE(open, nullptr);
  EXPECT_EQ(ControlText(open, kFileTypeBox), codec ? Pick("Sound(*.WAV;*.MP3;*.RMP;*.OGG)", ja::kSoundWavMp3Ogg)
                                                   : Pick("Sound(*.WAV;*.MP3;*.RMP)", ja::kSoundWavMp3));
  PostMessageA(open, WM_COMMAND, IDCANCEL, 0);
  EXPECT_TRUE(app_->WaitForNoDialog());
}

TEST_F(SoundFilesE2E, RefusedFilesGetTheirMessage) {
  struct Case {
    const char* name;
    const char* english;
    const char* japanese;
    bool after_query;  // the message comes after the output device query
  } cases[] = {
      {"files_not_riff.wav", "This file is not WAVE file", ja::files::kNotRiffFile, false},
      {"files_empty.wav", "This file is not WAVE file", ja::files::kNotRiffFile, false},
      {"files_noise.rmp", "This file is not WAVE file", ja::files::kNotWaveFile, false},
      {"files_no_fmt.wav", "File destroyed", ja::files::kFileDestroyed, false},
      {"files_short_fmt.wav", "cant read FMT", ja::files::kCantReadFmt, false},
      {"files_no_data.wav", "no data", ja::files::kNoDataInWave, true},
      {"files_empty_data.wav", "data empty", ja::files::kDataEmpty, true},
      // Formats nothing plays: Ogg of another codec (at the open), PCM of
      // 64-bit integers (which the device refuses): never that the device
      // failed.
      {"files_opus.ogg", "No support this format", ja::files::kNoPlayDriver, false},
      {"files_s64.wav", "No support this format", ja::files::kNoPlayDriver, true},
  };
  for (const Case& c : cases) {
    if (c.after_query && !SoundSession()) continue;
    const std::optional<std::string> before = ReadFileBytes(FixturePath(c.name));
    ASSERT_TRUE(Launch(FixturePath(c.name))) << c.name;
    ExpectFailureBox(c.name, Pick(c.english, c.japanese));
    app_->CloseAndWait();
    EXPECT_EQ(ReadFileBytes(FixturePath(c.name)), before) << c.name << " was changed";
  }
}

// Names that name no file to play or to record into are refused with the
// open message before anything is opened or created: devices (a recording
// into "NUL.WAV" would be lost, a read from a port could block), and names
// longer than a path may be, which must not be cut to another name, or whose
// next files of a long recording would be ("NAME (2).WAV" past 259). A path
// written with slashes splits into a directory and "options" ("/Temp",
// "/take.wav"): the directory cannot be opened, and the saved limit and
// recording format stay as they were.
TEST_F(SoundFilesE2E, NamesOfNoFileAreRefusedWithTheOpenMessage) {
  const std::string cant_open = Pick("cant open file", ja::files::kCantOpenFile);
  const std::string long_name = dir_.File(std::string(280 - dir_.path().size(), 'n') + ".wav");
  const std::string series_too_long = dir_.File(std::string(256 - dir_.path().size() - 5, 'n') + ".wav");
  const std::string kept = "[TAPEON]\r\nEndTime=600\r\nseigen=1\r\nchannel=1\r\nbits=8\r\n";
  const std::string cases[] = {"NUL.WAV /R",
                               "nul /P",
                               "\\\\.\\COM1 /P",
                               "\"" + dir_.File("Con.mp3") + "\"",
                               "\"" + long_name + "\" /R",
                               "\"" + long_name + "\"",
                               "\"" + series_too_long + "\" /R",
                               dir_.path() + "/Temp/Sounds/Home/take.wav"};
  for (const std::string& arguments : cases) {
    ASSERT_TRUE(WriteFileBytes(dir_.File("TAPEON.INI"), kept));
    LaunchOptions options;
    options.profile_dir = dir_.path();
    options.arguments = arguments;
    app_ = std::make_unique<Tapeon>(options);
    ASSERT_TRUE(app_->started() && app_->WaitForMainWindow()) << arguments;
    ExpectFailureBox(arguments, cant_open);
    EXPECT_EQ(app_->CloseAndWait(), std::optional<DWORD>(0)) << arguments;
    EXPECT_FALSE(FileExists(long_name.substr(0, 259))) << "a recording under the cut name";
    EXPECT_FALSE(FileExists(series_too_long)) << "a recording whose series cannot go on";
    ExpectIniValues(dir_.File("TAPEON.INI"), {{"EndTime", "600"}, {"seigen", "1"}, {"channel", "1"}, {"bits", "8"}});
  }
}

TEST_F(SoundFilesE2E, NoSoundWaveFileIsRefusedByTheOutputQuery) {
  if (SoundSession()) GTEST_SKIP() << "wave output exists in this run";
  ASSERT_TRUE(Launch(FixturePath("files_s16_44k.wav")));
  std::optional<MessageBoxInfo> box = app_->AnswerMessageBox(IDOK, kTimeoutMs);
  ASSERT_TRUE(box);
  // No device: a bad device id or no driver, depending on the system.
  if (JapaneseSession())
    EXPECT_TRUE(box->text == ja::files::kBadDeviceId || box->text == ja::files::kCantOpenOutput) << box->text;
  else
    EXPECT_EQ(box->text, "can't open WaveOut device");
}

TEST_F(SoundFilesE2E, UnfinishedRecordingIsRepairedOnYes) {
  if (!SoundSession()) GTEST_SKIP() << "no wave output in this run";
  const std::string file = dir_.File("unfinished.wav");
  std::optional<std::string> original = ReadFileBytes(FixturePath("files_unfinished.wav"));
  ASSERT_TRUE(original && WriteFileBytes(file, *original));
  ASSERT_TRUE(Launch(file));
  HWND window = app_->WaitForDialog("", kTimeoutMs);
  ASSERT_TRUE(window);
  EXPECT_FALSE(ShowsIcon(window));
  std::optional<MessageBoxInfo> box = app_->AnswerMessageBox(IDYES, kTimeoutMs);
  ASSERT_TRUE(box);
  EXPECT_EQ(box->text, Pick("File destroyed. Recover?", ja::files::kRecover));
  EXPECT_EQ(box->caption, NoCaptionTitle());
  ASSERT_EQ(box->buttons.size(), 2u);
  EXPECT_TRUE((box->buttons[0].first == IDYES && box->buttons[1].first == IDNO) ||
              (box->buttons[0].first == IDNO && box->buttons[1].first == IDYES));
  ExpectPlayMode("repaired");
  app_->CloseAndWait();
  std::optional<std::string> repaired = ReadFileBytes(file);
  ASSERT_TRUE(repaired);
  ASSERT_EQ(repaired->size(), original->size());
  EXPECT_EQ(GetU32Or(*repaired, 4, 0xFFFFFFFFu), 1036u);
  EXPECT_EQ(GetU32Or(*repaired, 40, 0xFFFFFFFFu), 1000u);
  EXPECT_EQ(repaired->substr(44), original->substr(44));
}

TEST_F(SoundFilesE2E, UnfinishedRecordingIsLeftAloneOnNo) {
  const std::string file = dir_.File("unfinished.wav");
  std::optional<std::string> original = ReadFileBytes(FixturePath("files_unfinished.wav"));
  ASSERT_TRUE(original && WriteFileBytes(file, *original));
  ASSERT_TRUE(Launch(file));
  ASSERT_TRUE(app_->AnswerMessageBox(IDNO, kTimeoutMs));
  EXPECT_TRUE(app_->WaitForNoDialog(1500));
  app_->CloseAndWait();
  EXPECT_EQ(ReadFileBytes(file), original);
}

TEST_F(SoundFilesE2E, UnrepairableFileSaysCantRecoverAndStaysAsItWas) {
  // An "RMP3" file whose RIFF size is 0: offered, but its first chunk is no "fmt ".
  std::string rmp3("RIFF\0\0\0\0RMP3data", 16);
  rmp3 += std::string("\x40\0\0\0", 4) + std::string(64, '\0');
  // After the fact chunk a LIST chunk, not the data chunk: the data size would
  // land on the LIST chunk's size.
  std::string list_after_fact("RIFF\0\0\0\0WAVEfmt ", 16);
  list_after_fact += Le32(20) + std::string("\x02\0\x01\0\x40\x1F\0\0\0\x10\0\0\0\x01\x04\0\x02\0\0\0", 20);
  list_after_fact += "fact" + Le32(4) + Le32(12345) + "LIST" + Le32(12) + "INFOISFT" + Le32(0);
  list_after_fact += "data" + Le32(0) + std::string(100, '\x11');
  for (const std::string& bytes : {rmp3, list_after_fact}) {
    const std::string file = dir_.File("broken.wav");
    ASSERT_TRUE(WriteFileBytes(file, bytes));
    ASSERT_TRUE(Launch(file));
    std::optional<MessageBoxInfo> offer = app_->AnswerMessageBox(IDYES, kTimeoutMs);
    ASSERT_TRUE(offer);
    EXPECT_EQ(offer->text, Pick("File destroyed. Recover?", ja::files::kRecover));
    ExpectFailureBox("cant recover", Pick("cant recover", ja::files::kCantRecover));
    app_->CloseAndWait();
    EXPECT_EQ(ReadFileBytes(file), bytes);
  }
}

// The create's 44-byte header, then the sizes the two ascends write, with the
// pad byte after odd data counted only in the RIFF size.
TEST_F(SoundFilesE2E, CreateWritesTheHeaderAndTheAscendsTheSizes) {
  if (!SoundSession()) GTEST_SKIP() << "no wave devices in this run";
  const std::string tool = ModuleDir() + "\\tool_sound_create.exe";
  ASSERT_TRUE(FileExists(tool));
  for (uint32_t n : {101u, 100u}) {
    const std::string file = dir_.File("rec" + std::to_string(n) + ".wav");
    std::string command = "\"" + tool + "\" \"" + file + "\" " + std::to_string(n);
    ASSERT_EQ(RunProgram(command), std::optional<DWORD>(0)) << "tool_sound_create " << n;

    const std::string header("RIFF\0\0\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x11\x2B\0\0\x11\x2B\0\0\x01\0\x08\0data\0\0\0\0",
                             44);
    EXPECT_EQ(ReadFileBytes(file + ".created"), header);

    std::optional<std::string> closed = ReadFileBytes(file);
    ASSERT_TRUE(closed);
    ASSERT_EQ(closed->size(), 44 + n + (n & 1));
    EXPECT_EQ(GetU32Or(*closed, 40, 0xFFFFFFFFu), n);
    EXPECT_EQ(GetU32Or(*closed, 4, 0xFFFFFFFFu), 36 + n + (n & 1));
    EXPECT_EQ(closed->substr(0, 4), "RIFF");
    if (n & 1) {
      EXPECT_EQ(closed->back(), '\0');
    }
  }
}

}  // namespace
