// End-to-end tests of file names: names in scripts outside the run's code
// page (Greek and Japanese in the English run, Korean in both) and a path of
// 200 characters are recorded into from the command line, repaired after the
// Open dialog, shown in the title and the information dialogs, played and
// chosen again in the New dialog; a device name is never opened, not even by
// Info -> Detail.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "driver.h"
#include "e2e_helpers.h"
#include "engine_signal.h"
#include "resources/ja_app.h"
#include "resources/ja_dialogs.h"
#include "resources/ja_sound_files.h"
#include "resources/resource_ids.h"
#include "tests/le_bytes.h"

using namespace e2e;

namespace {

std::string Narrow(UINT code_page, const std::wstring& wide) {
  const int bytes = WideCharToMultiByte(code_page, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<size_t>(bytes > 0 ? bytes : 1), '\0');
  WideCharToMultiByte(code_page, 0, wide.c_str(), -1, &text[0], bytes, nullptr, nullptr);
  text.resize(text.size() - 1);
  return text;
}

std::string Utf8(const std::wstring& wide) { return Narrow(CP_UTF8, wide); }
// As the run's code page shows it, with the system's replacement for the
// characters it lacks.
std::string Shown(const std::wstring& wide) { return Narrow(CP_ACP, wide); }

std::wstring Widen(const std::string& text) {
  const int units = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<size_t>(units), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], units);
  wide.resize(wide.size() - 1);
  return wide;
}

std::optional<std::string> ReadWide(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string bytes(GetFileSize(file, nullptr), '\0');
  DWORD got = 0;
  const bool ok = ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &got, nullptr) && got == bytes.size();
  CloseHandle(file);
  return ok ? std::optional<std::string>(bytes) : std::nullopt;
}

bool WriteWide(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                  written == bytes.size();
  CloseHandle(file);
  return ok;
}

bool SetTextW(HWND control, const std::wstring& text) {
  DWORD_PTR result = 0;
  return control && SendMessageTimeoutW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                                        SMTO_ABORTIFHUNG, kTimeoutMs, &result) && result;
}

std::wstring TextW(HWND control) {
  wchar_t text[1024] = {};
  DWORD_PTR result = 0;
  if (!control || !SendMessageTimeoutW(control, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                                       kTimeoutMs, &result))
    return L"";
  return text;
}

std::wstring FileTitle(const std::wstring& path) { return path.substr(path.find_last_of(L'\\') + 1); }

// The paths under test in dir: three names, and a path of 200 characters
// whose folders and name are Korean syllables. (Linux file systems take at
// most 255 bytes a name, 85 such syllables, so the 200 characters need two
// folders.)
std::vector<std::wstring> PathsIn(const TempDir& dir) {
  const std::wstring base = Widen(dir.path());
  std::vector<std::wstring> paths;
  for (const wchar_t* name : {L"Ελληνικά.wav", L"音楽.wav", L"한국어.wav"}) paths.push_back(base + L"\\" + name);
  std::wstring path = base;
  wchar_t syllable = 0xAC00;  // "가"
  while (path.size() + 1 + 80 + 1 + 4 < 200) {
    path += L'\\';
    for (int k = 0; k < 80; ++k) path += syllable++;
    CreateDirectoryW(path.c_str(), nullptr);
  }
  path += L'\\';
  while (path.size() < 200 - 4) path += syllable++;
  paths.push_back(path + L".wav");
  return paths;
}

BOOL CALLBACK FindEdit(HWND window, LPARAM found) {
  if (ClassName(window) != "Edit") return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

// The Open dialog's file name field: the edit inside its combo box (cmb13).
HWND FileNameField(HWND dialog) {
  HWND edit = nullptr;
  if (HWND combo = Control(dialog, 0x47C)) EnumChildWindows(combo, FindEdit, reinterpret_cast<LPARAM>(&edit));
  return edit;
}

// One path through everything a name meets.
void RecordRepairShowPlayAndChooseAgain(const TempDir& dir, const std::wstring& path) {
  const std::wstring title = FileTitle(path) + L" - TAPEON";

  // Recorded into from the command line: one second, and TAPEON ends.
  ASSERT_TRUE(WriteFileBytes(dir.File("TAPEON.INI"), "[TAPEON]\r\nlevelwarning=0\r\n"));
  LaunchOptions options;
  options.utf8_arguments = true;
  auto recorder = Launch(dir, "/R/T0.01 " + Utf8(path), options);
  ASSERT_TRUE(recorder->started());
  ASSERT_TRUE(recorder->WaitForExit()) << "the recording did not end at its limit";
  EXPECT_EQ(recorder->ExitCode(), 0u);
  std::optional<std::string> recorded = ReadWide(path);
  ASSERT_TRUE(recorded && recorded->size() > 44) << "no recording";
  ASSERT_EQ(recorded->substr(0, 4), "RIFF");
  const uint32_t data_size = GetU32(*recorded, 40);
  ASSERT_EQ(recorded->size(), 44u + data_size);
  const uint32_t rate = GetU32(*recorded, 24);

  // A recording that never closed: RIFF size 0, and a tenth of a second of
  // sound worth comparing.
  const uint32_t kept = GetU32(*recorded, 28) / 10 / 4 * 4;
  ASSERT_GE(data_size, kept);
  std::string damaged = recorded->substr(0, 44 + kept);
  SetU32(damaged, 4, 0);
  SetU32(damaged, 40, kept);
  for (size_t k = 44; k < damaged.size(); ++k) damaged[k] = static_cast<char>(k * 7 + k / 251);
  ASSERT_TRUE(WriteWide(path, damaged));

  // Chosen in the Open dialog, repaired, shown.
  auto app = Start(dir);
  ASSERT_NE(app->main_window(), nullptr);
  ASSERT_TRUE(app->PostCommand(IDM_OPEN));
  HWND open = app->WaitForDialog(Pick("Play Open", ja::kPlayOpen));
  ASSERT_NE(open, nullptr);
  EXPECT_TRUE(IsWindowUnicode(FileNameField(open)));
  ASSERT_TRUE(SetTextW(FileNameField(open), path));
  ASSERT_TRUE(PressButton(open, IDOK));
  ASSERT_TRUE(WaitGone(open));
  std::optional<MessageBoxInfo> offer = app->AnswerMessageBox(IDYES);
  ASSERT_TRUE(offer) << "no repair offered";
  EXPECT_EQ(offer->text, Pick("File destroyed. Recover?", ja::files::kRecover));
  ASSERT_TRUE(WaitUntil([&] { return app->ButtonEnabled(IDM_START); })) << "not opened for playing";
  EXPECT_EQ(WindowTitleW(app->main_window()), title);
  EXPECT_EQ(app->Title(), Shown(title));
  std::optional<std::string> repaired = ReadWide(path);
  ASSERT_TRUE(repaired);
  EXPECT_EQ(GetU32(*repaired, 4), repaired->size() - 8);

  ASSERT_TRUE(app->PostCommand(IDM_INFO));
  HWND info = app->WaitForDialog("Wave Information");
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(ControlText(info, IDC_INFO_FREQ), std::to_string((rate + 500) / 1000) + "kHz");
  ASSERT_TRUE(PressButton(info, IDC_INFO_DETAIL));
  HWND detail = app->WaitForDialog("Wave Detail");
  ASSERT_NE(detail, nullptr);
  ExpectControlTexts(detail, {{IDC_DET_FILE_SIZE, std::to_string(repaired->size())},
                              {IDC_DET_RIFF_ID, "RIFF"},
                              {IDC_DET_RIFF_SIZE, std::to_string(repaired->size() - 8)}});
  ASSERT_TRUE(PressButton(detail, IDOK));
  ASSERT_TRUE(app->WaitForNoDialog());

  // Played: the device gets the file's sound.
  const std::string watched = dir.File("device.raw");
  ASSERT_TRUE(app->WatchPlayback(watched));
  ASSERT_TRUE(app->PostCommand(IDM_START));
  ASSERT_TRUE(WaitUntil([&] { return app->ButtonEnabled(IDM_STOP); })) << "does not play";
  ASSERT_TRUE(engine_test::WaitForIdle(*app, engine_test::PlayText()));
  EXPECT_TRUE(ReadFileBytes(watched) == damaged.substr(44)) << "the device did not get the file's sound";

  // Chosen again in the New dialog, whose name field is a Unicode window
  // (on Windows an ANSI one keeps the code page's bytes), also when a change
  // of look makes it again; the overwrite question shows the name as the
  // code page can; closing before a recording removes the empty file.
  ASSERT_TRUE(app->PostCommand(IDM_NEW));
  HWND create = app->WaitForDialog();
  ASSERT_NE(create, nullptr);
  EXPECT_TRUE(IsWindowUnicode(create));
  ASSERT_TRUE(SetTextW(Control(create, IDC_NEW_NAME), path));
  auto expect_name_field = [&](const char* when) {
    HWND field = Control(create, IDC_NEW_NAME);
    EXPECT_TRUE(IsWindowUnicode(field)) << when;
    EXPECT_TRUE(TextW(field) == path) << when;
  };
  expect_name_field("as opened");
  for (bool three_d : {false, true}) {
    ASSERT_TRUE(SwitchThreeD(*app, create, three_d));
    expect_name_field(three_d ? "three-dimension look again" : "flat look");
  }
  ASSERT_TRUE(PressButton(create, IDOK));
  std::optional<MessageBoxInfo> overwrite = AnswerBoxOver(*app, create, IDYES);
  ASSERT_TRUE(overwrite);
  EXPECT_EQ(overwrite->text, Shown(path) + Pick("\nThis file is exist.\n\nOverwrite?",
                                                std::string(ja::kOverwrite).substr(2)));
  ASSERT_TRUE(WaitUntil([&] { return app->ButtonText(IDM_START) == engine_test::RecText(); }));
  EXPECT_EQ(WindowTitleW(app->main_window()), title);
  EXPECT_EQ(CloseExpectingSuccess(*app), "");
  EXPECT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES) << "the empty recording file stayed";
}

TEST(Names, AnyScriptIsRecordedRepairedShownAndPlayed) {
  if (!SoundSession()) GTEST_SKIP() << "needs wave devices";
  TempDir dir;
  for (const std::wstring& path : PathsIn(dir)) {
    SCOPED_TRACE(Utf8(path.substr(dir.path().size())));
    RecordRepairShowPlayAndChooseAgain(dir, path);
  }
}

// The help program's window as Wine's WinHelp finds it (dlls/user32/winhelp.c:
// a top-level window of class "MS_WINHELP", sent WM_COPYDATA tagged 0xA1DE505
// with this record and the help file's name in the code page after it), so
// the test sees the name TAPEON asks for and no help program is started.
struct WinHelpRecord {
  WORD size, command;
  LONG data, reserved;
  WORD file_name_offset, data_offset;
};
std::string help_request;

LRESULT CALLBACK FakeHelpWindow(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_COPYDATA) {
    const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lparam);
    const auto* record = static_cast<const WinHelpRecord*>(copy->lpData);
    if (copy->dwData == 0xA1DE505 && copy->cbData >= sizeof *record && record->file_name_offset)
      help_request = reinterpret_cast<const char*>(record) + record->file_name_offset;
    return TRUE;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

// The program, its profile and its working directory in a folder outside the
// code page: kanji, two bytes each in the Japanese code page (the path is
// longer than MAX_PATH there), and a Korean syllable, which neither code page
// holds. The settings are read and written there, the New dialog's free
// space is the working directory's drive's, and the help file beside the
// program is asked for by a name the help program (which reads names in the
// code page) can open.
TEST(Names, SettingsHelpAndFreeSpaceInAFolderOutsideTheCodePage) {
  if (!SoundSession()) GTEST_SKIP() << "needs wave devices";
  TempDir dir;
  std::wstring folder = Widen(dir.path());
  for (const wchar_t* pair : {L"音楽", L"録音"}) {
    folder += L'\\';
    for (int k = 0; k < 40; ++k) folder += pair;
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  }
  folder += L"\\한";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  ASSERT_TRUE(CopyFileW(Widen(TapeonPath()).c_str(), (folder + L"\\TAPEON.EXE").c_str(), FALSE));
  const std::string help_bytes = "help file " + std::to_string(GetTickCount());
  ASSERT_TRUE(WriteWide(folder + L"\\TAPEON.HLP", help_bytes));
  ASSERT_TRUE(WriteWide(folder + L"\\TAPEON.INI", "[TAPEON]\r\nlevelwarning=0\r\nfreq=22050\r\nchannel=1\r\n"));

  WNDCLASSA help_class = {};
  help_class.lpfnWndProc = FakeHelpWindow;
  help_class.hInstance = GetModuleHandleA(nullptr);
  help_class.lpszClassName = "MS_WINHELP";
  RegisterClassA(&help_class);
  std::unique_ptr<HWND__, decltype(&DestroyWindow)> help_window(
      CreateWindowExA(0, "MS_WINHELP", "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, help_class.hInstance,
                      nullptr),
      &DestroyWindow);
  ASSERT_TRUE(help_window);

  LaunchOptions options;
  options.utf8_paths = true;
  options.program = Utf8(folder + L"\\TAPEON.EXE");
  options.profile_dir = Utf8(folder);
  auto app = Launch(dir, "", options);
  ASSERT_NE(app->main_window(), nullptr);

  ASSERT_TRUE(app->PostCommand(IDM_NEW));
  HWND create = app->WaitForDialog();
  ASSERT_NE(create, nullptr);
  EXPECT_EQ(CheckState(create, IDC_NEW_22K), BST_CHECKED) << "the settings were not read";
  EXPECT_EQ(CheckState(create, IDC_NEW_MONO), BST_CHECKED) << "the settings were not read";
  const std::string free_space = ControlText(create, IDC_NEW_FREESPACE);
  EXPECT_EQ(toupper(static_cast<unsigned char>(free_space[0])), toupper(static_cast<unsigned char>(dir.path()[0])))
      << free_space;
  ASSERT_TRUE(PressButton(create, IDCANCEL));
  ASSERT_TRUE(WaitGone(create));

  help_request.clear();
  ASSERT_TRUE(app->PostCommand(IDM_HELP));
  ASSERT_TRUE(WaitUntil([] {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    return !help_request.empty();
  })) << "no help asked for";
  EXPECT_EQ(ReadFileBytes(help_request), help_bytes) << help_request;

  EXPECT_EQ(CloseExpectingSuccess(*app), "");
  std::optional<std::string> settings = ReadWide(folder + L"\\TAPEON.INI");
  ASSERT_TRUE(settings);
  EXPECT_NE(settings->find("dialog3d=1"), std::string::npos) << "the settings were not written: " << *settings;
}

// A device is no file: neither the open nor Info -> Detail opens it. A pipe
// that the test holds would block a read from it for ever.
TEST(Names, DetailNeverOpensADevice) {
  TempDir dir;
  const std::string pipe_name = "\\\\.\\pipe\\tapeon-" + std::to_string(GetCurrentProcessId());
  HANDLE pipe = CreateNamedPipeA(pipe_name.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_NOWAIT, 1, 4096, 4096,
                                 0, nullptr);
  ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
  for (const std::string& name : {std::string("COM1"), pipe_name}) {
    SCOPED_TRACE(name);
    auto app = Start(dir, name);
    std::optional<MessageBoxInfo> refused = app->AnswerMessageBox(IDOK);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->text, Pick("cant open file", ja::files::kCantOpenFile));
    ASSERT_TRUE(app->PostCommand(IDM_INFO));
    HWND info = app->WaitForDialog("Wave Information");
    ASSERT_NE(info, nullptr);
    ASSERT_TRUE(PressButton(info, IDC_INFO_DETAIL));
    HWND detail = app->WaitForDialog("Wave Detail", 5000);
    ASSERT_NE(detail, nullptr) << "Detail does not answer";
    ASSERT_TRUE(PressButton(detail, IDOK));
    EXPECT_EQ(CloseExpectingSuccess(*app), "");
  }
  // Still listening: no one connected.
  EXPECT_FALSE(ConnectNamedPipe(pipe, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PIPE_LISTENING));
  CloseHandle(pipe);
}

}  // namespace
