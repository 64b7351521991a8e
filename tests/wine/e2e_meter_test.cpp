// End-to-end tests of the level meter: a known two-tone signal plays into the
// sound server while TAPEON records it, and the meter area of the window is
// read back pixel by pixel in each of the four styles (and the monochrome
// scheme); the level report box at the end of the recording is compared with
// the loudest sample of the file that was written. Files of every format the
// meter measures play with the levels of their sound, from the samples, the
// decoded sound or a mixer's peak meter.
//
// With TAPEON_SCREENSHOTS set to a directory, each meter picture is also
// saved there as a BMP file for a person to look at.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "driver.h"
#include "menu_probe.h"
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

// ---- Levels of what is played, in every format --------------------------------------

// The lit lamps of the dB-lamp style (normal colours) in a channel's row:
// lamp j (1..24) stands for -25 + j dB and lights up from the left.
int LitDbLamps(const Picture& picture, const Cells& cells, int y) {
  const int w = cells.width;
  int lit = 0;
  for (int j = 1; j <= 24; ++j) {
    const COLORREF c = picture.At(w + j * w + w / 4, y);
    if (c == kBlue || c == kCyan || c == kGreen || c == kYellow || c == kRed) ++lit;
  }
  return lit;
}

struct LampCounts {
  int left = 0;
  int right = 0;
};

// The meter of a playing stereo run once both rows are lit: the most lamps
// each row shows over a few pictures (a picture may catch a row mid-drawing).
LampCounts ReadPlayingMeter(HWND window, const Cells& cells, const std::string& name) {
  const int rows[2] = {14 * cells.height + cells.height / 2, 16 * cells.height + cells.height / 2};
  LampCounts counts;
  Picture picture;
  WaitUntil([&] {
    picture = CaptureClient(window);
    return LitDbLamps(picture, cells, rows[0]) > 0 && LitDbLamps(picture, cells, rows[1]) > 0;
  });
  SaveScreenshot(picture, name);
  for (int i = 0; i < 5; ++i) {
    picture = CaptureClient(window);
    counts.left = std::max(counts.left, LitDbLamps(picture, cells, rows[0]));
    counts.right = std::max(counts.right, LitDbLamps(picture, cells, rows[1]));
    Sleep(150);
  }
  return counts;
}

std::string PlayIni(int levelwarning, int on_memory) {
  char text[160];
  snprintf(text, sizeof text,
           "[TAPEON]\r\ndisplay=1\r\nsmooth=0\r\nmonochrome=0\r\nPeakHold=0\r\nlevelwarning=%d\r\nOnMem=%d\r\n",
           levelwarning, on_memory);
  return text;
}

// TAPEON with `file` open for playing, the settings above.
std::unique_ptr<Tapeon> OpenForPlaying(const TempDir& dir, const std::string& file, int levelwarning,
                                       int on_memory = 0) {
  WriteFileBytes(dir.File("TAPEON.INI"), PlayIni(levelwarning, on_memory));
  auto app = Launch(dir, "\"" + file + "\"");
  EXPECT_NE(app->main_window(), nullptr);
  EXPECT_TRUE(WaitUntil([&] { return app->ButtonEnabled(IDM_START); })) << file << " did not open";
  return app;
}

// The fixtures' two-tone signal: left at -7.5 dBFS, right at -19.5 dBFS,
// each in the middle of a one-dB lamp (17 and 5 lamps lit).
constexpr int kLeftLamps = 17;
constexpr int kRightLamps = 5;
constexpr double kLeftDb = -7.5;

struct SoundFormat {
  const char* name;
  const char* file;
  bool needs_ogg_codec;
};

const SoundFormat kFormats[] = {
    {"wave16", "meter_tone_s16.wav", false},   {"wave24", "meter_tone_s24.wav", false},
    {"float", "meter_tone_f32.wav", false},    {"extensible24", "meter_tone_ext24.wav", false},
    {"mp3", "meter_tone.mp3", false},          {"ogg", "meter_tone.ogg", true},
    {"ogg51", "meter_tone_51.ogg", true},
    {"ima_adpcm", "meter_tone_ima.wav", false},
};

class MeterSources : public testing::TestWithParam<int> {};

// Every format of the same signal lights the same lamps in each row as the
// 16-bit WAVE does (one lamp either way at most), streaming and on memory,
// and the level report at the end gives the same maximum (of six channels,
// the first two, although the other four are louder).
TEST_P(MeterSources, SameLevelsAsSixteenBitWave) {
  if (!SoundSession()) GTEST_SKIP() << "no wave devices in this run";
  const SoundFormat& format = kFormats[GetParam()];
  if (format.needs_ogg_codec && !OggCodecSession()) GTEST_SKIP() << "no Ogg Vorbis codec in this run";
  const std::string file = FixturePath(format.file);
  if (!FileExists(file)) GTEST_SKIP() << "no " << file << "; make the fixtures with tests/fixtures/*.sh";
  const Cells cells = ExpectedCells();
  for (int on_memory : {0, 1}) {
    SCOPED_TRACE(std::string(format.name) + (on_memory ? " on memory" : " streaming"));
    TempDir dir;
    auto app = OpenForPlaying(dir, file, 1, on_memory);
    ASSERT_TRUE(app->PostCommand(IDM_START));
    ASSERT_TRUE(WaitUntil([&] { return app->ButtonEnabled(IDM_STOP); })) << "playback did not start";
    const LampCounts lamps =
        ReadPlayingMeter(app->main_window(), cells, std::string("source_") + format.name + (on_memory ? "_mem" : ""));
    EXPECT_NEAR(lamps.left, kLeftLamps, 1) << "left lamps";
    EXPECT_NEAR(lamps.right, kRightLamps, 1) << "right lamps";

    HWND box_window = app->WaitForDialog("", kTimeoutMs + 10000);
    ASSERT_NE(box_window, nullptr) << "no level report at the end";
    const MessageBoxInfo box = ReadMessageBox(box_window);
    PressButton(box_window, IDOK);
    EXPECT_TRUE(engine_test::WaitForIdle(*app, Pick("Play", "再生")));
    EXPECT_EQ(box.caption, "Level Under") << box.text;
    if (!JapaneseSession()) {  // the Japanese words are checked natively
      double shown = 0.0;
      ASSERT_EQ(sscanf(box.text.c_str(), "Max level %lfdb", &shown), 1) << box.text;
      EXPECT_NEAR(shown, kLeftDb, 1.0) << box.text;
    }
    EXPECT_TRUE(app->CloseAndWait().has_value());
  }
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, MeterSources, testing::Range(0, static_cast<int>(std::size(kFormats))),
                         [](const testing::TestParamInfo<int>& info) { return std::string(kFormats[info.param].name); });

// An MP3 whose middle seconds are zero bytes: the meter, lit before them,
// says it has no level while the decoder finds no frame, and the playback
// goes on to its end.
TEST(MeterSourcesBadInput, StreamWithoutFramesShowsNoLevelAndPlaysOn) {
  if (!SoundSession()) GTEST_SKIP() << "no wave devices in this run";
  const std::string file = FixturePath("meter_gap.mp3");
  if (!FileExists(file)) GTEST_SKIP() << "no " << file << "; make the fixtures with tests/fixtures/*.sh";
  const Cells cells = ExpectedCells();
  const int w = cells.width, h = cells.height;
  TempDir dir;
  auto app = OpenForPlaying(dir, file, 0);
  ASSERT_TRUE(app->PostCommand(IDM_START));
  ASSERT_TRUE(WaitUntil([&] { return app->ButtonEnabled(IDM_STOP); })) << "playback did not start";
  EXPECT_GT(ReadPlayingMeter(app->main_window(), cells, "gap_before").left, 0);
  // "Can't display level" in white across the meter.
  Picture picture;
  EXPECT_TRUE(WaitUntil([&] {
    picture = CaptureClient(app->main_window());
    return picture.Count(kWhite, 14 * h + h / 2 + h / 2, 3 * w, 20 * w) > 0 ||
           picture.Count(kWhite, 14 * h + h / 2 + h / 4, 3 * w, 20 * w) > 0;
  }, 15000)) << "no notice while the stream had no frames";
  SaveScreenshot(picture, "gap_notice");
  EXPECT_TRUE(engine_test::WaitForIdle(*app, Pick("Play", "再生"), 30000)) << "playback did not reach its end";
  EXPECT_TRUE(app->CloseAndWait().has_value());
}

// A mixer that has a peak meter on its wave-output line (the probe's) is the
// level source of compressed playback: a stereo MP3 shows two bars at the
// control's two values, whatever the sound; a mono MP3 one bar of three rows.
TEST(MeterSourcesMixer, PeakMeterControlDrivesTheBars) {
  if (!SoundSession()) GTEST_SKIP() << "no wave devices in this run";
  const Cells cells = ExpectedCells();
  const int h = cells.height;
  // -3.5 dB and -12.5 dB: 21 and 12 lamps; the file's own levels light 17 and 5.
  const long kLeftValue = 21870, kRightValue = -7781;
  for (const char* name : {"meter_tone.mp3", "meter_mono.mp3"}) {
    const std::string file = FixturePath(name);
    if (!FileExists(file)) GTEST_SKIP() << "no " << file << "; make the fixtures with tests/fixtures/*.sh";
    SCOPED_TRACE(name);
    const bool mono = std::string(name) == "meter_mono.mp3";
    TempDir dir;
    auto app = OpenForPlaying(dir, file, 0);
    ASSERT_TRUE(app->ProvideMixer(kLeftValue, kRightValue)) << "the probe could not provide its mixer";
    ASSERT_TRUE(app->PostCommand(IDM_START));
    ASSERT_TRUE(WaitUntil([&] { return app->ButtonEnabled(IDM_STOP); })) << "playback did not start";
    Picture picture;
    ASSERT_TRUE(WaitUntil([&] {
      picture = CaptureClient(app->main_window());
      return LitDbLamps(picture, cells, 14 * h + 2) > 0;
    }));
    Sleep(300);
    picture = CaptureClient(app->main_window());
    SaveScreenshot(picture, mono ? "mixer_mono" : "mixer_stereo");
    if (mono) {
      for (int y : {14 * h + 2, 15 * h + h / 2, 17 * h - 3}) EXPECT_EQ(LitDbLamps(picture, cells, y), 21) << y;
      EXPECT_GT(picture.Count(kYellow, 15 * h, 27 * cells.width, 36 * cells.width), 0) << "Monaural caption";
    } else {
      EXPECT_EQ(LitDbLamps(picture, cells, 14 * h + h / 2), 21);
      EXPECT_EQ(LitDbLamps(picture, cells, 16 * h + h / 2), 12);
      EXPECT_EQ(picture.Count(RGB(0, 0, 0), 15 * h + h / 2, 2 * cells.width, 26 * cells.width), 24 * cells.width)
          << "two separate rows";
    }
    ASSERT_TRUE(app->PostCommand(IDM_STOP));
    EXPECT_TRUE(engine_test::WaitForIdle(*app, Pick("Play", "再生")));
    EXPECT_TRUE(app->CloseAndWait().has_value());
  }
}

// On memory, a compressed file goes to the device in consecutive pieces:
// all of its bytes, in order, in several buffers, and the run lasts as long
// as its sound. With TAPEON_LONG set (English run only), a 28-minute file
// whose decoded sound is more than one conversion of the codec may give.
TEST(MeterSourcesOnMemory, CompressedFileGoesToTheDeviceInPieces) {
  if (!SoundSession()) GTEST_SKIP() << "no wave devices in this run";
  if (!OggCodecSession()) GTEST_SKIP() << "no Ogg Vorbis codec in this run";
  std::vector<std::pair<std::string, double>> files = {{"meter_pieces.ogg", 12.0}};
  if (GetEnvironmentVariableA("TAPEON_LONG", nullptr, 0) > 0 && !JapaneseSession())
    files.push_back({"meter_long.ogg", 1680.0});
  for (const auto& [name, seconds] : files) {
    const std::string file = FixturePath(name);
    if (!FileExists(file)) GTEST_SKIP() << "no " << file << "; make the fixtures with tests/fixtures/*.sh";
    SCOPED_TRACE(name);
    TempDir dir;
    auto app = OpenForPlaying(dir, file, 0, 1);
    ASSERT_TRUE(app->WatchPlayback(dir.File("device.raw"), dir.File("writes.bin")));
    ASSERT_TRUE(app->PostCommand(IDM_START));
    ASSERT_TRUE(WaitUntil([&] { return app->ButtonEnabled(IDM_STOP); })) << "playback did not start";
    const DWORD started = GetTickCount();
    ASSERT_TRUE(engine_test::WaitForIdle(*app, Pick("Play", "再生"), static_cast<DWORD>(seconds * 1000 * 2 + 30000)))
        << "playback did not reach its end";
    const double played = (GetTickCount() - started) / 1000.0;
    EXPECT_TRUE(app->CloseAndWait().has_value());

    const std::optional<std::string> original = ReadFileBytes(file);
    const std::optional<std::string> handed = ReadFileBytes(dir.File("device.raw"));
    const std::optional<std::string> writes = ReadFileBytes(dir.File("writes.bin"));
    ASSERT_TRUE(original && handed && writes);
    EXPECT_TRUE(*handed == *original) << "handed " << handed->size() << " of " << original->size() << " bytes";
    const size_t count = writes->size() / sizeof(menu_probe::WriteTime);
    EXPECT_GE(count, 3u) << "pieces";
    for (size_t i = 0; i < count; ++i) {
      menu_probe::WriteTime time;
      memcpy(&time, writes->data() + i * sizeof time, sizeof time);
      EXPECT_LE(time.bytes, 1u << 20) << "piece " << i;
    }
    // The sound of the last piece plays out before the run ends.
    EXPECT_GE(played, seconds * 0.9);
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
  // Input a busy machine lost ends the report with its dropouts, and the
  // icon is then that of sound lost, whatever the level.
  std::string levels = box->text;
  const size_t lost = levels.find(std::string("\n") + Pick("Dropouts ", "音飛び "));
  if (lost != std::string::npos) levels.erase(lost);
  EXPECT_EQ(icon_shown, lost != std::string::npos || expected_caption != "Level") << box->caption;
  if (JapaneseSession()) return;  // the Japanese words are checked natively
  double shown = 0.0;
  ASSERT_EQ(sscanf(levels.c_str(), "Max level %lfdb", &shown), 1) << box->text;
  char expected[96];
  snprintf(expected, sizeof expected, "Max level %+.1fdb", shown);
  std::string text = expected;
  if (shown >= 0.0) {
    long over = -1;
    const size_t line = levels.find('\n');
    ASSERT_NE(line, std::string::npos) << box->text;
    ASSERT_EQ(sscanf(levels.c_str() + line, "\nLevel over times %ld", &over), 1) << box->text;
    EXPECT_GT(over, 0);
    text += "\nLevel over times " + std::to_string(over);
  }
  EXPECT_EQ(levels, text);
  // The report covers the blocks measured before the stop; the file holds one
  // more of the same steady tone.
  EXPECT_NEAR(shown, file_db, 0.15) << box->text;
}

TEST(MeterReport, StopShowsLevelWithinSixDecibels) { CheckReportOfRecording(0.7, "Level"); }

TEST(MeterReport, FullScaleShowsLevelOverWithClipCount) { CheckReportOfRecording(1.0, "Level Over"); }

}  // namespace
