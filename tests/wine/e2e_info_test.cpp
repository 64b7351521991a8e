// End-to-end tests of the information and detail dialogs: for each kind of
// sound file, Info and Detail show their values in their controls, in the
// language of the run; only files other than WAVE get the analysis text box.
// Needs the files of tests/fixtures/info.sh in FixturesDir().
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "driver.h"
#include "resources/ja_info.h"
#include "resources/resource_ids.h"

using namespace e2e;

namespace {

std::string Fixture(const std::string& name) { return FixturesDir() + "\\" + name; }

// Set TAPEON_INFO_PAUSE_MS to keep each dialog on screen that long (for a
// screenshot taken from outside).
void PauseForScreenshot() {
  if (const char* ms = std::getenv("TAPEON_INFO_PAUSE_MS")) Sleep(static_cast<DWORD>(std::atoi(ms)));
}

std::string Seconds(double seconds) {
  char text[64];
  std::snprintf(text, sizeof text, "%f sec", seconds);
  return text;
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

class InfoDialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!FileExists(Fixture("info_pcm.wav")))
      GTEST_SKIP() << "no fixtures in " << FixturesDir() << "; make them with tests/fixtures/info.sh";
  }

  // Starts TAPEON on the file with the level report switched as given, lets
  // the open finish (answering any box), and opens Info.
  HWND OpenInfo(const std::string& file, bool levelwarning = true) {
    std::string ini = std::string("[TAPEON]\r\nlevelwarning=") + (levelwarning ? "1" : "0") + "\r\n";
    WriteFileBytes(dir_.File("TAPEON.INI"), ini);
    LaunchOptions options;
    options.profile_dir = dir_.path();
    options.arguments = "\"" + file + "\"";
    app_ = std::make_unique<Tapeon>(options);
    if (!app_->started() || !app_->WaitForMainWindow()) return nullptr;
    opened_ = true;
    for (int round = 0; round < 5 && !app_->WaitForNoDialog(1500); ++round) {
      opened_ = false;  // a box on the way: the open did not go through
      if (!app_->AnswerMessageBox(IDOK, 1000)) break;
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

  void CloseDetail(HWND detail) {
    PauseForScreenshot();
    PressButton(detail, IDOK);
    EXPECT_TRUE(app_->WaitForNoDialog());
    EXPECT_EQ(app_->CloseAndWait().value_or(999), 0u);
  }

  TempDir dir_;
  std::unique_ptr<Tapeon> app_;
  bool opened_ = false;  // the file was opened for playing without a message
};

TEST_F(InfoDialogs, PcmWave) {
  HWND info = OpenInfo(Fixture("info_pcm.wav"));
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(ControlText(info, IDC_INFO_FREQ_LABEL), Pick("Frequency", ja::kInfoFrequency));
  EXPECT_EQ(ControlText(info, IDC_INFO_CHAN_LABEL), Pick("Channels", ja::kInfoChannels));
  EXPECT_EQ(ControlText(info, IDC_INFO_TIME_LABEL), Pick("Total Time", ja::kInfoTotalTime));
  EXPECT_EQ(ControlText(info, IDC_INFO_DETAIL), Pick("&Detail", ja::kInfoDetail));
  if (opened_) {
    EXPECT_EQ(ControlText(info, IDC_INFO_RATE_LABEL), Pick("Bits", ja::kInfoBits));
    EXPECT_EQ(ControlText(info, IDC_INFO_FREQ), "44kHz");
    EXPECT_EQ(ControlText(info, IDC_INFO_CHAN), "2");
    EXPECT_EQ(ControlText(info, IDC_INFO_RATE), "   16 bit");
    EXPECT_EQ(ControlText(info, IDC_INFO_TIME), Pick("   1.0 sec", "   1点0 秒"));
  }

  HWND detail = OpenDetail(info);
  ASSERT_NE(detail, nullptr);
  EXPECT_EQ(TextBox(detail), nullptr) << "a WAVE file gets no text box";
  EXPECT_EQ(ControlText(detail, IDC_DET_FILE_SIZE), "176444");
  EXPECT_EQ(ControlText(detail, IDC_DET_RIFF_ID), "RIFF");
  EXPECT_EQ(ControlText(detail, IDC_DET_RIFF_SIZE), "176436");
  EXPECT_EQ(ControlText(detail, IDC_DET_SIZE_NOTE), Pick("FileSize minus 8", ja::kDetailSizeNote));
  EXPECT_EQ(ControlText(detail, IDC_DET_RIFF_TYPE), "WAVE");
  EXPECT_EQ(ControlText(detail, IDC_DET_CHUNK1_ID), "fmt ");
  EXPECT_EQ(ControlText(detail, IDC_DET_CHUNK1_SIZE), "16");
  EXPECT_EQ(ControlText(detail, IDC_DET_TAG), "1");
  EXPECT_EQ(ControlText(detail, IDC_DET_TAG_NAME), "PCM");
  EXPECT_EQ(ControlText(detail, IDC_DET_CHANNELS), "2");
  EXPECT_EQ(ControlText(detail, IDC_DET_CHAN_NOTE), Pick("stereo", ja::kDetailStereo));
  EXPECT_EQ(ControlText(detail, IDC_DET_RATE), "44100");
  EXPECT_EQ(ControlText(detail, IDC_DET_PERIOD), Pick("23microSec", "23 ﾏｲｸﾛ秒"));
  EXPECT_EQ(ControlText(detail, IDC_DET_BYTES), "176400");
  EXPECT_EQ(ControlText(detail, IDC_DET_BYTES_NOTE), Pick("Sample*Block", ja::kDetailBytesNote));
  EXPECT_EQ(ControlText(detail, IDC_DET_ALIGN), "4");
  EXPECT_EQ(ControlText(detail, IDC_DET_ALIGN_NOTE), Pick("Ch * Bits / 8", ja::kDetailAlignNote));
  EXPECT_EQ(ControlText(detail, IDC_DET_BITS), "16");
  EXPECT_EQ(ControlText(detail, IDC_DET_CBSIZE), "");
  EXPECT_EQ(ControlText(detail, IDC_DET_CBSIZE_NOTE), "PCM:0 AD:32");
  EXPECT_EQ(ControlText(detail, IDC_DET_CHUNK2_ID), "data");
  EXPECT_EQ(ControlText(detail, IDC_DET_CHUNK2_SIZE), "176400");
  EXPECT_EQ(ControlText(detail, IDC_DET_CHUNK3_SIZE), "RS-fCS-20");
  EXPECT_EQ(ControlText(detail, IDC_DET_TOTAL_TIME), "1.000000 sec");
  CloseDetail(detail);
}

TEST_F(InfoDialogs, HalfSecondInMilliseconds) {
  HWND info = OpenInfo(Fixture("info_half.wav"));
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
  HWND info = OpenInfo(Fixture("info_half.wav"), false);
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
  HWND info = OpenInfo(Fixture("info_adpcm.wav"));
  ASSERT_NE(info, nullptr);
  HWND detail = OpenDetail(info);
  ASSERT_NE(detail, nullptr);
  EXPECT_EQ(TextBox(detail), nullptr);
  EXPECT_EQ(ControlText(detail, IDC_DET_TAG_NAME), "MS-ADPCM");
  EXPECT_EQ(ControlText(detail, IDC_DET_CHAN_NOTE), Pick("monaural", ja::kDetailMonaural));
  EXPECT_EQ(ControlText(detail, IDC_DET_CBSIZE), "32");
  EXPECT_EQ(ControlText(detail, IDC_DET_CHUNK2_ID), "fact");
  EXPECT_EQ(ControlText(detail, IDC_DET_SIZE_NOTE), "fact=22050");
  EXPECT_EQ(ControlText(detail, IDC_DET_FACT_TIME), "1.000000 sec");
  EXPECT_EQ(ControlText(detail, IDC_DET_CHUNK3_ID), "data");
  CloseDetail(detail);
}

TEST_F(InfoDialogs, ListChunkFirst) {
  HWND info = OpenInfo(Fixture("info_list.wav"));
  ASSERT_NE(info, nullptr);
  HWND detail = OpenDetail(info);
  ASSERT_NE(detail, nullptr);
  EXPECT_EQ(TextBox(detail), nullptr);
  EXPECT_EQ(ControlText(detail, IDC_DET_CHUNK1_ID), "LIST");
  EXPECT_EQ(ControlText(detail, IDC_DET_CHUNK2_ID), "fmt ");
  EXPECT_EQ(ControlText(detail, IDC_DET_CHUNK3_ID), "data");
  EXPECT_EQ(ControlText(detail, IDC_DET_TAG), "");
  EXPECT_EQ(ControlText(detail, IDC_DET_TOTAL_TIME), Pick("unknown sec", ja::kDetailUnknownTime));
  CloseDetail(detail);
}

TEST_F(InfoDialogs, MpegLayer3Wave) {
  HWND info = OpenInfo(Fixture("info_mp3.wav"));
  ASSERT_NE(info, nullptr);
  HWND detail = OpenDetail(info);
  ASSERT_NE(detail, nullptr);
  HWND box = TextBox(detail);
  ASSERT_NE(box, nullptr) << "an MPEG Layer-3 WAVE gets the text box";
  EXPECT_NE(WindowText(box).find("SyncHead=fff"), std::string::npos) << WindowText(box);
  EXPECT_EQ(ControlText(detail, IDC_DET_TAG), "85");
  EXPECT_EQ(ControlText(detail, IDC_DET_TAG_NAME), "ID=1");
  EXPECT_EQ(ControlText(detail, IDC_DET_CHAN_NOTE), "flags=0002");
  EXPECT_EQ(ControlText(detail, IDC_DET_ALIGN_NOTE), "blksiz=417");
  EXPECT_EQ(ControlText(detail, IDC_DET_BITS_NOTE), "frames=1");
  EXPECT_EQ(ControlText(detail, IDC_DET_CBSIZE_NOTE), "delay=1393");
  EXPECT_EQ(ControlText(detail, IDC_DET_BYTES_NOTE), "16000");
  EXPECT_EQ(ControlText(detail, IDC_DET_PERIOD), "44100");
  CloseDetail(detail);
}

TEST_F(InfoDialogs, RawMpeg) {
  std::string file = Fixture("info.mp3");
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
  EXPECT_EQ(ControlText(detail, IDC_DET_RIFF_ID), "FFF");
  EXPECT_EQ(ControlText(detail, IDC_DET_RIFF_SIZE), "");
  EXPECT_EQ(ControlText(detail, IDC_DET_CHUNK2_SIZE), "");
  EXPECT_EQ(ControlText(detail, IDC_DET_TAG_NAME), "85");
  EXPECT_EQ(ControlText(detail, IDC_DET_CHAN_NOTE), "2");
  EXPECT_EQ(ControlText(detail, IDC_DET_BYTES_NOTE), "16000");
  EXPECT_EQ(ControlText(detail, IDC_DET_TOTAL_TIME), Seconds(FileSize(file) / 16000.0));
  CloseDetail(detail);
}

TEST_F(InfoDialogs, Id3TaggedMpeg) {
  HWND info = OpenInfo(Fixture("info_id3.mp3"));
  ASSERT_NE(info, nullptr);
  HWND detail = OpenDetail(info);
  ASSERT_NE(detail, nullptr);
  EXPECT_EQ(ControlText(detail, IDC_DET_RIFF_ID), "ID3.");
  ASSERT_NE(TextBox(detail), nullptr);
  EXPECT_NE(WindowText(TextBox(detail)).find("SyncHead=fff"), std::string::npos);
  CloseDetail(detail);
}

TEST_F(InfoDialogs, Rmp3) {
  HWND info = OpenInfo(Fixture("info.rmp"));
  ASSERT_NE(info, nullptr);
  HWND detail = OpenDetail(info);
  ASSERT_NE(detail, nullptr);
  ASSERT_NE(TextBox(detail), nullptr);
  EXPECT_EQ(ControlText(detail, IDC_DET_RIFF_TYPE), "RMP3");
  EXPECT_EQ(ControlText(detail, IDC_DET_CHUNK1_ID), "data");
  double data = std::atof(ControlText(detail, IDC_DET_CHUNK1_SIZE).c_str());
  EXPECT_EQ(ControlText(detail, IDC_DET_TOTAL_TIME), Seconds(data / 16000.0));
  CloseDetail(detail);
}

TEST_F(InfoDialogs, OggWithAndWithoutNominalBitrate) {
  // Without the level report: the file is shorter than a second.
  std::string file = Fixture("info.ogg");
  HWND info = OpenInfo(file, false);
  ASSERT_NE(info, nullptr);
  HWND detail = OpenDetail(info);
  ASSERT_NE(detail, nullptr);
  ASSERT_NE(TextBox(detail), nullptr);
  EXPECT_EQ(WindowText(TextBox(detail)), "freq=44100\r\nrate=128000\r\nchannel=2\r\n");
  EXPECT_EQ(ControlText(detail, IDC_DET_RIFF_ID), "OggS");
  EXPECT_EQ(ControlText(detail, IDC_DET_TOTAL_TIME), Seconds(FileSize(file) / 16000.0));
  CloseDetail(detail);

  HWND info0 = OpenInfo(Fixture("info_nobitrate.ogg"));
  ASSERT_NE(info0, nullptr);
  HWND detail0 = OpenDetail(info0);
  ASSERT_NE(detail0, nullptr);
  EXPECT_EQ(ControlText(detail0, IDC_DET_TOTAL_TIME), Pick("unknown sec", ja::kDetailUnknownTime));
  CloseDetail(detail0);
}

TEST_F(InfoDialogs, OkAndCancelEndTheInformationDialog) {
  HWND info = OpenInfo(Fixture("info_pcm.wav"));
  ASSERT_NE(info, nullptr);
  PostMessageA(info, WM_COMMAND, IDCANCEL, 0);  // Escape
  EXPECT_TRUE(app_->WaitForNoDialog());
  app_->PostCommand(IDM_INFO);
  info = app_->WaitForDialog("Wave Information");
  ASSERT_NE(info, nullptr);
  PressButton(info, IDOK);
  EXPECT_TRUE(app_->WaitForNoDialog()) << "OK must not lead to the detail dialog";
  EXPECT_EQ(app_->CloseAndWait().value_or(999), 0u);
}

TEST_F(InfoDialogs, ThreeDimensionItemInBothDialogs) {
  HWND info = OpenInfo(Fixture("info.mp3"));
  ASSERT_NE(info, nullptr);
  std::optional<MenuItem> item = FindMenuItem(app_->SystemMenuOf(info), IDM_THREE_D);
  ASSERT_TRUE(item.has_value());
  EXPECT_TRUE(item->checked());
  HWND detail = OpenDetail(info);
  ASSERT_NE(detail, nullptr);
  item = FindMenuItem(app_->SystemMenuOf(detail), IDM_THREE_D);
  ASSERT_TRUE(item.has_value());
  EXPECT_TRUE(item->checked());
  // The item switches the look off, and the mark follows.
  PostMessageA(detail, WM_SYSCOMMAND, IDM_THREE_D, 0);
  EXPECT_TRUE(WaitUntil([&] {
    std::optional<MenuItem> now = FindMenuItem(app_->SystemMenuOf(detail), IDM_THREE_D);
    return now && !now->checked();
  }));
  CloseDetail(detail);
}

}  // namespace
