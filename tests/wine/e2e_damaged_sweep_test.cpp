// Damaged files through the whole program: the fixtures of every kind are cut
// short, have bytes flipped or size fields overwritten, and each result is
// opened from TAPEON's command line, played, and shown in Info and Detail.
// Every file must end in one of the program's message boxes or play; none may
// end the program, hang it (each step is bounded) or change the file (any
// repair is declined). TAPEON_SWEEP_FILES sets the number of files (60 by
// default; the long form uses 1000 or more), TAPEON_SWEEP_SEED the mutations.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <set>
#include <string>
#include <vector>

#include "driver.h"
#include "e2e_helpers.h"
#include "resources/resource_ids.h"

using namespace e2e;

namespace {

constexpr DWORD kStepMs = 10000;  // the bound of each step
constexpr int kDefaultFiles = 60;

// One fixture of each kind (and a few variants): the sweep goes round them.
const char* const kFixtures[] = {
    "files_s16_44k.wav", "files_u8_mono.wav", "files_adpcm.wav",  "info_list.wav", "files_cbr128.rmp",
    "info_mp3.wav",      "files_cbr128.mp3",  "files_id3.mp3",    "files_vbr.mp3", "files_vorbis.ogg",
};

// xorshift: the same seed gives the same files on every machine.
struct Random {
  uint32_t state;
  uint32_t Next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  }
  uint32_t Below(uint32_t n) { return n ? Next() % n : 0; }
};

void Put32(std::string& bytes, size_t at, uint32_t value) {
  for (int k = 0; k < 4 && at + k < bytes.size(); ++k) bytes[at + k] = static_cast<char>(value >> (8 * k));
}

// Offsets of the size fields a reader trusts: the 32-bit size after every
// RIFF chunk id, the ID3v2 tag size, and the Ogg page's segment count and
// segment table.
std::vector<size_t> SizeFields(const std::string& bytes) {
  std::vector<size_t> fields;
  for (const char* id : {"RIFF", "fmt ", "data", "LIST", "fact", "ID3", "OggS"}) {
    for (size_t at = bytes.find(id); at != std::string::npos && fields.size() < 64; at = bytes.find(id, at + 1)) {
      const std::string name = id;
      if (name == "ID3") {
        fields.push_back(at + 6);
      } else if (name == "OggS") {
        fields.push_back(at + 26);
        fields.push_back(at + 27);
      } else {
        fields.push_back(at + 4);
      }
    }
  }
  return fields;
}

// The n-th damaged file: truncated, flipped or with a size overwritten, mostly
// in the first kilobyte where the headers are.
std::string Mutate(const std::string& original, int n, Random& random, std::string& how) {
  std::string bytes = original;
  const uint32_t size = static_cast<uint32_t>(bytes.size());
  const uint32_t head = size < 1024 ? size : 1024;
  switch (n % 3) {
    case 0: {
      const uint32_t at = random.Below(2) ? random.Below(head) : random.Below(size);
      bytes.resize(at);
      how = "cut at " + std::to_string(at);
      break;
    }
    case 1: {
      const int flips = 1 + static_cast<int>(random.Below(8));
      how = "flipped";
      for (int k = 0; k < flips; ++k) {
        const uint32_t at = random.Below(4) ? random.Below(head) : random.Below(size);
        bytes[at] = static_cast<char>(bytes[at] ^ (1u << random.Below(8)));
        how += " " + std::to_string(at);
      }
      break;
    }
    default: {
      std::vector<size_t> fields = SizeFields(bytes);
      const size_t at = fields.empty() ? random.Below(head) : fields[random.Below(static_cast<uint32_t>(fields.size()))];
      const uint32_t values[] = {0, 1, size, size + 1, 0x7FFFFFFF, 0xFFFFFFFF, random.Next()};
      const uint32_t value = values[random.Below(7)];
      if (at < bytes.size()) {
        if (bytes.compare(at > 4 ? at - 4 : 0, 4, "OggS") == 0 || (at >= 27 && bytes.compare(at - 27, 4, "OggS") == 0)) {
          bytes[at] = static_cast<char>(value);  // one byte: segment count or first segment length
        } else {
          Put32(bytes, at, value);
        }
      }
      how = "size at " + std::to_string(at) + " = " + std::to_string(value);
      break;
    }
  }
  return bytes;
}

class DamagedFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    if (JapaneseSession()) GTEST_SKIP() << "the sweep runs in the English session only";
    if (!FileExists(FixturePath(kFixtures[0]))) GTEST_SKIP() << "no fixtures in " << FixturesDir();
    LoadProgramTexts();
  }

  // The texts of TAPEON's string table, up to their first format directive,
  // and the bare texts it shows for failing system calls.
  void LoadProgramTexts() {
    HMODULE module = LoadLibraryExA(TapeonPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    for (UINT id = 0; id < 1024; ++id) {
      char text[512];
      const int length = LoadStringA(module, id, text, sizeof text);
      if (length <= 0) continue;
      std::string s(text, static_cast<size_t>(length));
      s = s.substr(0, s.find('%'));
      if (!s.empty()) texts_.push_back(s);
    }
    FreeLibrary(module);
    for (const char* bare : {"GlobalUnlock", "GlobalFree", "mmioDescend", "mmioAscend", "mmioSeek", "mmioRead",
                             "deltatime setting cannot be used", "read", "fff", "layer", "rate", "memerr size=",
                             "FLAG ERROR"}) {
      texts_.push_back(bare);
    }
  }

  bool ProgramText(const std::string& text) const {
    for (const std::string& known : texts_) {
      if (text.compare(0, known.size(), known) == 0) return true;
    }
    return false;
  }

  // Answers every box and waits until the program is settled: answering,
  // no dialog twice in a row. False when it ended or stopped answering.
  bool Settle(Tapeon& app, const std::string& file) {
    int quiet = 0;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < kStepMs) {
      if (app.Exited()) return false;
      DWORD_PTR ignored = 0;
      if (!SendMessageTimeoutA(app.main_window(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kStepMs, &ignored)) return false;
      std::vector<HWND> dialogs = app.Dialogs();
      if (dialogs.empty()) {
        if (++quiet >= 2) return true;
        Sleep(100);
        continue;
      }
      quiet = 0;
      for (HWND box : dialogs) {
        MessageBoxInfo info = ReadMessageBox(box);
        // Info goes on to Detail, which is closed again.
        if (info.caption == "Wave Information" || info.caption == "Wave Detail") {
          const bool is_info = info.caption == "Wave Information";
          ++(is_info ? info_shown_ : detail_shown_);
          PressButton(box, is_info ? IDC_INFO_DETAIL : IDOK);
          if (!WaitGone(box, 5000)) return false;
          continue;
        }
        bool has_no = false;
        for (const auto& button : info.buttons) has_no = has_no || button.first == IDNO;
        // A repair is declined: the file must stay as it was.
        if (!AnswerBox(box, has_no ? IDNO : IDOK, 5000)) return false;
        ++boxes_;
        EXPECT_TRUE(ProgramText(info.text)) << file << ": a box that is not the program's: \"" << info.caption
                                            << "\" " << info.text;
      }
    }
    return false;
  }

  // Opens, plays, shows Info and Detail; false (after a failure) when the
  // program ended or hung.
  bool Sweep(const std::string& file, const std::string& how) {
    auto app = Start(dir_, "\"" + file + "\"");
    if (!app->main_window()) return false;
    const std::string what = file + " (" + how + ")";
    if (!Settle(*app, what)) return Failed(*app, what, "the open");

    // Play, and stop it again once it runs.
    if (app->ButtonEnabled(IDM_START)) {
      app->PostCommand(IDM_START);
      WaitUntil([&] { return app->ButtonEnabled(IDM_STOP) || !app->Dialogs().empty() || app->Exited(); }, 2000);
      if (app->ButtonEnabled(IDM_STOP)) {
        ++played_;
        app->PostCommand(IDM_STOP);
      }
      if (!Settle(*app, what)) return Failed(*app, what, "Play");
      if (!WaitUntil([&] { return !app->ButtonEnabled(IDM_STOP); }, kStepMs)) return Failed(*app, what, "Stop");
    }

    // Info, then Detail from it (Settle presses the buttons); either may
    // also show a message of the analysis.
    app->PostCommand(IDM_INFO);
    WaitUntil([&] { return !app->Dialogs().empty() || app->Exited(); }, kStepMs);
    if (!Settle(*app, what)) return Failed(*app, what, "Info");
    const std::string closed = CloseExpectingSuccess(*app);
    EXPECT_EQ(closed, "") << what;
    return closed.empty();
  }

  static bool Failed(Tapeon& app, const std::string& what, const char* step) {
    if (app.Exited()) {
      ADD_FAILURE() << what << ": the program ended in " << step << " (exit code " << app.ExitCode() << ")";
    } else {
      ADD_FAILURE() << what << ": the program hung or kept a box open in " << step;
    }
    return false;
  }

  TempDir dir_;
  std::vector<std::string> texts_;
  int boxes_ = 0, played_ = 0, info_shown_ = 0, detail_shown_ = 0;
};

TEST_F(DamagedFiles, NeverEndHangOrChangeTheProgram) {
  const char* count_text = std::getenv("TAPEON_SWEEP_FILES");
  const int count = count_text ? std::atoi(count_text) : kDefaultFiles;
  const char* seed_text = std::getenv("TAPEON_SWEEP_SEED");
  Random random{seed_text ? static_cast<uint32_t>(std::strtoul(seed_text, nullptr, 10)) | 1u : 0x2545F491u};
  ASSERT_TRUE(WriteFileBytes(dir_.File("TAPEON.INI"), "[TAPEON]\r\nlevelwarning=0\r\n"));
  const int kinds = static_cast<int>(sizeof kFixtures / sizeof kFixtures[0]);
  std::vector<std::string> originals;
  for (const char* name : kFixtures) {
    std::optional<std::string> bytes = ReadFileBytes(FixturePath(name));
    ASSERT_TRUE(bytes && !bytes->empty()) << name;
    originals.push_back(*bytes);
  }
  int failures = 0;
  for (int n = 0; n < count && failures < 5; ++n) {
    const int kind = n % kinds;
    std::string how;
    const std::string bytes = Mutate(originals[kind], n / kinds, random, how);
    const std::string name = std::string(kFixtures[kind]);
    const std::string file = dir_.File(std::to_string(n) + "_" + name);
    ASSERT_TRUE(WriteFileBytes(file, bytes));
    if (!Sweep(file, name + ", " + how)) ++failures;
    EXPECT_EQ(ReadFileBytes(file), std::optional<std::string>(bytes)) << file << " (" << how << ") was changed";
    DeleteFileA(file.c_str());
  }
  std::cout << "swept " << count << " damaged files: " << played_ << " played, " << boxes_ << " message boxes, "
            << info_shown_ << " Info and " << detail_shown_ << " Detail dialogs\n";
}

}  // namespace
