// End-to-end tests of the application shell: the main window, its menu and
// buttons, the settings file written at exit, command-line options, the two
// languages, a system without wave devices, and bad input.
#include "driver.h"
#include "e2e_helpers.h"

#include <gtest/gtest.h>
#include <mmsystem.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>
#include "resources/resource_ids.h"
#include "tests/riff_bytes.h"

using namespace e2e;

namespace {

// Brings the program to a quiet main window, answering every message box it
// shows on the way with its first button; returns the boxes' texts.
std::vector<std::string> SettleAnsweringBoxes(Tapeon& app) {
  std::vector<std::string> texts;
  for (int round = 0; round < 10; ++round) {
    if (app.Exited()) break;
    if (app.WaitForMainWindow(2000) && app.WaitForNoDialog(2000)) break;
    for (HWND box : app.Dialogs()) {
      MessageBoxInfo info = ReadMessageBox(box);
      texts.push_back(info.text);
      if (!info.buttons.empty()) PressButton(box, info.buttons.front().first);
    }
  }
  return texts;
}

// Starts TAPEON on a profile directory and command line that may be hostile,
// answers every box it shows, and checks that it is still running and then
// ends with exit code 0.
void ExpectToOutliveItsStart(const TempDir& dir, const std::string& arguments) {
  LaunchOptions options;
  options.profile_dir = dir.path();
  options.arguments = arguments;
  Tapeon app(options);
  ASSERT_TRUE(app.started());
  SettleAnsweringBoxes(app);
  ASSERT_FALSE(app.Exited()) << "exit code " << app.ExitCode();
  ASSERT_NE(app.main_window(), nullptr);
  EXPECT_EQ(CloseExpectingSuccess(app), "");
}

// The recording format the program falls back to from the input device's
// formats (none without an input device).
struct RecordingFormat {
  std::string bits = "16", channel = "2", freq = "44100";
};
RecordingFormat ExpectedRecordingFormat() {
  DWORD formats = 0;
  if (waveInGetNumDevs() > 0) {
    WAVEINCAPSA caps{};
    if (waveInGetDevCapsA(WAVE_MAPPER, &caps, sizeof caps) == MMSYSERR_NOERROR ||
        waveInGetDevCapsA(0, &caps, sizeof caps) == MMSYSERR_NOERROR) {
      formats = caps.dwFormats;
    }
  }
  RecordingFormat format;
  if (!(formats & 0xAAA)) format.channel = "1";
  if (!(formats & 0xCCC)) format.bits = "8";
  if (!(formats & 0xFF0)) {
    format.freq = "11025";
  } else if (!(formats & 0xF00)) {
    format.freq = "22050";
  }
  return format;
}

struct ExpectedItem {
  UINT id;  // 0xFFFFFFFF for a popup, 0 for a separator
  const char* english;
  const char* japanese;
};

// The menu bar from top to bottom, popups followed by their items.
const ExpectedItem kMenu[] = {
    {0xFFFFFFFF, "&File", "ファイル(&F)"},
    {IDM_NEW, "&New...", "新規(&N)..."},
    {IDM_OPEN, "&Open...", "開く(&O)..."},
    {0, "", ""},
    {IDM_INFO, "&Info...", "情報(&I)..."},
    {0, "", ""},
    {IDM_EXIT, "Exit(&X)", "終了(&X)"},
    {0xFFFFFFFF, "&Operation", "操作(&O)"},
    {IDM_START, "&Start", "演奏(&L)"},
    {IDM_STOP, "Stop(&T)", "停止(&T)"},
    {IDM_PAUSE, "&Pause", "ポーズ(&P)"},
    {0, "", ""},
    {IDM_OPTION, "&Option...", "オプション(&O)..."},
    {0xFFFFFFFF, "&Help", "ヘルプ(&H)"},
    {IDM_HELP, "&Help...\tF1", "ヘルプの表示(&H)...\tF1"},
    {IDM_ABOUT, "&About...", "バージョン情報(&A)..."},
};

void ExpectMenuTexts(const std::vector<MenuItem>& menu, bool japanese) {
  ASSERT_EQ(menu.size(), std::size(kMenu));
  for (size_t i = 0; i < menu.size(); ++i) {
    const ExpectedItem& expected = kMenu[i];
    SCOPED_TRACE("menu entry " + std::to_string(i));
    if (expected.id == 0) {
      EXPECT_TRUE(menu[i].separator());
    } else if (expected.id == 0xFFFFFFFF) {
      EXPECT_TRUE(menu[i].popup());
      EXPECT_EQ(menu[i].level, 0);
      EXPECT_EQ(menu[i].text, japanese ? expected.japanese : expected.english);
    } else {
      EXPECT_EQ(menu[i].id, expected.id);
      EXPECT_EQ(menu[i].text, japanese ? expected.japanese : expected.english);
    }
  }
}

void ExpectButtons(Tapeon& app, bool japanese) {
  EXPECT_EQ(app.ButtonText(IDM_START), japanese ? "再生" : "Play");
  EXPECT_EQ(app.ButtonText(IDM_STOP), japanese ? "停止" : "Stop");
  EXPECT_EQ(app.ButtonText(IDM_PAUSE), "Pause");
}

void ExpectLayout(Tapeon& app, const Cells& cells) {
  ASSERT_GT(cells.height, 0);
  SIZE client = app.ClientSize();
  RECT outer = app.WindowRect();
  EXPECT_EQ(client.cy, 24 * cells.height) << "client area must be exactly 24 cells high";
  EXPECT_EQ(outer.right - outer.left, 37 * cells.width) << "window must be 37 cells wide";
  // The three buttons sit on row 19, 11 cells wide and 4 high.
  const int ids[] = {IDM_START, IDM_STOP, IDM_PAUSE};
  const int columns[] = {1, 13, 25};
  for (int i = 0; i < 3; ++i) {
    HWND button = app.Button(ids[i]);
    ASSERT_NE(button, nullptr);
    RECT rect;
    GetWindowRect(button, &rect);
    MapWindowPoints(nullptr, app.main_window(), reinterpret_cast<POINT*>(&rect), 2);
    EXPECT_EQ(rect.left, columns[i] * cells.width) << "button " << ids[i];
    EXPECT_EQ(rect.top, 19 * cells.height) << "button " << ids[i];
    EXPECT_EQ(rect.right - rect.left, 11 * cells.width) << "button " << ids[i];
    EXPECT_EQ(rect.bottom - rect.top, 4 * cells.height) << "button " << ids[i];
  }
}

// A silent PCM WAVE file (11025 Hz, 8 bits, mono) of the given length.
std::string SilentWave(int seconds) {
  uint32_t data = 11025u * static_cast<uint32_t>(seconds);
  // The RIFF size leaves out the pad byte an odd data chunk would need.
  return riff_bytes::Riff("WAVE",
                          riff_bytes::Chunk("fmt ", riff_bytes::FormatBody(1, 1, 11025, 11025, 1, 8)) + "data" +
                              riff_bytes::Le32(data) + std::string(data, '\x80'),
                          36LL + data);
}

}  // namespace

TEST(Shell, RunLanguageMatchesItsCodePage) {
  // A run started under a Japanese locale must really have the Shift-JIS OEM
  // font, or the Japanese tests below would quietly test English.
  if (GetACP() == 932) {
    EXPECT_TRUE(JapaneseSession()) << "code page 932 without a Shift-JIS OEM font (Japanese fonts missing?)";
  } else {
    EXPECT_FALSE(JapaneseSession());
  }
}

TEST(Shell, MainWindowStartsIdleWithFixedLayout) {
  TempDir dir;
  auto app = Start(dir);
  ASSERT_NE(app->main_window(), nullptr);
  EXPECT_EQ(ClassName(app->main_window()), "TAPEON");
  EXPECT_EQ(app->Title(), "TAPEON");

  LONG style = app->Style();
  EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_THICKFRAME) << "the window must not be resizable";
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);

  ExpectLayout(*app, ExpectedCells());
  ExpectButtons(*app, JapaneseSession());
  for (int id : {IDM_START, IDM_STOP, IDM_PAUSE}) EXPECT_FALSE(app->ButtonEnabled(id)) << id;

  std::vector<MenuItem> menu = app->MainMenu();
  ExpectMenuTexts(menu, JapaneseSession());
  for (UINT id : {IDM_INFO, IDM_START, IDM_STOP, IDM_PAUSE}) {
    auto item = FindMenuItem(menu, id);
    ASSERT_TRUE(item) << id;
    EXPECT_TRUE(item->grey()) << id;
  }
  for (UINT id : {IDM_EXIT, IDM_OPTION, IDM_HELP, IDM_ABOUT}) {
    auto item = FindMenuItem(menu, id);
    ASSERT_TRUE(item) << id;
    EXPECT_FALSE(item->grey()) << id;
  }
  EXPECT_EQ(FindMenuItem(menu, IDM_NEW)->grey(), waveInGetNumDevs() == 0);
  EXPECT_EQ(FindMenuItem(menu, IDM_OPEN)->grey(), waveOutGetNumDevs() == 0);

  // The system menu is the standard one and offers Move while idle.
  auto move = FindMenuItem(app->SystemMenu(), SC_MOVE);
  ASSERT_TRUE(move);
  EXPECT_FALSE(move->grey());

  EXPECT_EQ(CloseExpectingSuccess(*app), "");
}

TEST(Shell, ExitCommandEndsWithCodeZero) {
  TempDir dir;
  auto app = Start(dir);
  ASSERT_TRUE(app->PostCommand(IDM_EXIT));
  ASSERT_TRUE(app->WaitForExit());
  EXPECT_EQ(app->ExitCode(), 0u);
}

TEST(Shell, FirstRunWritesEveryKeyWithItsDefault) {
  TempDir dir;
  auto app = Start(dir);
  EXPECT_FALSE(FileExists(dir.File("TAPEON.INI"))) << "settings are written only at exit";
  ASSERT_EQ(CloseExpectingSuccess(*app), "");

  RecordingFormat format = ExpectedRecordingFormat();
  std::vector<std::pair<std::string, std::string>> expected = {
      {"levelwarning", "1"}, {"OnMem", "0"},         {"MemSize", "15"},  {"smooth", "0"},
      {"monochrome", "0"},   {"PeakHold", "1"},      {"deltatime", "4096"}, {"dialog3d", "1"},
      {"bits", format.bits}, {"channel", format.channel}, {"freq", format.freq}, {"display", "1"},
      {"AutoExtention", "0"}, {"EndTime", "3600"},   {"seigen", "0"}};
  EXPECT_EQ(IniSection(dir.File("TAPEON.INI")), expected);
}

TEST(Shell, CommandLineOptionsPersistInSettings) {
  // Rates that the settings file cannot hold are used but not saved: the
  // file keeps its earlier lines.
  const std::string kept = "[TAPEON]\r\nfreq=22050\r\nEndTime=600\r\nseigen=1\r\n";
  const std::vector<std::pair<std::string, std::string>> kept_values = {
      {"freq", "22050"}, {"EndTime", "600"}, {"seigen", "1"}};
  const struct {
    std::string arguments;
    std::string settings;  // the settings file before the run; none when empty
    std::vector<std::pair<std::string, std::string>> expected;
  } cases[] = {
      {"/M /O /T1.5 /22", "", {{"channel", "1"}, {"bits", "8"}, {"EndTime", "90"}, {"seigen", "1"}, {"freq", "22050"}}},
      // Options need no blanks between them, ignore case, and later ones win.
      {"/m/s/o/h/t2/1", "", {{"channel", "2"}, {"bits", "16"}, {"EndTime", "120"}, {"seigen", "1"}, {"freq", "11025"}}},
      {"/48000", kept, kept_values},
      {"/5", kept, kept_values},
      {"/96", kept, kept_values},
      {"/8", kept, kept_values},
      // "/48" is read by its first digit: 44100 Hz, which is saved.
      {"/48", "[TAPEON]\r\nfreq=22050\r\n", {{"freq", "44100"}}},
      // Settings read from the file survive a run: a hand-set MemSize beyond
      // the range comes back clamped, other values unchanged.
      {"", "[TAPEON]\r\nMemSize=300\r\nPeakHold=2\r\ndeltatime=1024\r\nlevelwarning=0\r\n",
       {{"MemSize", "255"}, {"PeakHold", "2"}, {"deltatime", "1024"}, {"levelwarning", "0"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("command line \"" + c.arguments + "\"");
    TempDir dir;
    if (!c.settings.empty()) {
      ASSERT_TRUE(WriteFileBytes(dir.File("TAPEON.INI"), c.settings));
    }
    auto app = Start(dir, c.arguments);
    ASSERT_EQ(CloseExpectingSuccess(*app), "");
    ExpectIniValues(dir.File("TAPEON.INI"), c.expected);
  }
}

TEST(Shell, JapaneseRunUsesJapaneseTextsUnlessForcedToEnglish) {
  if (!JapaneseSession()) GTEST_SKIP() << "needs a run under LC_ALL=ja_JP.UTF-8";
  {
    TempDir dir;
    auto app = Start(dir);
    ExpectButtons(*app, true);
    ExpectMenuTexts(app->MainMenu(), true);
    ExpectLayout(*app, ExpectedCells());
    EXPECT_EQ(CloseExpectingSuccess(*app), "");
  }
  for (const char* option : {"/E", "/e"}) {
    SCOPED_TRACE(option);
    TempDir dir;
    auto app = Start(dir, option);
    ExpectButtons(*app, false);
    std::vector<MenuItem> menu = app->MainMenu();
    ExpectMenuTexts(menu, false);
    EXPECT_TRUE(FindMenuItem(menu, IDM_INFO)->grey());
    ExpectLayout(*app, ExpectedCells(true));
    EXPECT_EQ(CloseExpectingSuccess(*app), "");
  }
}

TEST(ShellNoSound, OpenAndNewAreGreyAndRecordingFormatFallsBack) {
  if (SoundSession()) GTEST_SKIP() << "needs a run without a sound server";
  TempDir dir;
  auto app = Start(dir);
  std::vector<MenuItem> menu = app->MainMenu();
  ASSERT_FALSE(menu.empty());
  EXPECT_TRUE(FindMenuItem(menu, IDM_NEW)->grey());
  EXPECT_TRUE(FindMenuItem(menu, IDM_OPEN)->grey());
  EXPECT_FALSE(FindMenuItem(menu, IDM_OPTION)->grey());
  EXPECT_FALSE(FindMenuItem(menu, IDM_ABOUT)->grey());
  for (int id : {IDM_START, IDM_STOP, IDM_PAUSE}) EXPECT_FALSE(app->ButtonEnabled(id)) << id;
  ASSERT_EQ(CloseExpectingSuccess(*app), "");
  std::string ini = dir.File("TAPEON.INI");
  ExpectIniValues(ini, {{"bits", "8"}, {"channel", "1"}, {"freq", "11025"}});
}

TEST(Shell, DamagedSettingsFileNeverEndsTheProgram) {
  std::string long_value(5000, '7');
  std::string binary;
  for (int i = 0; i < 4096; ++i) binary += static_cast<char>((i * 131 + 17) & 0xFF);
  const std::vector<std::string> files = {
      "[TAPEON]\r\nfreq=abc\r\nMemSize=-5\r\ndeltatime=0\r\nchannel=0\r\nbits=0\r\nEndTime=-1\r\nseigen=x\r\n",
      "[TAPEON]\r\ndeltatime=99999999999999999999\r\nfreq=4294967295\r\nchannel=-32768\r\nbits=65535\r\n"
      "PeakHold=7\r\ndisplay=-1\r\nMemSize=2147483647\r\n",
      "[TAPEON]\r\nfreq=" + long_value + "\r\nMemSize=" + long_value + "\r\nEndTime=" + long_value + "\r\n",
      "[TAPEON\r\n==\r\n=\r\n[]\r\nfreq\r\n[TAPEON]]\r\nbits==16\r\n",
      binary,
      "[TAPEON]\r\n" + binary,
  };
  for (size_t i = 0; i < files.size(); ++i) {
    SCOPED_TRACE("settings file " + std::to_string(i));
    TempDir dir;
    ASSERT_TRUE(WriteFileBytes(dir.File("TAPEON.INI"), files[i]));
    ASSERT_NO_FATAL_FAILURE(ExpectToOutliveItsStart(dir, ""));
    auto memsize = IniValue(dir.File("TAPEON.INI"), "MemSize");
    ASSERT_TRUE(memsize);
    int value = atoi(memsize->c_str());
    EXPECT_TRUE(value >= 2 && value <= 255) << "MemSize=" << *memsize;
  }
}

TEST(Shell, HostileCommandLinesNeverEndTheProgram) {
  std::vector<std::string> lines;
  {
    // 300 option tokens, more than the program keeps.
    const char* options[] = {"/E", "/S", "/M", "/H", "/O", "/7", "/T0", "/0", "/", "/X"};
    std::string line;
    for (int i = 0; i < 300; ++i) line += std::string(options[i % 10]) + " ";
    lines.push_back(line);
  }
  {
    // 300 file-name tokens: the first names a file that does not exist.
    std::string line;
    for (int i = 0; i < 300; ++i) line += "\"missing file " + std::to_string(i) + ".wav\" /";
    lines.push_back(line);
  }
  lines.push_back(std::string(2000, 'a'));                      // a 2000-byte file name
  lines.push_back("/T" + std::string(1998, '9'));               // a 2000-byte time limit
  lines.push_back("/" + std::string(1999, '4'));                // a 2000-byte rate
  lines.push_back("\"" + std::string(1998, '\\') + "\"");       // quotes and backslashes
  lines.push_back(std::string(1000, '\x82') + std::string(1000, '\x5C'));  // lead and trail bytes
  lines.push_back("/T-5 /T1e30 /Tnan /-1");
  for (size_t i = 0; i < lines.size(); ++i) {
    SCOPED_TRACE("command line " + std::to_string(i) + ": " + lines[i].substr(0, 60));
    TempDir dir;
    ASSERT_NO_FATAL_FAILURE(ExpectToOutliveItsStart(dir, lines[i]));
    EXPECT_TRUE(FileExists(dir.File("TAPEON.INI")));
  }
}

TEST(Shell, KeyboardShortcutsStartAndStopPlayback) {
  if (!SoundSession()) GTEST_SKIP() << "needs wave devices";
  TempDir dir;
  ASSERT_TRUE(WriteFileBytes(dir.File("quiet.wav"), SilentWave(30)));
  auto app = Start(dir, dir.File("quiet.wav"));
  ASSERT_TRUE(WaitUntil([&] { return app->ButtonEnabled(IDM_START); })) << "the file was not opened for playing";
  EXPECT_EQ(app->Title(), "quiet.wav - TAPEON");
  EXPECT_FALSE(app->ButtonEnabled(IDM_STOP));

  // Ctrl+P plays a file opened for playing, Ctrl+S stops it; the keys work
  // while a push button has the focus.
  ASSERT_TRUE(app->TypeKey('P', true));
  EXPECT_TRUE(WaitUntil([&] { return app->ButtonEnabled(IDM_STOP) && !app->ButtonEnabled(IDM_START); }))
      << "Ctrl+P did not start playback";
  ASSERT_TRUE(app->TypeKey('S', true));
  EXPECT_TRUE(WaitUntil([&] { return !app->ButtonEnabled(IDM_STOP) && app->ButtonEnabled(IDM_START); }))
      << "Ctrl+S did not stop playback";
  EXPECT_EQ(CloseExpectingSuccess(*app), "");
}
