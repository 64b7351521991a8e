// Ogg stream analysis: the 26-byte record and its text.
#include <gtest/gtest.h>

#include "base/format_record.h"
#include "sound_files/ogg_analysis.h"
#include "tests/unit/sound_files_test_bytes.h"

namespace {

TEST(SoundFilesOgg, StereoAt44100With128000GivesTheVorbisRecord) {
  const Bytes stream = OggIdentification(2, 44100, 128000);
  MemorySource source(stream);
  AnalysisReport report;
  Bytes record;
  ASSERT_EQ(AnalyzeOgg(source, 0, report, record), ANALYSIS_OK);
  ASSERT_EQ(record.size(), 26u);
  RecordFields r = Fields(record);
  EXPECT_EQ(r.tag, 0x674F);
  EXPECT_EQ(r.channels, 2);
  EXPECT_EQ(r.rate, 44100u);
  EXPECT_EQ(r.avg, 16000u);
  EXPECT_EQ(r.align, 4);
  EXPECT_EQ(r.bits, 16);
  EXPECT_EQ(r.cb_size, 8);
  EXPECT_EQ(Bytes(record.begin() + 18, record.end()), (Bytes{0x14, 0x12, 0x00, 0x20, 0x31, 0x10, 0x00, 0x20}));
  EXPECT_EQ(report.AllText(), "freq=44100\r\nrate=128000\r\nchannel=2\r\n");
  ASSERT_EQ(report.notes().size(), 2u);
  EXPECT_EQ(report.notes()[1].kind, AnalysisNote::ALLOCATE);
  EXPECT_EQ(report.notes()[1].size, 26);
}

TEST(SoundFilesOgg, BitrateIsDividedAsASignedNumber) {
  struct Case {
    int32_t nominal;
    uint32_t avg;
  } cases[] = {{0, 0}, {64007, 8000}, {-9, static_cast<uint32_t>(-1)}};
  for (const Case& c : cases) {
    const Bytes stream = OggIdentification(1, 8000, c.nominal);
    MemorySource source(stream);
    AnalysisReport report;
    Bytes record;
    ASSERT_EQ(AnalyzeOgg(source, 0, report, record), ANALYSIS_OK);
    EXPECT_EQ(Fields(record).avg, c.avg) << c.nominal;
    EXPECT_EQ(Fields(record).align, 2);
  }
}

TEST(SoundFilesOgg, FieldsComeFromTheIdentificationPacketWhereverItBegins) {
  // Two lacing values put the packet a byte later.
  const Bytes stream = OggIdentification(2, 44100, 128000, 2);
  MemorySource source(stream);
  AnalysisReport report;
  Bytes record;
  ASSERT_EQ(AnalyzeOgg(source, 0, report, record), ANALYSIS_OK);
  EXPECT_EQ(Fields(record).channels, 2);
  EXPECT_EQ(Fields(record).rate, 44100u);
  EXPECT_EQ(Fields(record).avg, 16000u);
}

TEST(SoundFilesOgg, StreamAtAnOffset) {
  Bytes file = Pattern(123);
  Append(file, OggIdentification(2, 48000, 96000));
  MemorySource source(file);
  AnalysisReport report;
  Bytes record;
  ASSERT_EQ(AnalyzeOgg(source, 123, report, record), ANALYSIS_OK);
  EXPECT_EQ(Fields(record).rate, 48000u);
  EXPECT_EQ(AnalyzeOgg(source, 0, report, record), ANALYSIS_NOT_MINE);
}

TEST(SoundFilesOgg, NotOggOrCutShort) {
  Bytes cut = OggIdentification(2, 44100, 128000);
  cut.resize(51);  // the bitrate's last byte is missing
  Bytes wrong = OggIdentification(2, 44100, 128000);
  wrong[3] = 's';
  const Bytes streams[] = {{}, {'O', 'g', 'g'}, cut, wrong, Pattern(100)};
  for (const Bytes& stream : streams) {
    MemorySource source(stream);
    AnalysisReport report;
    Bytes record;
    EXPECT_EQ(AnalyzeOgg(source, 0, report, record), ANALYSIS_NOT_MINE);
    EXPECT_TRUE(report.notes().empty());
    EXPECT_TRUE(record.empty());
  }
  // Ogg, but not Vorbis: other codecs' first packets, and Vorbis headers
  // that are not a whole identification header of version 0.
  Bytes comment_first = OggIdentification(2, 44100, 128000);
  comment_first[28] = 3;
  Bytes version1 = OggIdentification(2, 44100, 128000);
  version1[35] = 1;
  Bytes short_packet = OggIdentification(2, 44100, 128000);
  short_packet[27] = 29;
  Bytes no_segments = OggIdentification(2, 44100, 128000);
  no_segments[26] = 0;
  Bytes not_vorbis = OggIdentification(2, 44100, 128000);
  not_vorbis[34] = 'z';
  const Bytes others[] = {OggFirstPage(ToBytes("OpusHead") + Bytes{1, 2, 0x38, 1, 0x80, 0xBB, 0, 0, 0, 0, 0}),
                          OggFirstPage(Bytes{0x7F, 'F', 'L', 'A', 'C', 1, 0, 0, 1} + ToBytes("fLaC") + Pattern(38)),
                          OggFirstPage(ToBytes("Speex   1.2") + Pattern(69)),
                          comment_first, version1, short_packet, no_segments, not_vorbis};
  for (const Bytes& stream : others) {
    MemorySource source(stream);
    AnalysisReport report;
    Bytes record;
    EXPECT_EQ(AnalyzeOgg(source, 0, report, record), ANALYSIS_NOT_MINE) << ToText(Bytes(stream.begin() + 28, stream.begin() + 36));
    EXPECT_TRUE(record.empty());
    EXPECT_TRUE(IsOggStream(source, 0));
  }
  MemorySource source(cut);
  AnalysisReport report;
  Bytes record;
  EXPECT_EQ(AnalyzeOgg(source, 0xFFFFFFF0u, report, record), ANALYSIS_NOT_MINE);
}

}  // namespace
