// End-to-end tests of the level meter: a known two-tone signal plays into the
// sound server while TAPEON records it, and the meter area of the window is
// read back pixel by pixel in each of the four styles (and the monochrome
// scheme); the level report box at the end of the recording is compared with
// the loudest sample of the file that was written.
//
// With TAPEON_SCREENSHOTS set to a directory, each meter picture is also
// saved there as a BMP file for a person to look at.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "driver.h"
#include "engine_signal.h"
#include "resources/resource_ids.h"

using namespace e2e;
using engine_test::HostScript;

namespace {

// The signal: left a 440 Hz tone, by default at half scale (-6 dB), right a
// 1000 Hz tone at a tenth of full scale (-20 dB), 44100 Hz 16-bit stereo.
constexpr double kRightAmplitude = 0.1;
constexpr double kPi = 3.14159265358979323846;

bool WriteTwoToneWave(const std::string& path, double seconds, double left_amplitude) {
  const uint32_t frames = static_cast<uint32_t>(seconds * 44100);
  std::string file = engine_test::PcmHeader(2, 44100, 16, frames * 4);
  file.reserve(file.size() + frames * 4);
  for (uint32_t i = 0; i < frames; ++i) {
    const double t = i / 44100.0;
    int16_t left = static_cast<int16_t>(std::lround(32767 * left_amplitude * std::sin(2 * kPi * 440 * t)));
    int16_t right = static_cast<int16_t>(std::lround(32767 * kRightAmplitude * std::sin(2 * kPi * 1000 * t)));
    file.append(reinterpret_cast<const char*>(&left), 2);
    file.append(reinterpret_cast<const char*>(&right), 2);
  }
  return WriteFileBytes(path, file);
}

// ---- Reading the window back ------------------------------------------------------

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;  // 0x00RRGGBB, top row first

  COLORREF At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return CLR_INVALID;
    uint32_t p = pixels[static_cast<size_t>(y) * width + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
  }
  // Pixels of this colour in the row y between x0 and x1.
  int Count(COLORREF colour, int y, int x0, int x1) const {
    int n = 0;
    for (int x = x0; x < x1; ++x) n += At(x, y) == colour;
    return n;
  }
};

// The client area of the window as the screen shows it.
Picture CaptureClient(HWND window) {
  Picture picture;
  RECT client;
  if (!GetClientRect(window, &client)) return picture;
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  picture.width = client.right;
  picture.height = client.bottom;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = picture.width;
  info.bmiHeader.biHeight = -picture.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap && bits) {
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, picture.width, picture.height, screen, origin.x, origin.y, SRCCOPY);
    GdiFlush();
    const uint32_t* source = static_cast<const uint32_t*>(bits);
    picture.pixels.assign(source, source + static_cast<size_t>(picture.width) * picture.height);
    SelectObject(memory, previous);
  }
  if (bitmap) DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return picture;
}

void SaveScreenshot(const Picture& picture, const std::string& name) {
  char dir[MAX_PATH];
  DWORD length = GetEnvironmentVariableA("TAPEON_SCREENSHOTS", dir, sizeof dir);
  if (length == 0 || length >= sizeof dir || picture.pixels.empty()) return;
  const uint32_t image_bytes = static_cast<uint32_t>(picture.pixels.size() * 4);
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
  file.bfSize = file.bfOffBits + image_bytes;
  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = picture.width;
  header.biHeight = -picture.height;
  header.biPlanes = 1;
  header.biBitCount = 32;
  header.biCompression = BI_RGB;
  std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
  bytes.append(reinterpret_cast<const char*>(&header), sizeof header);
  bytes.append(reinterpret_cast<const char*>(picture.pixels.data()), image_bytes);
  WriteFileBytes(std::string(dir) + "\\meter_" + name + ".bmp", bytes);
}

// ---- Colours of the meter ------------------------------------------------------------

constexpr COLORREF kGreen = RGB(0, 255, 0), kDarkGreen = RGB(0, 128, 0);
constexpr COLORREF kYellow = RGB(255, 255, 0), kOlive = RGB(128, 128, 0);
constexpr COLORREF kRed = RGB(255, 0, 0), kMaroon = RGB(128, 0, 0);
constexpr COLORREF kCyan = RGB(0, 255, 255), kTeal = RGB(0, 128, 128);
constexpr COLORREF kBlue = RGB(0, 0, 255), kNavy = RGB(0, 0, 128);
constexpr COLORREF kWhite = RGB(255, 255, 255);

std::string ColourName(COLORREF c) {
  char text[32];
  snprintf(text, sizeof text, "(%d,%d,%d)", GetRValue(c), GetGValue(c), GetBValue(c));
  return text;
}

// One expectation: the pixel at x (in cell widths from the window's left
// edge, plus pixels) in the row of a channel has this colour.
struct Probe {
  double cells;
  int channel;  // 0 left, 1 right
  COLORREF colour;
};

struct Style {
  const char* name;
  int display;
  int smooth;
  int monochrome;
  std::vector<Probe> probes;
};

// Points chosen at least 1.5 dB away from the signal's levels (-6 and -20 dB,
// i.e. 8 and 1.6 level units), so the small losses of the sound path do not
// move them. Lamps are probed at their middle.
std::vector<Style> Styles() {
  return {
      {"db_leds", 1, 0, 0,
       {
           {1 + 1 + 0.125, 0, kBlue},    // lamp 1 (-24 dB) lit on both channels
           {1 + 1 + 0.125, 1, kBlue},
           {1 + 3 + 0.125, 1, kBlue},    // lamp 3 (-22 dB)
           {1 + 8 + 0.125, 1, kTeal},    // lamp 8 (-17 dB) unlit on the right
           {1 + 10 + 0.125, 0, kCyan},   // lamp 10 (-15 dB) lit on the left
           {1 + 16 + 0.125, 0, kGreen},  // lamp 16 (-9 dB)
           {1 + 21 + 0.125, 0, kOlive},  // lamp 21 (-4 dB) unlit
           {1 + 23 + 0.125, 0, kMaroon}, // lamp 23 (-2 dB) unlit
           {26.5, 0, kMaroon},          // over lamp unlit
       }},
      {"db_bar", 1, 1, 0,
       {
           {3, 0, kBlue},
           {3, 1, kBlue},
           {10, 0, kCyan},
           {10, 1, kTeal},       // -16 dB: beyond the right channel
           {17, 0, kGreen},      // -9 dB
           {19, 1, kDarkGreen},
           {22, 0, kOlive},      // -4 dB
           {25, 0, kMaroon},
       }},
      {"linear_leds", 0, 0, 0,
       {
           {1 + 1 + 0.5, 0, kGreen},   // lamp 0 (above 0)
           {1 + 1 + 0.5, 1, kGreen},
           {1 + 7 + 0.5, 0, kGreen},   // lamp 4 (above 4 units)
           {1 + 7 + 0.5, 1, kDarkGreen},
           {1 + 16 + 0.5, 0, kOlive},  // lamp 10 (above 10 units) unlit
           {1 + 22 + 0.5, 0, kMaroon}, // lamp 14 unlit
           {26.5, 0, kMaroon},
       }},
      {"linear_bar", 0, 1, 0,
       {
           {2.5, 0, kGreen},
           {2.5, 1, kGreen},
           {8, 0, kGreen},  // 4 units
           {8, 1, kDarkGreen},
           {17, 0, kOlive},
           {23, 0, kMaroon},
       }},
      {"db_leds_monochrome", 1, 0, 1,
       {
           {1 + 1 + 0.125, 0, kCyan},    // blue zone lit
           {1 + 10 + 0.125, 0, kYellow}, // cyan zone lit
           {1 + 8 + 0.125, 1, kMaroon},  // cyan zone unlit
           {1 + 16 + 0.125, 0, kCyan},   // green zone lit
           {1 + 21 + 0.125, 0, kMaroon}, // yellow zone unlit
           {1 + 23 + 0.125, 0, kNavy},   // red zone unlit
           {26.5, 0, kMaroon},          // over lamp unlit
       }},
  };
}

std::string IniText(const Style& style, int levelwarning, int on_memory) {
  char text[256];
  snprintf(text, sizeof text,
           "[TAPEON]\r\ndisplay=%d\r\nsmooth=%d\r\nmonochrome=%d\r\nPeakHold=1\r\nlevelwarning=%d\r\nOnMem=%d\r\n",
           style.display, style.smooth, style.monochrome, levelwarning, on_memory);
  return text;
}

// A recording of the two-tone signal, running.
class MeterRecording {
 public:
  MeterRecording(const Style& style, int levelwarning, const std::string& extra_arguments = "",
                 double left_amplitude = 0.5, int on_memory = 0) {
    WriteFileBytes(dir_.File("TAPEON.INI"), IniText(style, levelwarning, on_memory));
    EXPECT_TRUE(WriteTwoToneWave(dir_.File("tone.wav"), 30, left_amplitude));
    // The sink's monitor needs a moment after a new stream starts.
    player_ = std::make_unique<HostScript>(dir_, "play", engine_test::PlayCommand(dir_.File("tone.wav")));
    EXPECT_TRUE(player_->started());
    Sleep(1500);
    app_ = Launch(dir_, "\"" + dir_.File("rec.wav") + "\" /R" + extra_arguments);
    EXPECT_TRUE(app_->started());
    window_ = app_->main_window();
    EXPECT_NE(window_, nullptr);
  }
  ~MeterRecording() {
    if (app_ && !app_->Exited()) {
      if (app_->ButtonEnabled(IDM_STOP)) app_->PostCommand(IDM_STOP);
      for (int i = 0; i < 5 && !app_->Exited(); ++i) {
        if (app_->AnswerMessageBox(IDOK, 1000)) continue;
        if (app_->CloseAndWait(kTimeoutMs)) break;
      }
    }
    if (player_) player_->Stop();
  }

  Tapeon& app() { return *app_; }
  HWND window() const { return window_; }
  const TempDir& dir() const { return dir_; }

  // Waits until the meter shows at least `blocks` measured blocks' worth of
  // drawing (a lit lamp or bar in the left row), then a little longer.
  Picture WaitForMeter(const Cells& cells) {
    Picture picture;
    const int y = 14 * cells.height + cells.height / 2;
    WaitUntil(
        [&] {
          picture = CaptureClient(window_);
          int lit = 0;
          for (COLORREF c : {kBlue, kGreen, kCyan}) lit += picture.Count(c, y, cells.width, 27 * cells.width);
          return lit > 0;
        },
        30000);
    Sleep(1500);  // holds and levels settle over a few blocks
    return CaptureClient(window_);
  }

 private:
  TempDir dir_;
  std::unique_ptr<HostScript> player_;
  std::unique_ptr<Tapeon> app_;
  HWND window_ = nullptr;
};

class MeterStyles : public testing::TestWithParam<int> {};

void CheckMeterPicture(const Style& style, const Picture& picture, const Cells& cells) {
  ASSERT_FALSE(picture.pixels.empty());

  const int w = cells.width, h = cells.height;
  const int row_y[2] = {14 * h + h / 2, 16 * h + h / 2};
  for (const Probe& probe : style.probes) {
    const int x = static_cast<int>(probe.cells * w);
    EXPECT_EQ(ColourName(picture.At(x, row_y[probe.channel])), ColourName(probe.colour))
        << style.name << ": " << (probe.channel ? "right" : "left") << " channel at " << probe.cells << " cells";
  }
  // The hold marks stand at or above the levels: white pixels in both rows.
  for (int channel = 0; channel < 2; ++channel) {
    EXPECT_GT(picture.Count(kWhite, row_y[channel], 2 * w, 27 * w + 1), 0) << style.name << " hold mark " << channel;
  }
  // Captions in yellow beside the bars; nothing drawn outside the meter area
  // between the rows.
  EXPECT_GT(picture.Count(kYellow, 14 * h + h / 2, 28 * w, 36 * w), 0) << "LEFT caption";
  EXPECT_GT(picture.Count(kYellow, 16 * h + h / 2, 28 * w, 36 * w), 0) << "RIGHT caption";
  EXPECT_EQ(picture.Count(RGB(0, 0, 0), 15 * h + h / 2, 2 * w, 26 * w), 24 * w) << "gap between the rows";
}

TEST_P(MeterStyles, RecordingDrawsTheTwoChannels) {
  if (!SoundSession()) GTEST_SKIP() << "no wave devices in this run";
  const Style style = Styles()[GetParam()];
  const Cells cells = ExpectedCells();
  MeterRecording recording(style, 0);
  ASSERT_NE(recording.window(), nullptr);
  Picture picture = recording.WaitForMeter(cells);
  SaveScreenshot(picture, style.name);
  CheckMeterPicture(style, picture, cells);
}

INSTANTIATE_TEST_SUITE_P(FourStylesAndMonochrome, MeterStyles, testing::Range(0, 5),
                         [](const testing::TestParamInfo<int>& info) { return std::string(Styles()[info.param].name); });

// On-memory recording: no buffer comes back until the end, so the display
// timer's tick meters the stretch of the memory block behind the position.
TEST(MeterOnMemory, TimerTickMetersTheMemoryBlock) {
  if (!SoundSession()) GTEST_SKIP() << "no wave devices in this run";
  const Style style = Styles()[0];
  const Cells cells = ExpectedCells();
  MeterRecording recording(style, 0, "", 0.5, 1);
  ASSERT_NE(recording.window(), nullptr);
  Picture picture = recording.WaitForMeter(cells);
  SaveScreenshot(picture, "db_leds_on_memory");
  CheckMeterPicture(style, picture, cells);
}

// A mono 8-bit recording: one bar of three rows, 8-bit level units, and the
// "Monaural" caption.
TEST(MeterMono, EightBitMonoDrawsOneTallBar) {
  if (!SoundSession()) GTEST_SKIP() << "no wave devices in this run";
  const Style style = Styles()[0];
  const Cells cells = ExpectedCells();
  MeterRecording recording(style, 0, " /M /O");
  ASSERT_NE(recording.window(), nullptr);
  Picture picture = recording.WaitForMeter(cells);
  SaveScreenshot(picture, "db_leds_mono_8bit");
  const int w = cells.width, h = cells.height;
  // The two tones mixed to one channel peak between -14 and -4 dB: the lamps
  // up to -17 dB are lit in all three rows, the top lamps are not.
  for (int y : {14 * h + 2, 15 * h + h / 2, 17 * h - 3}) {
    EXPECT_EQ(ColourName(picture.At(static_cast<int>((1 + 1 + 0.125) * w), y)), ColourName(kBlue)) << y;
    EXPECT_EQ(ColourName(picture.At(static_cast<int>((1 + 8 + 0.125) * w), y)), ColourName(kCyan)) << y;
    EXPECT_EQ(ColourName(picture.At(static_cast<int>((1 + 23 + 0.125) * w), y)), ColourName(kMaroon)) << y;
  }
  EXPECT_GT(picture.Count(kYellow, 15 * h, 27 * w, 36 * w), 0) << "Monaural caption";
}

// Compressed playback (MPEG, and Ogg Vorbis where the codec driver is
// installed) takes its levels from the mixer's peak meter. Where the system's
// mixer has none (as under Wine) the meter area says so in white for every
// finished buffer; either way the playback goes on to its end.
TEST(MeterMixer, CompressedPlaybackShowsMixerLevelsOrItsNotice) {
  if (!SoundSession()) GTEST_SKIP() << "no wave devices in this run";
  std::vector<std::string> files = {FixturePath("engine_tone440.mp3")};
  if (OggCodecSession()) files.push_back(FixturePath("codec_tone44.ogg"));
  for (const std::string& file : files) {
    if (!FileExists(file)) GTEST_SKIP() << "no " << file << "; make the fixtures with tests/fixtures/*.sh";
    TempDir dir;
    WriteFileBytes(dir.File("TAPEON.INI"), "[TAPEON]\r\nlevelwarning=0\r\n");
    auto launched = Launch(dir, "\"" + file + "\"");
    Tapeon& app = *launched;
    HWND window = app.main_window();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return app.ButtonEnabled(IDM_START); })) << file << " did not open";
    ASSERT_TRUE(app.PostCommand(IDM_START));
    ASSERT_TRUE(WaitUntil([&] { return app.ButtonEnabled(IDM_STOP); })) << "playback did not start";
    Sleep(1500);
    Picture picture = CaptureClient(window);
    SaveScreenshot(picture, "mixer");
    const Cells cells = ExpectedCells();
    const int w = cells.width, h = cells.height;
    int notice = 0, lit = 0;
    for (int y = 14 * h; y < 17 * h; ++y) {
      notice += picture.Count(kWhite, y, 3 * w, 20 * w);
      for (COLORREF c : {kBlue, kCyan, kGreen}) lit += picture.Count(c, y, 2 * w, 26 * w);
    }
    EXPECT_TRUE(notice > 0 || lit > 0) << file << ": neither mixer levels nor the notice in the meter area";
    EXPECT_TRUE(engine_test::WaitForIdle(app, Pick("Play", "再生"), kTimeoutMs)) << file << ": playback did not reach its end";
    EXPECT_TRUE(app.CloseAndWait().has_value());
  }
}

// The loudest sample of the left channel of a recorded 16-bit stereo file.
int PeakOfFile(const std::string& path) {
  std::optional<engine_test::Wave> wave = engine_test::ReadWave(path);
  if (!wave) return -1;
  int peak = 0;
  size_t bytes = std::min<size_t>(wave->data_size, wave->bytes.size() - wave->data_offset);
  for (size_t i = 0; i + 1 < bytes; i += 2) {
    int16_t s;
    memcpy(&s, wave->data() + i, 2);
    peak = std::max(peak, std::abs(static_cast<int>(s)));
  }
  return peak;
}

// With the level report on, stopping a recording shows the loudest level in
// dB, which must agree with the loudest sample of the file, with the caption
// and icon of its verdict.
void CheckReportOfRecording(double left_amplitude, const std::string& expected_caption) {
  if (!SoundSession()) GTEST_SKIP() << "no wave devices in this run";
  const Cells cells = ExpectedCells();
  MeterRecording recording(Styles()[0], 1, "", left_amplitude);
  ASSERT_NE(recording.window(), nullptr);
  recording.WaitForMeter(cells);
  ASSERT_TRUE(recording.app().PostCommand(IDM_STOP));
  HWND box_window = recording.app().WaitForDialog();
  ASSERT_NE(box_window, nullptr) << "no level report";
  std::optional<MessageBoxInfo> box = ReadMessageBox(box_window);
  // A box without an icon may still hold an empty icon control.
  bool icon_shown = false;
  for (const ControlInfo& control : Controls(box_window)) {
    if ((control.style & SS_TYPEMASK) != SS_ICON || !control.visible) continue;
    DWORD_PTR icon = 0;
    SendMessageTimeoutA(control.window, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 2000, &icon);
    icon_shown = icon_shown || icon != 0;
  }
  PressButton(box_window, IDOK);
  ASSERT_TRUE(engine_test::WaitForIdle(recording.app(), Pick("Play", "再生")));

  const int peak = PeakOfFile(recording.dir().File("rec.wav"));
  ASSERT_GT(peak, 0);
  const double file_db = 20 * std::log10(peak / 32767.0);
  EXPECT_EQ(box->caption, expected_caption) << box->text << " (file " << file_db << " dB)";
  EXPECT_EQ(icon_shown, expected_caption != "Level") << box->caption;
  if (JapaneseSession()) return;  // the Japanese words are checked natively
  double shown = 0.0;
  ASSERT_EQ(sscanf(box->text.c_str(), "Max level %lfdb", &shown), 1) << box->text;
  char expected[96];
  snprintf(expected, sizeof expected, "Max level %+.1fdb", shown);
  std::string text = expected;
  if (shown >= 0.0) {
    long over = -1;
    const size_t line = box->text.find('\n');
    ASSERT_NE(line, std::string::npos) << box->text;
    ASSERT_EQ(sscanf(box->text.c_str() + line, "\nLevel over times %ld", &over), 1) << box->text;
    EXPECT_GT(over, 0);
    text += "\nLevel over times " + std::to_string(over);
  }
  EXPECT_EQ(box->text, text);
  // The report covers the blocks measured before the stop; the file holds one
  // more of the same steady tone.
  EXPECT_NEAR(shown, file_db, 0.15) << box->text;
}

TEST(MeterReport, StopShowsLevelWithinSixDecibels) { CheckReportOfRecording(0.7, "Level"); }

TEST(MeterReport, FullScaleShowsLevelOverWithClipCount) { CheckReportOfRecording(1.0, "Level Over"); }

}  // namespace
