// A long session in one TAPEON process: runs alternate between a recording
// (New, Rec., Stop) and a playback of it (Play, Pause, Cont, Stop, then Info
// with Detail and the Option dialog). The process's private memory, handle
// count and GDI object count after the last run stay within a small margin
// of what they were after run 10. TAPEON_SOAK_RUNS sets the number of runs
// (40 by default; the long form uses 300).
// The process functions of kernel32 (K32...), no psapi.dll needed.
#define PSAPI_VERSION 2
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>

#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "driver.h"
#include "engine_signal.h"
#include "resources/resource_ids.h"

using namespace e2e;
using namespace engine_test;

namespace {

constexpr int kDefaultRuns = 40;
constexpr int kBaselineRun = 10;
constexpr SIZE_T kMemoryMargin = 1024 * 1024;  // the heap may settle a little
constexpr DWORD kHandleMargin = 4;
constexpr DWORD kGdiMargin = 4;

struct Usage {
  SIZE_T private_bytes = 0;
  DWORD handles = 0;
  DWORD gdi_objects = 0;
};

// The handles a process holds. Wine answers GetProcessHandleCount for
// another process with 0; the system's handle list has them all.
DWORD HandleCount(HANDLE process, DWORD pid) {
  DWORD count = 0;
  if (GetProcessHandleCount(process, &count) && count != 0) return count;
  typedef LONG(WINAPI * QuerySystem)(ULONG, void*, ULONG, ULONG*);
  auto query = reinterpret_cast<QuerySystem>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
  if (!query) return 0;
  constexpr ULONG kSystemHandleInformation = 16;
  constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);
  struct Entry {
    ULONG owner_pid;
    BYTE object_type, flags;
    USHORT value;
    void* object;
    ULONG access;
  };
  std::vector<char> buffer(1 << 20);
  LONG status;
  while ((status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), nullptr)) ==
         kInfoLengthMismatch) {
    buffer.resize(buffer.size() * 2);
  }
  if (status != 0) return 0;
  const ULONG entries = *reinterpret_cast<ULONG*>(buffer.data());
  const Entry* entry = reinterpret_cast<const Entry*>(buffer.data() + sizeof(void*));
  for (ULONG k = 0; k < entries; ++k) count += entry[k].owner_pid == pid;
  return count;
}

// The GDI objects of a process. GetGuiResources is a stub in Wine (0), but
// Wine keeps the GDI handle table where Windows did before Windows 10: at the
// PEB's GdiSharedHandleTable, one 24-byte entry per handle, whose type byte is
// 0 for a free entry and whose stock flag marks the shared stock objects.
DWORD GdiObjectCount(HANDLE process) {
  const DWORD count = GetGuiResources(process, GR_GDIOBJECTS);
  if (count != 0) return count;
  typedef LONG(WINAPI * QueryProcess)(HANDLE, ULONG, void*, ULONG, ULONG*);
  auto query = reinterpret_cast<QueryProcess>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
  struct BasicInformation {
    LONG exit_status;
    void* peb;
    ULONG_PTR affinity;
    LONG priority;
    ULONG_PTR pid, parent_pid;
  } basic{};
  if (!query || query(process, 0, &basic, sizeof basic, nullptr) != 0) return 0;
  constexpr size_t kGdiTableOffset = 0x94;  // in the 32-bit PEB
  DWORD table = 0;
  if (!ReadProcessMemory(process, static_cast<char*>(basic.peb) + kGdiTableOffset, &table, sizeof table, nullptr) ||
      !table) {
    return 0;
  }
  struct Entry {
    UINT64 object;
    ULONG owner;
    USHORT unique;  // low byte: type bits and the stock flag (0x80)
    UCHAR type, flags;
    UINT64 user_pointer;
  };
  static_assert(sizeof(Entry) == 24, "GDI handle table entry");
  std::vector<Entry> entries(0x10000);
  SIZE_T read = 0;
  ReadProcessMemory(process, reinterpret_cast<void*>(static_cast<ULONG_PTR>(table)), entries.data(),
                    entries.size() * sizeof(Entry), &read);
  DWORD used = 0;
  for (size_t k = 0; k < read / sizeof(Entry); ++k) used += entries[k].type != 0 && !(entries[k].unique & 0x80);
  return used;
}

// Private memory is the commit charge (PagefileUsage, which Wine also fills
// in for another process).
Usage Measure(HANDLE process, DWORD pid) {
  Usage usage;
  PROCESS_MEMORY_COUNTERS memory{};
  if (GetProcessMemoryInfo(process, &memory, sizeof memory)) usage.private_bytes = memory.PagefileUsage;
  usage.handles = HandleCount(process, pid);
  usage.gdi_objects = GdiObjectCount(process);
  return usage;
}

std::ostream& operator<<(std::ostream& out, const Usage& usage) {
  return out << usage.private_bytes / 1024 << " KB private, " << usage.handles << " handles, " << usage.gdi_objects
             << " GDI objects";
}

class Soak : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!SoundSession()) GTEST_SKIP() << "no sound devices in this run";
    if (JapaneseSession()) GTEST_SKIP() << "the soak runs in the English session only";
  }

  // Opens a dialog by command, waits for it and closes it with the button.
  bool DialogRoundTrip(Tapeon& app, int command, const std::string& caption, int button) {
    if (!app.PostCommand(command)) return false;
    HWND dialog = app.WaitForDialog(caption, 5000);
    return dialog && PressButton(dialog, button) && WaitGone(dialog, 5000);
  }

  // New, Rec., Stop: a recording of at least one buffer into `path`.
  void Record(Tapeon& app, const std::string& path) {
    ASSERT_TRUE(app.PostCommand(IDM_NEW));
    HWND dialog = app.WaitForDialog("", 5000);
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(SetControlText(dialog, IDC_NEW_NAME, path));
    SetCheck(dialog, IDC_NEW_LIMIT_NO, true);
    ASSERT_TRUE(PressButton(dialog, IDOK));
    ASSERT_TRUE(app.WaitForNoDialog(5000));
    ASSERT_TRUE(WaitUntil([&] { return app.ButtonEnabled(IDM_START) && app.ButtonText(IDM_START) == RecText(); }, 5000));
    ASSERT_TRUE(app.PostCommand(IDM_START));
    ASSERT_TRUE(WaitUntil([&] { return FileSize(path) > 44; }, 10000)) << "nothing recorded";
    ASSERT_TRUE(app.PostCommand(IDM_STOP));
    ASSERT_TRUE(WaitForIdle(app, PlayText(), 10000));
  }

  // Play, Pause, Cont, Stop; then Info with Detail, and Option.
  void Play(Tapeon& app) {
    ASSERT_TRUE(app.PostCommand(IDM_START));
    ASSERT_TRUE(WaitUntil([&] { return app.ButtonEnabled(IDM_STOP); }, 5000)) << "playback did not start";
    ASSERT_TRUE(app.PostCommand(IDM_PAUSE));
    ASSERT_TRUE(WaitUntil([&] { return app.ButtonText(IDM_PAUSE) == "Cont" || !app.ButtonEnabled(IDM_STOP); }, 5000));
    if (app.ButtonEnabled(IDM_STOP)) {
      ASSERT_TRUE(app.PostCommand(IDM_PAUSE));
      ASSERT_TRUE(WaitUntil([&] { return app.ButtonText(IDM_PAUSE) != "Cont"; }, 5000));
      ASSERT_TRUE(app.PostCommand(IDM_STOP));
    }
    ASSERT_TRUE(WaitForIdle(app, PlayText(), 10000));
    ASSERT_TRUE(app.PostCommand(IDM_INFO));
    HWND info = app.WaitForDialog("Wave Information", 5000);
    ASSERT_NE(info, nullptr);
    ASSERT_TRUE(PressButton(info, IDC_INFO_DETAIL));
    HWND detail = app.WaitForDialog("Wave Detail", 5000);
    ASSERT_NE(detail, nullptr);
    ASSERT_TRUE(PressButton(detail, IDOK));
    ASSERT_TRUE(app.WaitForNoDialog(5000));
    ASSERT_TRUE(DialogRoundTrip(app, IDM_OPTION, Pick("Option", "オプション設定"), IDOK));
  }

  TempDir dir_;
};

TEST_F(Soak, RunsLeaveNoMemoryHandlesOrGdiObjectsBehind) {
  const char* runs_text = std::getenv("TAPEON_SOAK_RUNS");
  const int runs = runs_text ? std::atoi(runs_text) : kDefaultRuns;
  ASSERT_GT(runs, kBaselineRun);
  ASSERT_TRUE(WriteSettings(dir_, {{"levelwarning", "0"}, {"freq", "44100"}, {"channel", "2"}, {"bits", "16"}}));
  auto app = Launch(dir_, "");
  ASSERT_NE(app->main_window(), nullptr);
  Usage baseline;
  for (int run = 1; run <= runs; ++run) {
    // Two names in turn, so no run has to answer the overwrite question and
    // the file being played is never the one being made.
    const std::string path = dir_.File(run % 4 == 1 ? "a.wav" : "b.wav");
    if (run % 2 == 1) {
      DeleteFileA(path.c_str());
      ASSERT_NO_FATAL_FAILURE(Record(*app, path)) << "run " << run;
    } else {
      ASSERT_NO_FATAL_FAILURE(Play(*app)) << "run " << run;
    }
    if (run == kBaselineRun) baseline = Measure(app->process(), app->pid());
  }
  const Usage last = Measure(app->process(), app->pid());
  std::cout << "after run " << kBaselineRun << ": " << baseline << "\nafter run " << runs << ": " << last << "\n";
  EXPECT_LE(last.private_bytes, baseline.private_bytes + kMemoryMargin);
  EXPECT_LE(last.handles, baseline.handles + kHandleMargin);
  EXPECT_LE(last.gdi_objects, baseline.gdi_objects + kGdiMargin);
  EXPECT_EQ(app->CloseAndWait(), std::optional<DWORD>(0));
}

}  // namespace
