// End-to-end tests of the information and detail dialogs: for each kind of
// sound file, Info and Detail show their values in their controls, in the
// language of the run; only files other than WAVE get the analysis text box.
// Needs the files of tests/fixtures/info.sh in FixturesDir().
#include <gtest/gtest.h>

#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "driver.h"
#include "e2e_helpers.h"
#include "tests/riff_bytes.h"
#include "resources/ja_info.h"
#include "resources/ja_sound_files.h"
#include "resources/resource_ids.h"

using namespace e2e;

namespace {


// Set TAPEON_INFO_PAUSE_MS to keep each dialog on screen that long (for a
// screenshot taken from outside).
void PauseForScreenshot() {
  if (const char* ms = std::getenv("TAPEON_INFO_PAUSE_MS")) Sleep(static_cast<DWORD>(std::atoi(ms)));
}

std::string UnknownTime() { return Pick("unknown sec", ja::kDetailUnknownTime); }

std::string Seconds(double seconds) {
  char text[64];
  std::snprintf(text, sizeof text, "%f sec", seconds);
  return text;
}

// The detail dialog's total time is "%f sec" of `seconds`, within what six
// decimals print: a stream's time (its bytes at 16000 a second) of an odd
// number of bytes falls on a tie in the seventh decimal, which TAPEON's
// floating point and the test's may round either way; a byte more or less
// is a hundred times as far.
void ExpectTotalTime(HWND detail, double seconds) {
  const std::string text = ControlText(detail, IDC_DET_TOTAL_TIME);
  double shown = -1.0;
  ASSERT_EQ(std::sscanf(text.c_str(), "%lf sec", &shown), 1) << text;
  EXPECT_EQ(text, Seconds(shown));
  EXPECT_NEAR(shown, seconds, 0.6e-6) << text;
}

long long FileSize(const std::string& path) {
  std::optional<std::string> bytes = ReadFileBytes(path);
  return bytes ? static_cast<long long>(bytes->size()) : -1;
}

// The analysis text box: an edit control added to the detail dialog.
HWND TextBox(HWND dialog) {
  for (const ControlInfo& control : Controls(dialog))
    if (ClassName(control.window) == "Edit" || ClassName(control.window) == "EDIT") return control.window;
  return nullptr;
}

struct DialogSearch {
  DWORD pid;
  bool found;
};

BOOL CALLBACK FindDialogOfProcess(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<DialogSearch*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search->pid && ClassName(window) == "#32770") search->found = true;
  return !search->found;
}

// Whether the process has a dialog window, shown yet or not.
bool HasDialogWindow(DWORD pid) {
  DialogSearch search{pid, false};
  EnumWindows(FindDialogOfProcess, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

class InfoDialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!FileExists(FixturePath("info_pcm.wav")))
      GTEST_SKIP() << "no fixtures in " << FixturesDir() << "; make them with tests/fixtures/info.sh";
  }

  // Starts TAPEON on the file with the level report switched as given, lets
  // the open finish (answering any box), and opens Info.
  HWND OpenInfo(const std::string& file, bool levelwarning = true) {
    std::string ini = std::string("[TAPEON]\r\nlevelwarning=") + (levelwarning ? "1" : "0") + "\r\n";
    WriteFileBytes(dir_.File("TAPEON.INI"), ini);
    app_ = Start(dir_, "\"" + file + "\"");
    if (!app_->main_window()) return nullptr;
    // The open runs at start-up. A message sent to the main window is taken
    // only when the program waits for input: in its message loop (the open
    // is done) or under a message box of the open (which then exists).
    // The system's sound functions may take sent messages during the open
    // too, so the program must look settled twice in a row.
    opened_ = true;
    int settled = 0;
    for (int round = 0; round < 10 && settled < 2; ++round) {
      DWORD_PTR ignored = 0;
      SendMessageTimeoutA(app_->main_window(), WM_NULL, 0, 0, SMTO_NORMAL, 10000, &ignored);
      if (!HasDialogWindow(app_->pid())) {
        ++settled;
        Sleep(200);
        continue;
      }
      settled = 0;
      opened_ = false;
      app_->AnswerMessageBox(IDOK, kTimeoutMs);
      app_->WaitForNoDialog(2000);
    }
    app_->PostCommand(IDM_INFO);
    return app_->WaitForDialog("Wave Information");
  }

  // Presses Detail and returns the detail dialog.
  HWND OpenDetail(HWND info) {
    PauseForScreenshot();
    PressButton(info, IDC_INFO_DETAIL);
    return app_->WaitForDialog("Wave Detail");
  }

  // Opens Info on the file and presses Detail: the detail dialog, or nullptr
  // (after a failure) when either dialog did not come.
  HWND OpenInfoAndDetail(const std::string& file, bool levelwarning = true) {
    HWND info = OpenInfo(file, levelwarning);
    EXPECT_NE(info, nullptr) << "no information dialog";
    return info ? OpenDetail(info) : nullptr;
  }

  void CloseDetail(HWND detail) {
    PauseForScreenshot();
    PressButton(detail, IDOK);
    if (!app_->WaitForNoDialog(kTimeoutMs)) {
      for (HWND left : app_->Dialogs()) {
        MessageBoxInfo box = ReadMessageBox(left);
        ADD_FAILURE() << "still open: \"" << box.caption << "\" " << box.text;
      }
    }
    EXPECT_EQ(CloseExpectingSuccess(*app_), "");
  }

  TempDir dir_;
  std::unique_ptr<Tapeon> app_;
  bool opened_ = false;  // the file was opened for playing without a message
};

TEST_F(InfoDialogs, PcmWave) {
  HWND info = OpenInfo(FixturePath("info_pcm.wav"));
  ASSERT_NE(info, nullptr);
  ExpectControlTexts(info, {
      {IDC_INFO_FREQ_LABEL, Pick("Frequency", ja::kInfoFrequency)},
      {IDC_INFO_CHAN_LABEL, Pick("Channels", ja::kInfoChannels)},
      {IDC_INFO_TIME_LABEL, Pick("Total Time", ja::kInfoTotalTime)},
      {IDC_INFO_DETAIL, Pick("&Detail", ja::kInfoDetail)},
  });
  if (opened_) {
    ExpectControlTexts(info, {
        {IDC_INFO_RATE_LABEL, Pick("Bits", ja::kInfoBits)},
        {IDC_INFO_FREQ, "44kHz"},
        {IDC_INFO_CHAN, "2"},
        {IDC_INFO_RATE, "   16 bit"},
        {IDC_INFO_TIME, Pick("   1.0 sec", "   1点0 秒")},
    });
  }

  HWND detail = OpenDetail(info);
  ASSERT_NE(detail, nullptr);
  EXPECT_EQ(TextBox(detail), nullptr) << "a WAVE file gets no text box";
  ExpectControlTexts(detail, {
      {IDC_DET_FILE_SIZE, "176444"},
      {IDC_DET_RIFF_ID, "RIFF"},
      {IDC_DET_RIFF_SIZE, "176436"},
      {IDC_DET_SIZE_NOTE, Pick("FileSize minus 8", ja::kDetailSizeNote)},
      {IDC_DET_RIFF_TYPE, "WAVE"},
      {IDC_DET_CHUNK1_ID, "fmt "},
      {IDC_DET_CHUNK1_SIZE, "16"},
      {IDC_DET_TAG, "1"},
      {IDC_DET_TAG_NAME, "PCM"},
      {IDC_DET_CHANNELS, "2"},
      {IDC_DET_CHAN_NOTE, Pick("stereo", ja::kDetailStereo)},
      {IDC_DET_RATE, "44100"},
      {IDC_DET_PERIOD, Pick("23microSec", "23 ﾏｲｸﾛ秒")},
      {IDC_DET_BYTES, "176400"},
      {IDC_DET_BYTES_NOTE, Pick("Sample*Block", ja::kDetailBytesNote)},
      {IDC_DET_ALIGN, "4"},
      {IDC_DET_ALIGN_NOTE, Pick("Ch * Bits / 8", ja::kDetailAlignNote)},
      {IDC_DET_BITS, "16"},
      {IDC_DET_CBSIZE, ""},
      {IDC_DET_CBSIZE_NOTE, "PCM:0 AD:32"},
      {IDC_DET_CHUNK2_ID, "data"},
      {IDC_DET_CHUNK2_SIZE, "176400"},
      {IDC_DET_CHUNK3_SIZE, "RS-fCS-20"},
      {IDC_DET_TOTAL_TIME, "1.000000 sec"},
  });
  CloseDetail(detail);
}

TEST_F(InfoDialogs, HalfSecondInMilliseconds) {
  HWND info = OpenInfo(FixturePath("info_half.wav"));
  ASSERT_NE(info, nullptr);
  if (opened_) {
    EXPECT_EQ(ControlText(info, IDC_INFO_TIME), Pick("   0.5 sec", "   0点5 秒"));
  }
  HWND detail = OpenDetail(info);
  ASSERT_NE(detail, nullptr);
  EXPECT_EQ(ControlText(detail, IDC_DET_TOTAL_TIME), Pick("500.000 msec", "500.000ミリ秒"));
  CloseDetail(detail);
}

TEST_F(InfoDialogs, HalfSecondWithoutLevelWarning) {
  HWND info = OpenInfo(FixturePath("info_half.wav"), false);
  ASSERT_NE(info, nullptr);
  if (opened_) {
    EXPECT_EQ(ControlText(info, IDC_INFO_TIME), Pick("   0.5 sec", "   0.5 秒"));
  }
  HWND detail = OpenDetail(info);
  ASSERT_NE(detail, nullptr);
  EXPECT_EQ(ControlText(detail, IDC_DET_SIZE_NOTE), "FileSize-8");
  EXPECT_EQ(ControlText(detail, IDC_DET_TOTAL_TIME), "0.500000 sec");
  CloseDetail(detail);
}

TEST_F(InfoDialogs, AdpcmWithFact) {
  HWND detail = OpenInfoAndDetail(FixturePath("info_adpcm.wav"));
  ASSERT_NE(detail, nullptr);
  EXPECT_EQ(TextBox(detail), nullptr);
  ExpectControlTexts(detail, {
      {IDC_DET_TAG_NAME, "MS-ADPCM"},
      {IDC_DET_CHAN_NOTE, Pick("monaural", ja::kDetailMonaural)},
      {IDC_DET_CBSIZE, "32"},
      {IDC_DET_CHUNK2_ID, "fact"},
      {IDC_DET_SIZE_NOTE, "fact=22050"},
      {IDC_DET_FACT_TIME, "1.000000 sec"},
      {IDC_DET_CHUNK3_ID, "data"},
  });
  CloseDetail(detail);
}

TEST_F(InfoDialogs, ListChunkFirst) {
  HWND detail = OpenInfoAndDetail(FixturePath("info_list.wav"));
  ASSERT_NE(detail, nullptr);
  EXPECT_EQ(TextBox(detail), nullptr);
  ExpectControlTexts(detail, {
      {IDC_DET_CHUNK1_ID, "LIST"},
      {IDC_DET_CHUNK2_ID, "fmt "},
      {IDC_DET_CHUNK3_ID, "data"},
      {IDC_DET_TAG, ""},
      {IDC_DET_TOTAL_TIME, UnknownTime()},
  });
  CloseDetail(detail);
}

TEST_F(InfoDialogs, MpegLayer3Wave) {
  HWND detail = OpenInfoAndDetail(FixturePath("info_mp3.wav"));
  ASSERT_NE(detail, nullptr);
  HWND box = TextBox(detail);
  ASSERT_NE(box, nullptr) << "an MPEG Layer-3 WAVE gets the text box";
  EXPECT_NE(WindowText(box).find("SyncHead=fff"), std::string::npos) << WindowText(box);
  ExpectControlTexts(detail, {
      {IDC_DET_TAG, "85"},
      {IDC_DET_TAG_NAME, "ID=1"},
      {IDC_DET_CHAN_NOTE, "flags=0002"},
      {IDC_DET_ALIGN_NOTE, "blksiz=417"},
      {IDC_DET_BITS_NOTE, "frames=1"},
      {IDC_DET_CBSIZE_NOTE, "delay=1393"},
      {IDC_DET_BYTES_NOTE, "16000"},
      {IDC_DET_PERIOD, "44100"},
  });
  CloseDetail(detail);
}

TEST_F(InfoDialogs, RawMpeg) {
  std::string file = FixturePath("info.mp3");
  HWND info = OpenInfo(file);
  ASSERT_NE(info, nullptr);
  if (opened_) {
    EXPECT_EQ(ControlText(info, IDC_INFO_RATE), "  128 kbps");
    EXPECT_EQ(ControlText(info, IDC_INFO_TIME_LABEL), Pick("Data Size", ja::kInfoDataSize));
  }
  HWND detail = OpenDetail(info);
  ASSERT_NE(detail, nullptr);
  HWND box = TextBox(detail);
  ASSERT_NE(box, nullptr);
  std::string text = WindowText(box);
  EXPECT_NE(text.find("SyncHead=fff\r\nID=1\r\nLayer=3\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("CBR\r\n"), std::string::npos) << text;
  // The dialog grew to the right to hold the box.
  RECT dialog_rect, box_rect;
  GetWindowRect(detail, &dialog_rect);
  GetWindowRect(box, &box_rect);
  EXPECT_LE(box_rect.right, dialog_rect.right);
  ExpectControlTexts(detail, {
      {IDC_DET_RIFF_ID, "FFF"},
      {IDC_DET_RIFF_SIZE, ""},
      {IDC_DET_CHUNK2_SIZE, ""},
      {IDC_DET_TAG_NAME, "85"},
      {IDC_DET_CHAN_NOTE, "2"},
      {IDC_DET_BYTES_NOTE, "16000"},
  });
  ExpectTotalTime(detail, FileSize(file) / 16000.0);
  CloseDetail(detail);
}

TEST_F(InfoDialogs, Id3TaggedMpeg) {
  HWND detail = OpenInfoAndDetail(FixturePath("info_id3.mp3"));
  ASSERT_NE(detail, nullptr);
  EXPECT_EQ(ControlText(detail, IDC_DET_RIFF_ID), "ID3.");
  ASSERT_NE(TextBox(detail), nullptr);
  EXPECT_NE(WindowText(TextBox(detail)).find("SyncHead=fff"), std::string::npos);
  CloseDetail(detail);
}

TEST_F(InfoDialogs, Rmp3) {
  HWND detail = OpenInfoAndDetail(FixturePath("info.rmp"));
  ASSERT_NE(detail, nullptr);
  ASSERT_NE(TextBox(detail), nullptr);
  EXPECT_EQ(ControlText(detail, IDC_DET_RIFF_TYPE), "RMP3");
  EXPECT_EQ(ControlText(detail, IDC_DET_CHUNK1_ID), "data");
  double data = std::atof(ControlText(detail, IDC_DET_CHUNK1_SIZE).c_str());
  ExpectTotalTime(detail, data / 16000.0);
  CloseDetail(detail);
}

TEST_F(InfoDialogs, OggWithAndWithoutNominalBitrate) {
  // Without the level report: the file is shorter than a second.
  std::string file = FixturePath("info.ogg");
  HWND detail = OpenInfoAndDetail(file, false);
  ASSERT_NE(detail, nullptr);
  ASSERT_NE(TextBox(detail), nullptr);
  EXPECT_EQ(WindowText(TextBox(detail)), "freq=44100\r\nrate=128000\r\nchannel=2\r\n");
  EXPECT_EQ(ControlText(detail, IDC_DET_RIFF_ID), "OggS");
  ExpectTotalTime(detail, FileSize(file) / 16000.0);
  CloseDetail(detail);

  // Without a nominal bitrate the file is opened all the same (played where a
  // codec exists), and Info shows its own fields.
  const std::string zero_file = FixturePath("info_nobitrate.ogg");
  HWND info0 = OpenInfo(zero_file);
  ASSERT_NE(info0, nullptr);
  char data_size[32];
  std::snprintf(data_size, sizeof data_size, "%7lu KB", static_cast<unsigned long>(FileSize(zero_file) / 1024));
  ExpectControlTexts(info0, {
      {IDC_INFO_FREQ, "44kHz"},
      {IDC_INFO_CHAN, "2"},
      {IDC_INFO_TIME_LABEL, Pick("Data Size", ja::kInfoDataSize)},
      {IDC_INFO_TIME, data_size},
  });
  HWND detail0 = OpenDetail(info0);
  ASSERT_NE(detail0, nullptr);
  EXPECT_EQ(ControlText(detail0, IDC_DET_TOTAL_TIME), UnknownTime());
  CloseDetail(detail0);
}

TEST_F(InfoDialogs, OkAndCancelEndTheInformationDialog) {
  HWND info = OpenInfo(FixturePath("info_pcm.wav"));
  ASSERT_NE(info, nullptr);
  PostMessageA(info, WM_COMMAND, IDCANCEL, 0);  // Escape
  EXPECT_TRUE(app_->WaitForNoDialog());
  app_->PostCommand(IDM_INFO);
  info = app_->WaitForDialog("Wave Information");
  ASSERT_NE(info, nullptr);
  PressButton(info, IDOK);
  EXPECT_TRUE(app_->WaitForNoDialog()) << "OK must not lead to the detail dialog";
  EXPECT_EQ(CloseExpectingSuccess(*app_), "");
}

TEST_F(InfoDialogs, ThreeDimensionItemInBothDialogs) {
  HWND info = OpenInfo(FixturePath("info.mp3"));
  ASSERT_NE(info, nullptr);
  std::optional<MenuItem> item = ThreeDItem(*app_, info);
  ASSERT_TRUE(item.has_value());
  EXPECT_TRUE(item->checked());
  HWND detail = OpenDetail(info);
  ASSERT_NE(detail, nullptr);
  item = ThreeDItem(*app_, detail);
  ASSERT_TRUE(item.has_value());
  EXPECT_TRUE(item->checked());
  // The item switches the look off, and the mark follows.
  EXPECT_TRUE(SwitchThreeD(*app_, detail, false));
  CloseDetail(detail);
}

// ---- Hand-made files -------------------------------------------------------

using riff_bytes::Le16;
using riff_bytes::Le32;

// A WAVE of the given tag with a 16-byte format chunk and a small data chunk.
std::string WaveOfTag(unsigned tag, unsigned rate = 8000) {
  return riff_bytes::Riff("WAVE", riff_bytes::Chunk("fmt ", riff_bytes::FormatBody(tag, 1, rate, rate, 1, 8)) +
                                      riff_bytes::Chunk("data", std::string(800, '\x80')));
}

// What the audio compression manager of this system calls a tag, asked the
// way the program asks it; "unknown" when it has no name for it.
std::string CodecNameOf(unsigned tag) {
  HMODULE library = LoadLibraryA("MSACM32.DLL");
  if (!library) return "unknown";
  typedef UINT(WINAPI * DetailsFn)(HANDLE, void*, DWORD);
  auto details = reinterpret_cast<DetailsFn>(reinterpret_cast<void (*)()>(GetProcAddress(library, "acmFormatTagDetailsA")));
  std::string name = "unknown";
  unsigned char record[72] = {};
  record[0] = 72;
  std::string tag_bytes = Le32(tag);
  std::copy(tag_bytes.begin(), tag_bytes.end(), record + 8);
  if (details && details(nullptr, record, 1) == 0) {
    name.assign(reinterpret_cast<char*>(record + 24), strnlen(reinterpret_cast<char*>(record + 24), 48));
    if (name.empty()) name = "unknown";
  }
  FreeLibrary(library);
  return name;
}

TEST_F(InfoDialogs, TagsOutsideTheTableAreNamedByTheCodecOrUnknown) {
  for (unsigned tag : {0x0009u, 0xFFFEu, 0x7777u}) {
    SCOPED_TRACE(tag);
    std::string path = dir_.File("tag.wav");
    ASSERT_TRUE(WriteFileBytes(path, WaveOfTag(tag)));
    HWND detail = OpenInfoAndDetail(path);
    ASSERT_NE(detail, nullptr);
    EXPECT_EQ(ControlText(detail, IDC_DET_TAG), std::to_string(tag));
    EXPECT_EQ(ControlText(detail, IDC_DET_TAG_NAME), CodecNameOf(tag));
    EXPECT_EQ(TextBox(detail), nullptr);
    CloseDetail(detail);
  }
}

// Damaged files: the dialogs show what can be read, and the program goes on.
TEST_F(InfoDialogs, DamagedFilesNeverEndTheProgram) {
  std::string good = WaveOfTag(1, 44100);
  std::string huge_fmt = good;
  huge_fmt.replace(16, 4, Le32(0xFFFFFFF0u));
  std::string fact_without_rate = "RIFF" + Le32(40) + "WAVE" + "fmt " + Le32(16) + Le16(2) + Le16(1) + Le32(0) +
                                  Le32(0) + Le16(1) + Le16(4) + "fact" + Le32(4) + Le32(1000) + "data" + Le32(9999);
  struct Case {
    const char* name;
    std::string bytes;
    std::string total_time;
  } cases[] = {
      {"truncated in the format chunk", good.substr(0, 30), UnknownTime()},
      {"truncated after the data size", good.substr(0, 44), "0.018141 sec"},
      {"format chunk past the end", huge_fmt, UnknownTime()},
      {"fact chunk with a sample rate of 0", fact_without_rate, UnknownTime()},
      {"empty file", "", ""},
      {"three bytes", "RIF", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = dir_.File("damaged.wav");
    ASSERT_TRUE(WriteFileBytes(path, c.bytes));
    HWND detail = OpenInfoAndDetail(path, false);
    ASSERT_NE(detail, nullptr);
    EXPECT_EQ(ControlText(detail, IDC_DET_TOTAL_TIME), c.total_time);
    if (std::string(c.name) == "fact chunk with a sample rate of 0") {
      EXPECT_EQ(ControlText(detail, IDC_DET_FACT_TIME), "Inf sec");
      EXPECT_EQ(ControlText(detail, IDC_DET_SIZE_NOTE), "fact=1000");
    }
    // Files without a RIFF header get the (empty) analysis box.
    EXPECT_EQ(TextBox(detail) != nullptr, c.bytes.size() < 4);
    CloseDetail(detail);
  }
}

// A file refused after one that played leaves Info nothing to describe: the
// item is grey, as before any file, and the dialog (asked for all the same)
// shows no format rather than one of nothing ("0kHz").
TEST_F(InfoDialogs, RefusedFileLeavesInfoGreyWithoutAFormat) {
  if (!SoundSession()) GTEST_SKIP() << "the first file is played: no wave output device in this run";
  const std::string refused = dir_.File("refused.wav");
  ASSERT_TRUE(WriteFileBytes(refused, "RIF"));
  ASSERT_TRUE(WriteFileBytes(dir_.File("TAPEON.INI"), "[TAPEON]\r\nlevelwarning=0\r\n"));
  app_ = Start(dir_, "\"" + FixturePath("info_pcm.wav") + "\" /P \"" + refused + "\"");
  ASSERT_NE(app_->main_window(), nullptr);
  std::optional<MessageBoxInfo> box = app_->AnswerMessageBox(IDOK, 60000);
  ASSERT_TRUE(box) << "the second file of the list was not refused";
  EXPECT_EQ(box->text, Pick("This file is not WAVE file", ja::files::kNotRiffFile));
  ASSERT_TRUE(app_->WaitForNoDialog());
  std::optional<MenuItem> item = FindMenuItem(app_->MainMenu(), IDM_INFO);
  ASSERT_TRUE(item);
  EXPECT_TRUE(item->grey());
  app_->PostCommand(IDM_INFO);
  HWND info = app_->WaitForDialog("Wave Information");
  ASSERT_NE(info, nullptr);
  ExpectControlTexts(info, {{IDC_INFO_FREQ, ""}, {IDC_INFO_CHAN, ""}, {IDC_INFO_RATE, ""}, {IDC_INFO_TIME, ""}});
  PressButton(info, IDOK);
  ASSERT_TRUE(app_->WaitForNoDialog());
  EXPECT_EQ(CloseExpectingSuccess(*app_), "");
}

// Info closes the current file first; the next Start opens it again and plays.
TEST_F(InfoDialogs, StartPlaysAfterInfo) {
  HWND info = OpenInfo(FixturePath("info_pcm.wav"));
  ASSERT_NE(info, nullptr);
  PressButton(info, IDOK);
  ASSERT_TRUE(app_->WaitForNoDialog());
  if (!opened_) GTEST_SKIP() << "the file could not be opened for playing in this build";
  if (!SoundSession()) GTEST_SKIP() << "no wave output device in this run";
  app_->PostCommand(IDM_START);
  EXPECT_TRUE(WaitUntil([&] { return app_->ButtonEnabled(IDM_STOP); }, kTimeoutMs)) << "playback did not start";
  Sleep(500);
  EXPECT_TRUE(app_->Dialogs().empty()) << "a message came up at Start";
  EXPECT_TRUE(app_->ButtonEnabled(IDM_STOP)) << "playback ended at once";
  app_->PostCommand(IDM_STOP);
  EXPECT_EQ(CloseExpectingSuccess(*app_), "");
}

}  // namespace
