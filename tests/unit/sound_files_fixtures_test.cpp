// Opening files made by real encoders (tests/fixtures/sound_files.sh). The
// directory comes from TAPEON_FIXTURES; without it these tests are skipped.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "sound_files/sound_file_open.h"
#include "sound_files/wave_repair.h"
#include "tests/fixtures.h"
#include "tests/unit/sound_files_test_bytes.h"

namespace {

class SoundFilesFixtures : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string missing = FixturesMissing("sound_files", "files_s16_44k.wav");
    if (!missing.empty()) GTEST_SKIP() << missing;
  }

  Bytes Load(const std::string& name) {
    std::optional<Bytes> bytes = ReadFixture(name);
    EXPECT_TRUE(bytes) << name;
    return bytes.value_or(Bytes());
  }

  struct Opened {
    SoundFileIdentity id;
    OpenFailure failure = OpenFailure::NONE;
    uint32_t data_total = 0;
    uint32_t position = 0;
  };

  Opened Open(const Bytes& bytes) {
    MemoryRiffFile file(bytes.data(), bytes.size());
    Opened o;
    o.id = IdentifySoundFile(file);
    o.failure = o.id.failure;
    if (o.failure == OpenFailure::NONE) {
      o.failure = LocateSoundData(file, o.id, o.data_total);
      o.position = file.Position();
    }
    return o;
  }
  Opened Open(const std::string& name) { return Open(Load(name)); }
};

TEST_F(SoundFilesFixtures, WaveEncodings) {
  struct Case {
    const char* name;
    uint16_t tag, channels;
    uint32_t rate;
    uint16_t bits;
    size_t record_size;
  } cases[] = {
      {"files_s16_44k.wav", 1, 2, 44100, 16, 16},
      {"files_u8_mono.wav", 1, 1, 11025, 8, 16},
      {"files_s16_48k.wav", 1, 2, 48000, 16, 16},
      {"files_adpcm.wav", 2, 1, 22050, 4, 50},
  };
  for (const Case& c : cases) {
    const Bytes bytes = Load(c.name);
    Opened o = Open(bytes);
    ASSERT_EQ(o.failure, OpenFailure::NONE) << c.name;
    EXPECT_EQ(o.id.kind, SoundKind::RIFF_WAVE) << c.name;
    ASSERT_EQ(o.id.format.size(), c.record_size) << c.name;
    RecordFields r = Fields(o.id.format + Bytes{0, 0});
    EXPECT_EQ(r.tag, c.tag) << c.name;
    EXPECT_EQ(r.channels, c.channels) << c.name;
    EXPECT_EQ(r.rate, c.rate) << c.name;
    EXPECT_EQ(r.bits, c.bits) << c.name;
    // The data chunk runs to the end of these files.
    EXPECT_EQ(o.position + o.data_total, bytes.size()) << c.name;
  }
}

TEST_F(SoundFilesFixtures, MpegStreams) {
  const Bytes cbr = Load("files_cbr128.mp3");
  Opened o = Open(cbr);
  ASSERT_EQ(o.failure, OpenFailure::NONE);
  EXPECT_EQ(o.id.kind, SoundKind::RAW_MPEG);
  EXPECT_EQ(o.data_total, cbr.size());
  EXPECT_EQ(o.position, 0u);
  RecordFields r = Fields(o.id.format);
  EXPECT_EQ(r.tag, 0x55);
  EXPECT_EQ(r.rate, 44100u);
  EXPECT_EQ(r.avg, 16000u);
  EXPECT_EQ(GetU16(o.id.format, 24), 417 + GetU32(o.id.format, 20));
  EXPECT_NE(o.id.report.AllText().find("CBR\r\n"), std::string::npos);

  o = Open("files_mpeg2_64.mp3");
  ASSERT_EQ(o.failure, OpenFailure::NONE);
  EXPECT_EQ(Fields(o.id.format).rate, 22050u);
  EXPECT_EQ(Fields(o.id.format).avg, 8000u);
  EXPECT_EQ(GetU16(o.id.format, 24), 208 + GetU32(o.id.format, 20));

  const Bytes tagged = Load("files_id3.mp3");
  o = Open(tagged);
  ASSERT_EQ(o.failure, OpenFailure::NONE);
  EXPECT_EQ(o.id.kind, SoundKind::RAW_MPEG);
  EXPECT_EQ(Fields(o.id.format).avg, 16000u);
  // The data is the frames after the tag (lame's tag has no padding after it).
  const size_t tag = 10 + (tagged[6] << 21 | tagged[7] << 14 | tagged[8] << 7 | tagged[9]);
  EXPECT_EQ(o.position, tag);
  EXPECT_EQ(o.data_total, tagged.size() - tag);

  const Bytes wrapped = Load("files_cbr128.rmp");
  o = Open(wrapped);
  ASSERT_EQ(o.failure, OpenFailure::NONE);
  EXPECT_EQ(o.id.kind, SoundKind::RIFF_MPEG);
  EXPECT_EQ(o.data_total, cbr.size());
  EXPECT_EQ(o.position, 20u);
  EXPECT_EQ(Fields(o.id.format).avg, 16000u);
}

TEST_F(SoundFilesFixtures, VariableRateStreamTakesItsByteRateFromTheXingCount) {
  const Bytes vbr = Load("files_vbr.mp3");
  Opened o = Open(vbr);
  ASSERT_EQ(o.failure, OpenFailure::NONE);
  const std::string text = o.id.report.AllText();
  const size_t at = text.find("Xing\r\ntime=");
  ASSERT_NE(at, std::string::npos) << text;
  const double seconds = std::atof(text.c_str() + at + 11);
  EXPECT_NEAR(seconds, 2.0, 0.1);  // two seconds of sound, plus the encoder's delay
  EXPECT_EQ(Fields(o.id.format).avg, static_cast<uint32_t>(vbr.size() / seconds));
}

TEST_F(SoundFilesFixtures, OggVorbis) {
  const Bytes ogg = Load("files_vorbis.ogg");
  Opened o = Open(ogg);
  ASSERT_EQ(o.failure, OpenFailure::NONE);
  EXPECT_EQ(o.id.kind, SoundKind::OGG);
  RecordFields r = Fields(o.id.format);
  EXPECT_EQ(r.tag, 0x674F);
  EXPECT_EQ(r.channels, 2);
  EXPECT_EQ(r.rate, 44100u);
  EXPECT_EQ(r.avg, 16000u);
  EXPECT_EQ(o.data_total, ogg.size());
}

TEST_F(SoundFilesFixtures, RefusedFiles) {
  struct Case {
    const char* name;
    OpenFailure failure;
  } cases[] = {
      {"files_not_riff.wav", OpenFailure::NOT_RIFF},   {"files_empty.wav", OpenFailure::NOT_RIFF},
      {"files_no_data.wav", OpenFailure::NO_DATA_IN_WAVE}, {"files_empty_data.wav", OpenFailure::DATA_EMPTY},
      {"files_no_fmt.wav", OpenFailure::NO_FMT},       {"files_short_fmt.wav", OpenFailure::SHORT_FMT},
      {"files_noise.rmp", OpenFailure::NOT_WAVE},      {"files_unfinished.wav", OpenFailure::DAMAGED},
  };
  for (const Case& c : cases) EXPECT_EQ(Open(c.name).failure, c.failure) << c.name;
}

TEST_F(SoundFilesFixtures, UnfinishedRecordingRepairsAndCutFileIsClamped) {
  MemoryFile file(Load("files_unfinished.wav"));
  ASSERT_TRUE(RepairWaveFile(file, file.bytes.size()));
  Opened o = Open(file.bytes);
  ASSERT_EQ(o.failure, OpenFailure::NONE);
  EXPECT_EQ(o.data_total, 1000u);

  o = Open("files_cut.wav");
  ASSERT_EQ(o.failure, OpenFailure::NONE);
  EXPECT_EQ(o.data_total, 8000u);
}

}  // namespace
