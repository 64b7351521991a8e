// Status line texts, byte for byte, and the display fields of a format.
#include <gtest/gtest.h>

#include <cstring>

#include "meter/levels.h"
#include "meter/status_text.h"

namespace {

TEST(MeterStatusFormat, DisplayFieldsOfAFormat) {
  DisplayFormat pcm = MakeDisplayFormat(1, 2, 44100, 176400, 4, 16);
  EXPECT_EQ(pcm.khz, 44);
  EXPECT_EQ(pcm.BytesPerSec, 176400u);
  EXPECT_EQ(pcm.blockalign, 4);
  EXPECT_EQ(pcm.sample_bits, 16);
  EXPECT_EQ(pcm.sample_class, CLASS_16BIT_STEREO);
  EXPECT_EQ(MakeDisplayFormat(1, 1, 22050, 22050, 1, 8).khz, 22);
  EXPECT_EQ(MakeDisplayFormat(1, 1, 11025, 11025, 1, 8).khz, 11);
  EXPECT_EQ(MakeDisplayFormat(1, 1, 8000, 8000, 1, 8).khz, 8);
  EXPECT_EQ(MakeDisplayFormat(1, 1, 499, 499, 1, 8).khz, 0);
  EXPECT_EQ(MakeDisplayFormat(1, 1, 500, 500, 1, 8).khz, 1);
  // Ogg Vorbis has no bit depth to show; a huge block size stays signed 16-bit.
  DisplayFormat vorbis = MakeDisplayFormat(0x674F, 2, 44100, 16000, 4, 16);
  EXPECT_EQ(vorbis.sample_bits, 0);
  EXPECT_EQ(vorbis.format_tag, 0x674F);
  EXPECT_EQ(MakeDisplayFormat(0x6751, 2, 44100, 16000, 4, 16).sample_bits, 0);
  EXPECT_EQ(MakeDisplayFormat(0x6752, 2, 44100, 16000, 4, 16).sample_bits, 16);
  EXPECT_EQ(MakeDisplayFormat(1, 2, 44100, 176400, 0x8000, 16).blockalign, -32768);
}

TEST(MeterStatusFormat, RateAndBitsTexts) {
  EXPECT_STREQ(FormatRateText(44).text, "44 kHz  ");
  EXPECT_STREQ(FormatRateText(8).text, " 8 kHz  ");
  EXPECT_STREQ(FormatBitsText(16, 44, 1, 176400).text, "16 bit  ");
  EXPECT_STREQ(FormatBitsText(8, 11, 1, 11025).text, " 8 bit  ");
  EXPECT_STREQ(FormatBitsText(0, 0, 0x55, 16000).text, " 0 bit  ");  // no sample rate
  // Compressed formats show the bit rate.
  EXPECT_STREQ(FormatBitsText(0, 8, 0x32, 1625).text, "13000b ");
  EXPECT_STREQ(FormatBitsText(0, 44, 0x55, 12500).text, "100kbps ");  // 100 kbit: "%3ld%s "
  EXPECT_STREQ(FormatBitsText(0, 44, 0x55, 12375).text, "99 kbps ");  // 99 kbit: "%2ld %s "
  EXPECT_STREQ(FormatBitsText(0, 44, 0x55, 1000).text, " 8 kbps ");
  EXPECT_STREQ(FormatBitsText(0, 44, 0x674F, 16000).text, "128kbps ");
  EXPECT_STREQ(FormatBitsText(0, 44, 0x55, 124875).text, "999kbps ");
  EXPECT_STREQ(FormatBitsText(0, 44, 0x55, 125000).text, "122KB/s ");  // 1000 kbit
  EXPECT_STREQ(FormatBitsText(0, 44, 0x55, 0xFFFFFFFFu).text, "4194303KB/s ");
}

TEST(MeterStatusPosition, PositionTexts) {
  PositionInputs idle;
  idle.BytesPerSec = 176400;
  EXPECT_STREQ(FormatPositionText(idle).text, "Pos:        0 KB      0 sec");
  PositionInputs rec = idle;
  rec.running = true;
  rec.recording = true;
  rec.data_count = 1048576;
  rec.played_bytes = 99999999;
  EXPECT_STREQ(FormatPositionText(rec).text, "Pos:     1024 KB      6 sec");  // 5.94 s
  PositionInputs play = idle;
  play.running = true;
  play.played_bytes = 176400 * 125;
  EXPECT_STREQ(FormatPositionText(play).text, "Pos:    21533 KB    125 sec");
  // On-memory playback: the time up to the last pause.
  PositionInputs memory = play;
  memory.on_memory = true;
  memory.run_start_time = 4000;
  memory.pause_time = 10000;
  EXPECT_STREQ(FormatPositionText(memory).text, "Pos:     1033 KB      6 sec");
  memory.run_start_time = 0xFFFFF000u;  // the clock wrapped in between
  memory.pause_time = 0x00000800u;
  EXPECT_STREQ(FormatPositionText(memory).text, "Pos:     1058 KB      6 sec");  // 6144 ms
  memory.run_start_time = 20000;  // a continued run: no negative time
  EXPECT_STREQ(FormatPositionText(memory).text, "Pos:        0 KB      0 sec");
  // At a rate: time in the file, as streaming shows it (6 s of clock at
  // double speed are 12 s of the file).
  memory.run_start_time = 4000;
  memory.pause_time = 10000;
  memory.rate_steps = 120;
  EXPECT_STREQ(FormatPositionText(memory).text, "Pos:     2067 KB     12 sec");
  // Without a byte rate the seconds are 0.
  rec.BytesPerSec = 0;
  EXPECT_STREQ(FormatPositionText(rec).text, "Pos:     1024 KB      0 sec");
}

TEST(MeterStatusPosition, TickPositionRoundsKilobytes) {
  EXPECT_STREQ(FormatTickPositionText(6000.0, 176400).text, "Pos:     1034 KB      6 sec");
  EXPECT_STREQ(FormatTickPositionText(0.0, 176400).text, "Pos:        0 KB      0 sec");
  EXPECT_STREQ(FormatTickPositionText(-50.0, 176400).text, "Pos:        0 KB      0 sec");
  EXPECT_STREQ(FormatTickPositionText(2500.0, 0).text, "Pos:        0 KB      2 sec");
}

TEST(MeterStatusCapacity, FreeOrTotal) {
  EXPECT_STREQ(FormatCapacityText(0, true, 5000000, 5000000).text, "Total:      0 KB      0 sec");
  EXPECT_STREQ(FormatCapacityText(176400, true, 104857600, 7).text, "Free:  102400 KB    594 sec");
  EXPECT_STREQ(FormatCapacityText(176400, false, 7, 10584000).text, "Total:  10335 KB     60 sec");
  EXPECT_STREQ(FormatCapacityText(1, false, 0, 0xFFFFFFFFu).text, "Total:4194303 KB 4294967295 sec");
}

// A series of files fills the whole drive: its room as it is, past 2 GB, in
// larger units where the figures would widen the line.
TEST(MeterStatusCapacity, FreeRoomPastTwoGigabytesKeepsTheLineWidth) {
  const struct {
    uint64_t room;
    uint32_t rate;
    const char* line;
  } cases[] = {
      {5000000000u, 176400, "Free: 4882812 KB  28345 sec"},
      {10239998976u, 176400, "Free: 9999999 KB  58050 sec"},
      {10240000000u, 176400, "Free:    9765 MB  58050 sec"},
      {176399823600u, 176400, "Free:  168227 MB 999999 sec"},
      {176399911800u, 176400, "Free:  168228 MB  16667 min"},
      {500000000000u, 176400, "Free:  476837 MB  47241 min"},
      {20000000000000u, 8000, "Free:   18626 GB 694444 hrs"},
  };
  for (const auto& c : cases) {
    const StatusText text = FormatCapacityText(c.rate, true, c.room, 0);
    EXPECT_STREQ(text.text, c.line);
    EXPECT_EQ(strlen(text.text), strlen("Free:  102400 KB    594 sec"));
  }
}

}  // namespace
