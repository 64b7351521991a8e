// End-to-end tests of the Option dialog, the new-recording-file dialog, the
// About box and the three-dimension look every dialog offers, in the language
// of the run.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "driver.h"
#include "e2e_helpers.h"
// after windows.h
#include <mmsystem.h>
#include "resources/ja_dialogs.h"
#include "resources/resource_ids.h"

using namespace e2e;

namespace {

const std::string kThreeDEnglish = "&Three dimension";
const std::string kThreeDJapanese = "３Ｄ表示(\x1E" "T\x1F" "ｻ)";

std::string OptionTitle() { return Pick("Option", "オプション設定"); }
std::string NewFileTitle() { return Pick("New file for recording", "録音用ファイルの新規作成"); }

HWND OpenDialog(Tapeon& app, int command, const std::string& title) {
  if (!app.PostCommand(command)) return nullptr;
  return app.WaitForDialog(title);
}

void PressAndWaitGone(HWND dialog, int id) {
  ASSERT_TRUE(PressButton(dialog, id));
  ASSERT_TRUE(WaitGone(dialog));
}

// A scroll action on the rate bar, as the bar reports it to the dialog.
void ScrollRate(HWND dialog, int code, int times = 1) {
  for (int i = 0; i < times; ++i)
    SendMessageA(dialog, WM_HSCROLL, MAKEWPARAM(code, 0), reinterpret_cast<LPARAM>(Control(dialog, IDC_OPT_RATE)));
}

int ComboSelection(HWND dialog, int id) {
  return static_cast<int>(SendMessageA(Control(dialog, id), CB_GETCURSEL, 0, 0));
}

void SelectCombo(HWND dialog, int id, int index) {
  HWND combo = Control(dialog, id);
  SendMessageA(combo, CB_SETCURSEL, index, 0);
}

bool Checked(HWND dialog, int id) { return CheckState(dialog, id) == BST_CHECKED; }

// What the test process sees of the shared sound setup.
int InputDevices() { return static_cast<int>(waveInGetNumDevs()); }

}  // namespace

// ---- Option dialog ------------------------------------------------------------

TEST(DialogsOption, ControlsShowTheSettings) {
  TempDir dir;
  ASSERT_TRUE(WriteFileBytes(dir.File("TAPEON.INI"),
                             "[TAPEON]\r\nPeakHold=2\r\ndeltatime=1024\r\nsmooth=1\r\ndisplay=0\r\nmonochrome=1\r\n"
                             "levelwarning=0\r\nOnMem=1\r\nMemSize=40\r\nfreq=22050\r\nchannel=1\r\nbits=8\r\n"));
  auto app = Start(dir);
  HWND dialog = OpenDialog(*app, IDM_OPTION, OptionTitle());
  ASSERT_NE(dialog, nullptr);

  EXPECT_FALSE(Checked(dialog, IDC_OPT_HOLD_OFF));
  EXPECT_FALSE(Checked(dialog, IDC_OPT_HOLD_DECAY));
  EXPECT_TRUE(Checked(dialog, IDC_OPT_HOLD_CONST));
  EXPECT_EQ(ComboSelection(dialog, IDC_OPT_TIMING), 5);
  EXPECT_TRUE(Checked(dialog, IDC_OPT_SMOOTH));
  EXPECT_FALSE(Checked(dialog, IDC_OPT_DBDISP));
  EXPECT_TRUE(Checked(dialog, IDC_OPT_MONOCHROME));
  EXPECT_FALSE(Checked(dialog, IDC_OPT_LEVELWARNING));
  EXPECT_TRUE(Checked(dialog, IDC_OPT_ONMEM));
  EXPECT_TRUE(ControlEnabled(dialog, IDC_OPT_MEMSIZE));
  EXPECT_EQ(ControlText(dialog, IDC_OPT_MEMSIZE), "40");
  // 40 MB of 22050 Hz 8-bit mono.
  EXPECT_EQ(ControlText(dialog, IDC_OPT_MEMTIME), Pick("22kHz 8bit Monaural : 1902 sec", "22kHz 8bit ﾓﾉﾗﾙで約1902秒ぶん"));
  EXPECT_EQ(ControlText(dialog, IDC_OPT_PERCENT), "100.0%");
  EXPECT_EQ(ControlText(dialog, IDC_OPT_PITCH), Pick(" +0.0", " +0.0半音"));
  EXPECT_EQ(ControlText(dialog, IDC_OPT_ONMEM), Pick("&On memory", "録音/再生をオンメモリで行う(&O)"));
  EXPECT_EQ(ControlText(dialog, IDCANCEL), Pick("Cancel", "ｷｬﾝｾﾙ"));
  // The timing list in the language of the run, without the spelled-out forms.
  HWND timing = Control(dialog, IDC_OPT_TIMING);
  ASSERT_EQ(SendMessageA(timing, CB_GETCOUNT, 0, 0), 7);
  EXPECT_EQ(SendMessageA(timing, CB_GETLBTEXTLEN, 3, 0), static_cast<LRESULT>(Pick("1/3 sec", "1/3秒").size()));

  PressAndWaitGone(dialog, IDCANCEL);
  EXPECT_EQ(CloseExpectingSuccess(*app), "");
  std::string ini = dir.File("TAPEON.INI");
  ExpectIniValues(ini, {{"PeakHold", "2"}, {"deltatime", "1024"}, {"MemSize", "40"}});
}

TEST(DialogsOption, OkStoresEveryChangeAndTheRateStays) {
  TempDir dir;
  auto app = Start(dir);
  HWND dialog = OpenDialog(*app, IDM_OPTION, OptionTitle());
  ASSERT_NE(dialog, nullptr);
  // The defaults: decay, 1/3 s, db display and the level report on.
  EXPECT_TRUE(Checked(dialog, IDC_OPT_HOLD_DECAY));
  EXPECT_EQ(ComboSelection(dialog, IDC_OPT_TIMING), 3);
  EXPECT_FALSE(Checked(dialog, IDC_OPT_ONMEM));
  EXPECT_FALSE(ControlEnabled(dialog, IDC_OPT_MEMSIZE));

  ScrollRate(dialog, SB_LINERIGHT, 5);
  EXPECT_EQ(ControlText(dialog, IDC_OPT_PERCENT), "102.9%");
  EXPECT_EQ(ControlText(dialog, IDC_OPT_PITCH), Pick(" +0.5", "+0点5半音"));
  ASSERT_TRUE(SetCheck(dialog, IDC_OPT_HOLD_OFF, true));
  SelectCombo(dialog, IDC_OPT_TIMING, 0);
  ASSERT_TRUE(SetCheck(dialog, IDC_OPT_SMOOTH, true));
  ASSERT_TRUE(SetCheck(dialog, IDC_OPT_DBDISP, false));
  ASSERT_TRUE(SetCheck(dialog, IDC_OPT_MONOCHROME, true));
  ASSERT_TRUE(SetCheck(dialog, IDC_OPT_LEVELWARNING, false));
  ASSERT_TRUE(SetCheck(dialog, IDC_OPT_ONMEM, true));
  EXPECT_TRUE(ControlEnabled(dialog, IDC_OPT_MEMSIZE));
  EXPECT_TRUE(ControlEnabled(dialog, IDC_OPT_MEMTIME));
  ASSERT_TRUE(SetControlText(dialog, IDC_OPT_MEMSIZE, "300"));
  PressAndWaitGone(dialog, IDOK);

  // The rate is kept for the run, not in the settings file.
  dialog = OpenDialog(*app, IDM_OPTION, OptionTitle());
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(ControlText(dialog, IDC_OPT_PERCENT), "102.9%");
  EXPECT_EQ(ControlText(dialog, IDC_OPT_MEMSIZE), "255");
  EXPECT_TRUE(Checked(dialog, IDC_OPT_HOLD_OFF));
  EXPECT_EQ(ComboSelection(dialog, IDC_OPT_TIMING), 0);
  PressAndWaitGone(dialog, IDCANCEL);

  EXPECT_EQ(CloseExpectingSuccess(*app), "");
  std::string ini = dir.File("TAPEON.INI");
  ExpectIniValues(ini, {
      {"PeakHold", "0"}, {"deltatime", "32768"}, {"smooth", "1"}, {"display", "0"}, {"monochrome", "1"},
      {"levelwarning", "0"}, {"OnMem", "1"}, {"MemSize", "255"},
  });
}

TEST(DialogsOption, CancelRestoresTheRateAndDropsOtherChanges) {
  TempDir dir;
  auto app = Start(dir);
  HWND dialog = OpenDialog(*app, IDM_OPTION, OptionTitle());
  ASSERT_NE(dialog, nullptr);
  ScrollRate(dialog, SB_PAGERIGHT, 20);
  EXPECT_EQ(ControlText(dialog, IDC_OPT_PERCENT), "200.0%");
  EXPECT_EQ(ControlText(dialog, IDC_OPT_PITCH), Pick("+12.0", "+12.0半音"));
  ASSERT_TRUE(SetCheck(dialog, IDC_OPT_SMOOTH, true));
  PressAndWaitGone(dialog, IDCANCEL);

  dialog = OpenDialog(*app, IDM_OPTION, OptionTitle());
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(ControlText(dialog, IDC_OPT_PERCENT), "100.0%");
  EXPECT_FALSE(Checked(dialog, IDC_OPT_SMOOTH));
  // Below one semitone the Japanese pitch is spelled out while the level
  // report is on.
  ScrollRate(dialog, SB_LINELEFT, 5);
  EXPECT_EQ(ControlText(dialog, IDC_OPT_PITCH), Pick(" -0.5", "-0点5半音"));
  ScrollRate(dialog, SB_LINELEFT, 10);
  EXPECT_EQ(ControlText(dialog, IDC_OPT_PITCH), Pick(" -1.5", " -1.5半音"));
  PressAndWaitGone(dialog, IDCANCEL);
  EXPECT_EQ(CloseExpectingSuccess(*app), "");
  EXPECT_EQ(IniValue(dir.File("TAPEON.INI"), "smooth"), "0");
}

TEST(DialogsOption, LettersAndBrokenFormatsNeverEndTheProgram) {
  TempDir dir;
  ASSERT_TRUE(WriteFileBytes(dir.File("TAPEON.INI"), "[TAPEON]\r\nchannel=0\r\nbits=4\r\nOnMem=1\r\ndeltatime=4000\r\n"));
  auto app = Start(dir);
  HWND dialog = OpenDialog(*app, IDM_OPTION, OptionTitle());
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(ControlText(dialog, IDC_OPT_MEMTIME), Pick("Recording format invalid", "録音形式が不正です"));
  // A display timing of none of the seven values selects nothing and is kept.
  EXPECT_EQ(ComboSelection(dialog, IDC_OPT_TIMING), -1);
  ASSERT_TRUE(SetControlText(dialog, IDC_OPT_MEMSIZE, "ab"));
  PressAndWaitGone(dialog, IDOK);
  ASSERT_FALSE(app->Exited());
  EXPECT_EQ(CloseExpectingSuccess(*app), "");
  std::string ini = dir.File("TAPEON.INI");
  ExpectIniValues(ini, {{"MemSize", "2"}, {"deltatime", "4000"}});
}

// ---- The three-dimension look ----------------------------------------------------

TEST(DialogsThreeD, SystemMenuItemTogglesEveryDialogAndPersists) {
  TempDir dir;
  auto app = Start(dir);
  const std::string item_text = Pick(kThreeDEnglish, kThreeDJapanese);

  // Option: on at first; off re-creates the memory size and the rate bar
  // with plain borders in their places, and survives Cancel.
  HWND dialog = OpenDialog(*app, IDM_OPTION, OptionTitle());
  ASSERT_NE(dialog, nullptr);
  auto item = ThreeDItem(*app, dialog);
  ASSERT_TRUE(item);
  EXPECT_EQ(item->text, item_text);
  EXPECT_TRUE(item->checked());
  HWND memory = Control(dialog, IDC_OPT_MEMSIZE);
  RECT before;
  GetWindowRect(memory, &before);
  EXPECT_TRUE(GetWindowLongA(memory, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
  ScrollRate(dialog, SB_LINERIGHT, 3);
  ASSERT_TRUE(SwitchThreeD(*app, dialog, false));
  ASSERT_TRUE(WaitUntil([&] { return Control(dialog, IDC_OPT_MEMSIZE) != memory; }));
  memory = Control(dialog, IDC_OPT_MEMSIZE);
  // An edit draws a plain border itself (it takes WS_BORDER out of its style).
  EXPECT_FALSE(GetWindowLongA(memory, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
  EXPECT_TRUE(GetWindowLongA(Control(dialog, IDC_OPT_RATE), GWL_STYLE) & WS_BORDER);
  RECT after;
  GetWindowRect(memory, &after);
  EXPECT_EQ(after.left, before.left);
  EXPECT_EQ(after.top, before.top);
  EXPECT_EQ(after.right - after.left, before.right - before.left);
  EXPECT_EQ(ControlText(dialog, IDC_OPT_MEMSIZE), "15");
  EXPECT_EQ(GetScrollPos(Control(dialog, IDC_OPT_RATE), SB_CTL), 3);
  // The keyboard order is kept: each re-created control follows its label.
  std::vector<ControlInfo> order = Controls(dialog);
  for (size_t i = 0; i + 1 < order.size(); ++i) {
    if (order[i].id == IDC_OPT_MEMLABEL) {
      EXPECT_EQ(order[i + 1].id, IDC_OPT_MEMSIZE);
    }
    if (order[i].id == IDC_OPT_RATELABEL) {
      EXPECT_EQ(order[i + 1].id, IDC_OPT_RATE);
    }
  }
  PressAndWaitGone(dialog, IDCANCEL);

  // New: opens in the flat look; switching back on gives the edits their
  // sunken edge again.
  if (InputDevices() > 0) {
    dialog = OpenDialog(*app, IDM_NEW, NewFileTitle());
    ASSERT_NE(dialog, nullptr);
    item = ThreeDItem(*app, dialog);
    ASSERT_TRUE(item);
    EXPECT_FALSE(item->checked());
    EXPECT_FALSE(GetWindowLongA(Control(dialog, IDC_NEW_NAME), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    ASSERT_TRUE(SwitchThreeD(*app, dialog, true));
    EXPECT_TRUE(GetWindowLongA(Control(dialog, IDC_NEW_NAME), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    EXPECT_TRUE(GetWindowLongA(Control(dialog, IDC_NEW_MINUTES), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    PressAndWaitGone(dialog, IDCANCEL);
    // And off again for the About box below.
    dialog = OpenDialog(*app, IDM_NEW, NewFileTitle());
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(SwitchThreeD(*app, dialog, false));
    PressAndWaitGone(dialog, IDCANCEL);
  }

  // About: the item is there too, off now; switching it on persists.
  dialog = OpenDialog(*app, IDM_ABOUT, "About TAPEON");
  ASSERT_NE(dialog, nullptr);
  item = ThreeDItem(*app, dialog);
  ASSERT_TRUE(item);
  EXPECT_EQ(item->text, item_text);
  EXPECT_FALSE(item->checked());
  ASSERT_TRUE(SwitchThreeD(*app, dialog, true));
  ASSERT_TRUE(SwitchThreeD(*app, dialog, false));
  PressAndWaitGone(dialog, IDOK);
  EXPECT_EQ(CloseExpectingSuccess(*app), "");
  EXPECT_EQ(IniValue(dir.File("TAPEON.INI"), "dialog3d"), "0");
}

// ---- About box --------------------------------------------------------------------

TEST(DialogsAbout, ShowsVersionBuildAndDeviceCounts) {
  TempDir dir;
  auto app = Start(dir);
  HWND dialog = OpenDialog(*app, IDM_ABOUT, "About TAPEON");
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(ControlText(dialog, IDC_ABOUT_VERSION), "TAPEON Version 0.16");
  EXPECT_EQ(ControlText(dialog, IDC_ABOUT_BITS), Pick("32 bits", "32 bit 版"));
  EXPECT_EQ(ControlText(dialog, IDC_ABOUT_FREE), Pick("This is free software", "これはフリーソフトです"));
  EXPECT_FALSE(ControlText(dialog, IDC_ABOUT_AUTHOR).empty());
  std::string compiler = ControlText(dialog, IDC_ABOUT_COMPILER);
  if (JapaneseSession()) {
    EXPECT_EQ(compiler.substr(0, 4), "GCC ");
    EXPECT_NE(compiler.find("で作成"), std::string::npos) << compiler;
  } else {
    EXPECT_EQ(compiler.substr(0, 12), "Made by GCC ") << compiler;
  }
  char counts[96];
  snprintf(counts, sizeof counts,
           JapaneseSession() ? "録音ﾃﾞﾊﾞｲｽ=%2d個  再生ﾃﾞﾊﾞｲｽ=%2d個" : "record device=%2d  play device=%2d",
           static_cast<int>(waveInGetNumDevs()), static_cast<int>(waveOutGetNumDevs()));
  EXPECT_EQ(ControlText(dialog, IDC_ABOUT_DEVICES), counts);
  // Idle: the box can be moved.
  auto move = FindMenuItem(app->SystemMenuOf(dialog), SC_MOVE);
  ASSERT_TRUE(move);
  EXPECT_FALSE(move->grey());
  PressAndWaitGone(dialog, IDOK);
  EXPECT_EQ(CloseExpectingSuccess(*app), "");
}

// ---- New recording file dialog -------------------------------------------------------

class DialogsNewFile : public ::testing::Test {
 protected:
  void SetUp() override {
    if (InputDevices() == 0) GTEST_SKIP() << "needs a wave input device";
  }
};

TEST_F(DialogsNewFile, EmptyNameCreatesTheFirstFreeNumberedFile) {
  TempDir dir;
  ASSERT_TRUE(WriteFileBytes(dir.File("T0.WAV"), "zero"));
  ASSERT_TRUE(WriteFileBytes(dir.File("T1.WAV"), "one"));
  auto app = Start(dir);
  HWND dialog = OpenDialog(*app, IDM_NEW, NewFileTitle());
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(ControlText(dialog, IDC_NEW_NAME), "");
  EXPECT_EQ(ControlText(dialog, IDC_NEW_MINUTES), "60");
  EXPECT_TRUE(Checked(dialog, IDC_NEW_LIMIT_NO));
  EXPECT_FALSE(ControlEnabled(dialog, IDC_NEW_MINUTES));
  std::string free_space = ControlText(dialog, IDC_NEW_FREESPACE);
  EXPECT_EQ(free_space.substr(1, 1), ":");
  EXPECT_NE(free_space.find(Pick("Drive free space ", "ドライブの残り容量 ")), std::string::npos) << free_space;
  EXPECT_EQ(ControlText(dialog, IDC_NEW_BROWSE), Pick("&Browse...", "参照(&B)..."));

  PressAndWaitGone(dialog, IDOK);
  EXPECT_TRUE(FileExists(dir.File("T2.WAV")));
  EXPECT_EQ(ReadFileBytes(dir.File("T0.WAV")), "zero");
  EXPECT_TRUE(WaitUntil([&] { return app->ButtonText(IDM_START) == Pick("Rec.", "録音"); }));
  EXPECT_TRUE(app->ButtonEnabled(IDM_START));
  EXPECT_TRUE(app->ButtonEnabled(IDM_PAUSE));
  EXPECT_NE(app->Title().find("T2.WAV"), std::string::npos) << app->Title();
  EXPECT_EQ(CloseExpectingSuccess(*app), "");
}

// Recording over the first file of an earlier series (last night's take
// (2).WAV and (3).WAV beside it) says so: No keeps the dialog open for
// another name, Yes keeps them; nothing of them is deleted.
TEST_F(DialogsNewFile, ExistingFileIsOverwrittenOnlyAfterYes) {
  TempDir dir;
  ASSERT_TRUE(WriteFileBytes(dir.File("take.WAV"), "keep me"));
  ASSERT_TRUE(WriteFileBytes(dir.File("take (2).WAV"), "second"));
  ASSERT_TRUE(WriteFileBytes(dir.File("take (3).WAV"), "third"));
  auto app = Start(dir);
  HWND dialog = OpenDialog(*app, IDM_NEW, NewFileTitle());
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(SetCheck(dialog, IDC_NEW_AUTOEXT, true));
  ASSERT_TRUE(SetControlText(dialog, IDC_NEW_NAME, "take"));
  ASSERT_TRUE(PressButton(dialog, IDOK));
  auto box = AnswerBoxOver(*app, dialog, IDNO);
  ASSERT_TRUE(box);
  EXPECT_EQ(box->text, Pick("take.WAV\nThis file is exist.\n\nOverwrite?",
                            "take.WAV\nこのファイルはすでに存在します。\n\n上書きしますか？"));
  EXPECT_EQ(box->caption, Pick("RecOpen", "録音用ファイルの新規作成"));
  ASSERT_EQ(box->buttons.size(), 2u);
  EXPECT_TRUE(IsWindowVisible(dialog)) << "No keeps the dialog open";
  EXPECT_EQ(ReadFileBytes(dir.File("take.WAV")), "keep me");

  char series[512];
  snprintf(series, sizeof series, Pick(en::dialogs::kEarlierSeries, ja::kEarlierSeries).c_str(), "take.WAV",
           "take (2).WAV", ", ...");
  ASSERT_TRUE(PressButton(dialog, IDOK));
  ASSERT_TRUE(AnswerBoxOver(*app, dialog, IDYES));
  box = AnswerBoxOver(*app, dialog, IDNO);
  ASSERT_TRUE(box) << "nothing said of the numbered files";
  EXPECT_EQ(box->text, series);
  EXPECT_TRUE(IsWindowVisible(dialog)) << "No keeps the dialog open";
  EXPECT_EQ(ReadFileBytes(dir.File("take.WAV")), "keep me");

  ASSERT_TRUE(PressButton(dialog, IDOK));
  ASSERT_TRUE(AnswerBoxOver(*app, dialog, IDYES));
  ASSERT_TRUE(AnswerBoxOver(*app, dialog, IDYES));
  ASSERT_TRUE(WaitGone(dialog));
  EXPECT_NE(ReadFileBytes(dir.File("take.WAV")), "keep me");
  EXPECT_EQ(ReadFileBytes(dir.File("take (2).WAV")), "second");
  EXPECT_EQ(ReadFileBytes(dir.File("take (3).WAV")), "third");
  EXPECT_TRUE(WaitUntil([&] { return app->ButtonText(IDM_START) == Pick("Rec.", "録音"); }));
  EXPECT_EQ(CloseExpectingSuccess(*app), "");
  EXPECT_EQ(IniValue(dir.File("TAPEON.INI"), "AutoExtention"), "1");
}

// Among them a full path of 256 characters: the system takes it, but not
// the names of its series (" (2)" and on), which a long recording would need
// hours later.
TEST_F(DialogsNewFile, NamesThatCannotBeCreatedKeepTheDialogOpen) {
  TempDir dir;
  const std::string series_too_long = dir.File(std::string(256 - dir.path().size() - 5, 'n') + ".wav");
  ASSERT_TRUE(WriteFileBytes(series_too_long, "")) << "the system takes the name itself";
  ASSERT_TRUE(DeleteFileA(series_too_long.c_str()));
  auto app = Start(dir);
  HWND dialog = OpenDialog(*app, IDM_NEW, NewFileTitle());
  ASSERT_NE(dialog, nullptr);
  for (const std::string& name : {dir.File("missing\\take.wav"), std::string("a<b>.wav"), std::string("a|b.wav"),
                                  std::string(258, 'n'), series_too_long}) {
    SCOPED_TRACE(name.substr(0, 40));
    ASSERT_TRUE(SetControlText(dialog, IDC_NEW_NAME, name));
    ASSERT_TRUE(PressButton(dialog, IDOK));
    auto box = AnswerBoxOver(*app, dialog, IDOK);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text, Pick("File cannot create.\nfile name ?", "ファイルを作成できません。\nファイル名は正しいですか？"));
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_FALSE(FileExists(name));
  }
  // A pattern opens the browse dialog instead; cancelling it returns here.
  ASSERT_TRUE(SetControlText(dialog, IDC_NEW_NAME, "*.wav"));
  ASSERT_TRUE(PressButton(dialog, IDOK));
  HWND browse = WaitForOtherDialog(*app, dialog);
  ASSERT_NE(browse, nullptr);
  EXPECT_EQ(WindowText(browse), Pick("Browse", "参照"));
  ASSERT_TRUE(PostMessageA(browse, WM_COMMAND, IDCANCEL, 0));
  ASSERT_TRUE(WaitGone(browse));
  EXPECT_TRUE(IsWindowVisible(dialog));

  PressAndWaitGone(dialog, IDCANCEL);
  EXPECT_EQ(app->ButtonText(IDM_START), Pick("Play", "再生"));
  EXPECT_FALSE(app->ButtonEnabled(IDM_START));
  EXPECT_EQ(CloseExpectingSuccess(*app), "");
}

TEST_F(DialogsNewFile, TimeLimitAndFormatAreStored) {
  struct Case {
    const char* minutes;
    bool limit;
    const char* end_time;
    const char* seigen;
  };
  const Case cases[] = {
      {"1.5", true, "90", "1"},          {"0.01", true, "1", "1"},
      {"abc", true, "0", "0"},           {"999999999999999", true, "2147483647", "1"},
      {"2", false, "120", "0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.minutes);
    TempDir dir;
    auto app = Start(dir);
    HWND dialog = OpenDialog(*app, IDM_NEW, NewFileTitle());
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(SetCheck(dialog, c.limit ? IDC_NEW_LIMIT_YES : IDC_NEW_LIMIT_NO, true));
    EXPECT_EQ(ControlEnabled(dialog, IDC_NEW_MINUTES), c.limit);
    ASSERT_TRUE(SetControlText(dialog, IDC_NEW_MINUTES, c.minutes));
    ASSERT_TRUE(SetCheck(dialog, IDC_NEW_22K, true));
    ASSERT_TRUE(SetCheck(dialog, IDC_NEW_MONO, true));
    std::string free_space = ControlText(dialog, IDC_NEW_FREESPACE);
    EXPECT_NE(free_space.find(Pick(" sec)", "秒ぶん)")), std::string::npos) << free_space;
    ASSERT_TRUE(SetControlText(dialog, IDC_NEW_NAME, "limit.wav"));
    PressAndWaitGone(dialog, IDOK);
    EXPECT_TRUE(FileExists(dir.File("limit.wav")));
    EXPECT_EQ(CloseExpectingSuccess(*app), "");
    std::string ini = dir.File("TAPEON.INI");
    ExpectIniValues(ini, {{"EndTime", c.end_time}, {"seigen", c.seigen}, {"freq", "22050"}, {"channel", "1"}});
  }
}

TEST_F(DialogsNewFile, CancelPutsTheFormatBack) {
  TempDir dir;
  auto app = Start(dir);
  HWND dialog = OpenDialog(*app, IDM_NEW, NewFileTitle());
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(SetCheck(dialog, IDC_NEW_11K, true));
  ASSERT_TRUE(SetCheck(dialog, IDC_NEW_8BIT, true));
  PressAndWaitGone(dialog, IDCANCEL);
  dialog = OpenDialog(*app, IDM_NEW, NewFileTitle());
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(Checked(dialog, IDC_NEW_44K));
  EXPECT_TRUE(Checked(dialog, IDC_NEW_16BIT));
  PressAndWaitGone(dialog, IDCANCEL);
  EXPECT_EQ(CloseExpectingSuccess(*app), "");
  ExpectIniValues(dir.File("TAPEON.INI"), {{"freq", "44100"}, {"bits", "16"}});
}

TEST_F(DialogsNewFile, HandEditedFormatIsRefusedWithAMessage) {
  TempDir dir;
  ASSERT_TRUE(WriteFileBytes(dir.File("TAPEON.INI"), "[TAPEON]\r\nchannel=0\r\nbits=4\r\n"));
  auto app = Start(dir);
  HWND dialog = OpenDialog(*app, IDM_NEW, NewFileTitle());
  ASSERT_NE(dialog, nullptr);
  // The seconds cannot be computed; the space can.
  std::string free_space = ControlText(dialog, IDC_NEW_FREESPACE);
  EXPECT_NE(free_space.find(" KB"), std::string::npos) << free_space;
  EXPECT_EQ(free_space.find(Pick("sec", "秒")), std::string::npos) << free_space;
  EXPECT_FALSE(Checked(dialog, IDC_NEW_STEREO) || Checked(dialog, IDC_NEW_MONO));
  ASSERT_TRUE(SetControlText(dialog, IDC_NEW_NAME, "odd.wav"));
  ASSERT_TRUE(PressButton(dialog, IDOK));
  auto box = AnswerBoxOver(*app, dialog, IDOK);
  ASSERT_TRUE(box);
  EXPECT_EQ(box->text, Pick("No support this format", "サウンドドライバは、この形式を録音できません。"));
  EXPECT_TRUE(IsWindowVisible(dialog));
  // Picking a real format makes it work; the empty file made on the way is
  // there now.
  ASSERT_TRUE(SetCheck(dialog, IDC_NEW_STEREO, true));
  ASSERT_TRUE(SetCheck(dialog, IDC_NEW_16BIT, true));
  ASSERT_TRUE(PressButton(dialog, IDOK));
  ASSERT_TRUE(AnswerBoxOver(*app, dialog, IDYES));
  ASSERT_TRUE(WaitGone(dialog));
  ASSERT_FALSE(app->Exited());
  EXPECT_EQ(CloseExpectingSuccess(*app), "");
}

TEST_F(DialogsNewFile, RecordingGoesIntoTheNewFileAndTheAboutBoxStaysPut) {
  TempDir dir;
  ASSERT_TRUE(WriteFileBytes(dir.File("TAPEON.INI"), "[TAPEON]\r\nlevelwarning=0\r\n"));
  auto app = Start(dir);
  HWND dialog = OpenDialog(*app, IDM_NEW, NewFileTitle());
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(SetControlText(dialog, IDC_NEW_NAME, "session.wav"));
  PressAndWaitGone(dialog, IDOK);
  ASSERT_TRUE(WaitUntil([&] { return app->ButtonEnabled(IDM_START); }));

  ASSERT_TRUE(app->PostCommand(IDM_START));
  ASSERT_TRUE(WaitUntil([&] { return app->ButtonEnabled(IDM_STOP); })) << "the recording did not start";
  // While the recording takes sound the About box offers no Move.
  dialog = OpenDialog(*app, IDM_ABOUT, "About TAPEON");
  ASSERT_NE(dialog, nullptr);
  SendMessageA(dialog, WM_INITMENU, 0, 0);
  auto move = FindMenuItem(app->SystemMenuOf(dialog), SC_MOVE);
  ASSERT_TRUE(move);
  EXPECT_TRUE(move->grey());
  PressAndWaitGone(dialog, IDOK);

  // A streaming recording writes buffer by buffer: wait for a second of sound.
  ASSERT_TRUE(WaitUntil([&] {
    auto so_far = ReadFileBytes(dir.File("session.wav"));
    return so_far && so_far->size() > 44u + 176400u;
  }));
  ASSERT_TRUE(app->PostCommand(IDM_STOP));
  ASSERT_TRUE(WaitUntil([&] { return !app->ButtonEnabled(IDM_STOP); }));
  auto bytes = ReadFileBytes(dir.File("session.wav"));
  ASSERT_TRUE(bytes);
  EXPECT_GT(bytes->size(), 44u + 44100u) << "seconds of 44.1 kHz 16-bit stereo expected";
  EXPECT_EQ(bytes->substr(0, 4), "RIFF");

  // Idle again: Move is back.
  dialog = OpenDialog(*app, IDM_ABOUT, "About TAPEON");
  ASSERT_NE(dialog, nullptr);
  SendMessageA(dialog, WM_INITMENU, 0, 0);
  move = FindMenuItem(app->SystemMenuOf(dialog), SC_MOVE);
  ASSERT_TRUE(move);
  EXPECT_FALSE(move->grey());
  PressAndWaitGone(dialog, IDOK);
  EXPECT_EQ(CloseExpectingSuccess(*app), "");
}
