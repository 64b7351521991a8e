// The detail dialog's fields for files made by real encoders
// (tests/fixtures/info.sh DIR, then TAPEON_FIXTURES=DIR).
#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "base/format_record.h"
#include "resources/resource_ids.h"
#include "sound_files/format_names.h"
#include "sound_files/info_fields.h"
#include "tests/fixtures.h"

namespace {

std::string NameFromTable(uint16_t tag) {
  const char* name = KnownFormatTagName(tag);
  return name ? name : kUnknownFormatName;
}

struct FixtureDetail {
  std::vector<uint8_t> bytes;
  DetailFields detail;
  int analysis = -1;  // result of the stream analysis, -1 when none ran
  AnalysisReport report;
  std::string Get(int id) const { return detail.texts.Get(id); }
};

class InfoFixtures : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string missing = FixturesMissing("info");
    if (!missing.empty()) GTEST_SKIP() << missing;
  }

  // Reads the file and fills the fields as the detail dialog does.
  FixtureDetail Read(const std::string& name, InfoTextMode mode = {}) {
    FixtureDetail f;
    std::optional<std::vector<uint8_t>> bytes = ReadFixture(name);
    EXPECT_TRUE(bytes) << "missing fixture " << name;
    if (bytes) f.bytes = std::move(*bytes);
    MemorySource source(f.bytes);
    int64_t size = static_cast<int64_t>(f.bytes.size());
    f.detail = ReadDetailFields(&source, size, mode, NameFromTable);
    if (f.detail.kind != KIND_WAVE) f.analysis = AnalyseStream(source, f.detail, size, mode, f.report);
    return f;
  }

  static std::string Seconds(double seconds) {
    char text[64];
    std::snprintf(text, sizeof text, "%f sec", seconds);
    return text;
  }
};

TEST_F(InfoFixtures, PcmWave) {
  FixtureDetail f = Read("info_pcm.wav");
  EXPECT_EQ(f.detail.kind, KIND_WAVE);
  EXPECT_EQ(f.Get(IDC_DET_FILE_SIZE), std::to_string(f.bytes.size()));
  EXPECT_EQ(f.Get(IDC_DET_RIFF_ID), "RIFF");
  EXPECT_EQ(f.Get(IDC_DET_RIFF_SIZE), std::to_string(f.bytes.size() - 8));
  EXPECT_EQ(f.Get(IDC_DET_RIFF_TYPE), "WAVE");
  EXPECT_EQ(f.Get(IDC_DET_CHUNK1_ID), "fmt ");
  EXPECT_EQ(f.Get(IDC_DET_TAG_NAME), "PCM");
  EXPECT_EQ(f.Get(IDC_DET_CHAN_NOTE), "stereo");
  EXPECT_EQ(f.Get(IDC_DET_RATE), "44100");
  EXPECT_EQ(f.Get(IDC_DET_PERIOD), "23microSec");
  EXPECT_EQ(f.Get(IDC_DET_BYTES), "176400");
  EXPECT_EQ(f.Get(IDC_DET_ALIGN), "4");
  EXPECT_EQ(f.Get(IDC_DET_BITS), "16");
  EXPECT_EQ(f.Get(IDC_DET_CHUNK2_ID), "data");
  EXPECT_EQ(f.Get(IDC_DET_CHUNK2_SIZE), "176400");
  EXPECT_EQ(f.Get(IDC_DET_TOTAL_TIME), "1.000000 sec");
}

TEST_F(InfoFixtures, HalfSecondWithLevelWarning) {
  EXPECT_EQ(Read("info_half.wav", {false, true}).Get(IDC_DET_TOTAL_TIME), "500.000 msec");
  EXPECT_EQ(Read("info_half.wav", {true, true}).Get(IDC_DET_TOTAL_TIME), "500.000ミリ秒");
}

TEST_F(InfoFixtures, AdpcmWithFact) {
  FixtureDetail f = Read("info_adpcm.wav");
  EXPECT_EQ(f.Get(IDC_DET_CHUNK1_SIZE), "50");
  EXPECT_EQ(f.Get(IDC_DET_TAG), "2");
  EXPECT_EQ(f.Get(IDC_DET_TAG_NAME), "MS-ADPCM");
  EXPECT_EQ(f.Get(IDC_DET_CHAN_NOTE), "monaural");
  EXPECT_EQ(f.Get(IDC_DET_CBSIZE), "32");
  EXPECT_EQ(f.Get(IDC_DET_CHUNK2_ID), "fact");
  EXPECT_EQ(f.Get(IDC_DET_SIZE_NOTE), "fact=22050");
  EXPECT_EQ(f.Get(IDC_DET_FACT_TIME), "1.000000 sec");
  EXPECT_EQ(f.Get(IDC_DET_CHUNK3_ID), "data");
  EXPECT_NE(f.Get(IDC_DET_TOTAL_TIME).find(" sec"), std::string::npos);
}

TEST_F(InfoFixtures, ListChunkFirst) {
  FixtureDetail f = Read("info_list.wav");
  EXPECT_EQ(f.Get(IDC_DET_CHUNK1_ID), "LIST");
  EXPECT_EQ(f.Get(IDC_DET_CHUNK1_SIZE), "18");
  EXPECT_EQ(f.Get(IDC_DET_CHUNK2_ID), "fmt ");
  EXPECT_EQ(f.Get(IDC_DET_CHUNK3_ID), "data");
  EXPECT_EQ(f.Get(IDC_DET_CHUNK3_SIZE), "88200");
  EXPECT_EQ(f.Get(IDC_DET_TAG), "");
  EXPECT_EQ(f.Get(IDC_DET_TOTAL_TIME), "unknown sec");
}

TEST_F(InfoFixtures, MpegLayer3Wave) {
  FixtureDetail f = Read("info_mp3.wav");
  EXPECT_EQ(f.detail.kind, KIND_WAVE_MP3);
  EXPECT_EQ(f.Get(IDC_DET_TAG), "85");
  EXPECT_EQ(f.Get(IDC_DET_TAG_NAME), "ID=1");
  EXPECT_EQ(f.Get(IDC_DET_CHAN_NOTE), "flags=0002");
  EXPECT_EQ(f.Get(IDC_DET_ALIGN_NOTE), "blksiz=417");
  EXPECT_EQ(f.Get(IDC_DET_BITS_NOTE), "frames=1");
  EXPECT_EQ(f.Get(IDC_DET_CBSIZE_NOTE), "delay=1393");
  ASSERT_EQ(f.analysis, ANALYSIS_OK);
  EXPECT_EQ(f.Get(IDC_DET_BYTES_NOTE), "16000");
  EXPECT_EQ(f.Get(IDC_DET_PERIOD), "44100");
  // The time comes from the format chunk's byte rate and the data chunk.
  EXPECT_EQ(f.Get(IDC_DET_TOTAL_TIME), Seconds(std::stod(f.Get(IDC_DET_CHUNK3_SIZE)) / 16000));
  EXPECT_NE(f.report.AllText().find("SyncHead=fff"), std::string::npos);
}

TEST_F(InfoFixtures, RawMpegAndId3) {
  FixtureDetail f = Read("info.mp3");
  EXPECT_EQ(f.detail.kind, KIND_RAW);
  EXPECT_EQ(f.Get(IDC_DET_RIFF_ID), "FFF");
  for (int id = IDC_DET_RIFF_SIZE; id <= IDC_DET_CHUNK2_SIZE; ++id) EXPECT_EQ(f.Get(id), "") << id;
  ASSERT_EQ(f.analysis, ANALYSIS_OK);
  EXPECT_EQ(f.Get(IDC_DET_TAG_NAME), "85");
  EXPECT_EQ(f.Get(IDC_DET_CHAN_NOTE), "2");
  EXPECT_EQ(f.Get(IDC_DET_BYTES_NOTE), "16000");
  EXPECT_EQ(f.Get(IDC_DET_TOTAL_TIME), Seconds(f.bytes.size() / 16000.0));
  std::string text = f.report.AllText();
  EXPECT_NE(text.find("SyncHead=fff\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("CBR\r\n"), std::string::npos) << text;

  FixtureDetail tagged = Read("info_id3.mp3");
  EXPECT_EQ(tagged.Get(IDC_DET_RIFF_ID), "ID3.");
  ASSERT_EQ(tagged.analysis, ANALYSIS_OK);
  // The tag is no playing time.
  const auto& b = tagged.bytes;
  const size_t tag = 10 + (b[6] << 21 | b[7] << 14 | b[8] << 7 | b[9]);
  EXPECT_EQ(tagged.Get(IDC_DET_TOTAL_TIME), Seconds((b.size() - tag) / 16000.0));
}

TEST_F(InfoFixtures, Rmp3) {
  FixtureDetail f = Read("info.rmp");
  EXPECT_EQ(f.detail.kind, KIND_RMP3);
  EXPECT_EQ(f.Get(IDC_DET_RIFF_TYPE), "RMP3");
  EXPECT_EQ(f.Get(IDC_DET_CHUNK1_ID), "data");
  ASSERT_EQ(f.analysis, ANALYSIS_OK);
  EXPECT_EQ(f.Get(IDC_DET_TOTAL_TIME), Seconds(std::stod(f.Get(IDC_DET_CHUNK1_SIZE)) / 16000));
}

TEST_F(InfoFixtures, OggWithAndWithoutNominalBitrate) {
  FixtureDetail f = Read("info.ogg");
  EXPECT_EQ(f.Get(IDC_DET_RIFF_ID), "OggS");
  ASSERT_EQ(f.analysis, ANALYSIS_OK);
  EXPECT_EQ(f.report.AllText(), "freq=44100\r\nrate=128000\r\nchannel=2\r\n");
  EXPECT_EQ(f.Get(IDC_DET_TOTAL_TIME), Seconds(f.bytes.size() / 16000.0));

  FixtureDetail zero = Read("info_nobitrate.ogg");
  ASSERT_EQ(zero.analysis, ANALYSIS_OK);
  EXPECT_EQ(zero.Get(IDC_DET_TOTAL_TIME), "unknown sec");
}

}  // namespace
