// MPEG audio stream analysis: recognition, the 30-byte record, the texts, the
// second-frame comparison and the Xing frame count.
#include <gtest/gtest.h>

#include "base/format_record.h"
#include "sound_files/mpeg_analysis.h"
#include "sound_files/sound_file_open.h"
#include "tests/unit/sound_files_test_bytes.h"

namespace {

struct Analysis {
  int result;
  Bytes record;
  AnalysisReport report;
};

Analysis Analyze(const Bytes& stream, uint32_t data_total = 0, MpegSearch search = MpegSearch::AFTER_TAGS) {
  MemorySource source(stream);
  Analysis a;
  a.result = AnalyzeMpeg(source, data_total ? data_total : static_cast<uint32_t>(stream.size()), a.report,
                         a.record, nullptr, search);
  return a;
}

std::vector<std::string> Boxes(const AnalysisReport& report) {
  std::vector<std::string> boxes;
  for (const AnalysisNote& note : report.notes())
    if (note.kind == AnalysisNote::BOX) boxes.push_back(note.text);
  return boxes;
}

Bytes TwoFrames(const FrameSpec& first, const FrameSpec& second, Bytes first_body = {}) {
  Bytes b = Frame(first, std::move(first_body));
  Append(b, Frame(second));
  return b;
}

const char kDefaultFields[] =
    "SyncHead=fff\r\nID=1\r\nLayer=3\r\nErrorProtect=1\r\nBitRate=9\r\nSampleRate=0\r\nPadding=0\r\nExtension=0\r\n"
    "Channel=0\r\nModExtension=0\r\nCopyright=0\r\nOriginal=1\r\nEmphasis=0\r\n";

TEST(SoundFilesMpeg, Cbr128At44100GivesTheLayer3RecordFieldByField) {
  FrameSpec f;
  Analysis a = Analyze(TwoFrames(f, f));
  ASSERT_EQ(a.result, ANALYSIS_OK);
  ASSERT_EQ(a.record.size(), 30u);
  RecordFields r = Fields(a.record);
  EXPECT_EQ(r.tag, 0x55);
  EXPECT_EQ(r.channels, 2);
  EXPECT_EQ(r.rate, 44100u);
  EXPECT_EQ(r.avg, 16000u);
  EXPECT_EQ(r.align, 1);
  EXPECT_EQ(r.bits, 0);
  EXPECT_EQ(r.cb_size, 12);
  EXPECT_EQ(GetU16(a.record, 18), 1);       // wID
  EXPECT_EQ(GetU32(a.record, 20), 0u);      // fdwFlags: no padding
  EXPECT_EQ(GetU16(a.record, 24), 417);     // nBlockSize
  EXPECT_EQ(GetU16(a.record, 26), 1);       // nFramesPerBlock
  EXPECT_EQ(GetU16(a.record, 28), 1393);    // nCodecDelay

  f.padding = 1;
  a = Analyze(TwoFrames(f, f));
  ASSERT_EQ(a.result, ANALYSIS_OK);
  EXPECT_EQ(GetU16(a.record, 24), 418);
  EXPECT_EQ(GetU32(a.record, 20), 1u);
}

TEST(SoundFilesMpeg, TextsOfAConstantRateStreamAreExact) {
  FrameSpec f;
  Analysis a = Analyze(TwoFrames(f, f));
  EXPECT_EQ(a.report.AllText(),
            std::string(kDefaultFields) + "ID=1\r\nFlags=0\r\nBlock=417\r\nFrame=1\r\nDelay=1393\r\n" + "CBR\r\n");
  // The record is allocated after the header fields and before the record's own text.
  const auto& notes = a.report.notes();
  ASSERT_GE(notes.size(), 3u);
  EXPECT_EQ(notes[0].kind, AnalysisNote::TEXT);
  EXPECT_EQ(notes[1].kind, AnalysisNote::ALLOCATE);
  EXPECT_EQ(notes[1].size, 30);
  EXPECT_EQ(notes[2].text, "ID=1\r\nFlags=0\r\nBlock=417\r\nFrame=1\r\nDelay=1393\r\n");
  EXPECT_TRUE(Boxes(a.report).empty());
}

TEST(SoundFilesMpeg, Mpeg2At22050And64kbitGivesBlock208) {
  FrameSpec f;
  f.id = 0;
  f.bitrate_index = 8;  // 64 kbit/s in the 8..160 row
  Analysis a = Analyze(TwoFrames(f, f));
  ASSERT_EQ(a.result, ANALYSIS_OK);
  RecordFields r = Fields(a.record);
  EXPECT_EQ(r.rate, 22050u);
  EXPECT_EQ(r.avg, 8000u);
  EXPECT_EQ(GetU16(a.record, 24), 208);
}

TEST(SoundFilesMpeg, VersionsLayersAndTables) {
  // MPEG-2.5 (sync 0xFFE): 8..160 row for every layer, 11025/12000/8000 Hz.
  FrameSpec f;
  f.sync = 0xFFE;
  f.id = 0;
  f.bitrate_index = 14;
  f.rate_index = 2;
  Analysis a = Analyze(TwoFrames(f, f));
  ASSERT_EQ(a.result, ANALYSIS_OK);
  EXPECT_EQ(Fields(a.record).rate, 8000u);
  EXPECT_EQ(Fields(a.record).avg, 160u * 125);
  EXPECT_EQ(GetU16(a.record, 24), 72000 * 160 / 8000);

  // Layer I, MPEG-1, 448 kbit/s at 32 kHz with padding: (168 + 1) * 4.
  FrameSpec l1;
  l1.layer = 1;
  l1.bitrate_index = 14;
  l1.rate_index = 2;
  l1.padding = 1;
  a = Analyze(TwoFrames(l1, l1));
  ASSERT_EQ(a.result, ANALYSIS_OK);
  EXPECT_EQ(GetU16(a.record, 24), 676);
  EXPECT_NE(a.report.AllText().find("Layer=1\r\n"), std::string::npos);

  // Layer II, MPEG-1, 384 kbit/s at 48 kHz: 144000 * 384 / 48000.
  FrameSpec l2;
  l2.layer = 2;
  l2.bitrate_index = 14;
  l2.rate_index = 1;
  a = Analyze(TwoFrames(l2, l2));
  ASSERT_EQ(a.result, ANALYSIS_OK);
  EXPECT_EQ(GetU16(a.record, 24), 1152);
  EXPECT_EQ(Fields(a.record).avg, 48000u);

  // Layer II, MPEG-2, 64 kbit/s at 22.05 kHz: 1152 samples a frame as in
  // MPEG-1, 144000 * 64 / 22050; the second header is found there.
  l2.id = 0;
  l2.bitrate_index = 8;
  l2.rate_index = 0;
  a = Analyze(TwoFrames(l2, l2));
  ASSERT_EQ(a.result, ANALYSIS_OK);
  EXPECT_EQ(GetU16(a.record, 24), 417);
  EXPECT_NE(a.report.AllText().find("CBR\r\n"), std::string::npos);
  EXPECT_TRUE(Boxes(a.report).empty());

  EXPECT_EQ(MpegBitrate(MPEG_2, 1, 14), 256u);
  EXPECT_EQ(MpegBitrate(MPEG_2, 3, 1), 8u);
  EXPECT_EQ(MpegBitrate(MPEG_1, 3, 15), 0u);
  EXPECT_EQ(MpegSampleRate(MPEG_2, 1), 24000u);
  EXPECT_EQ(MpegSampleRate(MPEG_1, 3), 0u);
}

TEST(SoundFilesMpeg, ChannelModes) {
  for (unsigned mode = 0; mode < 4; ++mode) {
    FrameSpec f;
    f.channel_mode = mode;
    Analysis a = Analyze(TwoFrames(f, f));
    ASSERT_EQ(a.result, ANALYSIS_OK);
    EXPECT_EQ(Fields(a.record).channels, mode == 3 ? 1 : 2) << "mode " << mode;
  }
}

TEST(SoundFilesMpeg, HeadersDifferingOnlyInPaddingAndBit5AreConstantRate) {
  FrameSpec first, second;
  second.padding = 1;
  second.mode_extension = 2;  // bit 5
  Analysis a = Analyze(TwoFrames(first, second));
  ASSERT_EQ(a.result, ANALYSIS_OK);
  EXPECT_NE(a.report.AllText().find("CBR\r\n"), std::string::npos);
  EXPECT_EQ(a.report.AllText().find("VBR"), std::string::npos);
}

// The Xing frame count gives the average byte rate, where frames of the
// version and layer could have it; a count that lies, or one without its
// flag, leaves the frames' rate.
TEST(SoundFilesMpeg, XingCountGivesTheAverageByteRateFramesCouldHave) {
  FrameSpec first, second;
  first.bitrate_index = 5;  // 64 kbit/s Xing frame
  second.bitrate_index = 9;  // 128 kbit/s, no padding: 417 / 16000 s per frame
  Analysis a = Analyze(TwoFrames(first, second, XingBody(32, 0x0F, 1000)), 400000);
  ASSERT_EQ(a.result, ANALYSIS_OK);
  EXPECT_EQ(Fields(a.record).avg, 15347u);
  std::string second_fields = kDefaultFields;
  std::string first_fields = second_fields;
  first_fields.replace(first_fields.find("BitRate=9"), 9, "BitRate=5");
  EXPECT_EQ(a.report.AllText(), first_fields + "ID=1\r\nFlags=0\r\nBlock=208\r\nFrame=1\r\nDelay=1393\r\n" + "VBR\r\n" +
                                    second_fields + "    c000\r\n" + "avg=16000\r\n" + "Xing\r\ntime=26.062500\r\n" +
                                    "avg=15347 data=400000 time=26.062500");
  EXPECT_TRUE(Boxes(a.report).empty());

  // Behind an ID3v2 tag the same stream has the same rate: the tag's bytes
  // are no sound and do not count.
  Bytes tagged = Id3Tag(200000);
  Append(tagged, TwoFrames(first, second, XingBody(32, 0x0F, 1000)));
  MemorySource source(tagged);
  AnalysisReport report;
  Bytes record;
  MpegEdges edges;
  ASSERT_EQ(AnalyzeMpeg(source, 400000 + 200010, report, record, &edges), ANALYSIS_OK);
  EXPECT_EQ(edges.head, 200010u);
  EXPECT_EQ(Fields(record).avg, 15347u);

  // 1000 frames over 4 MB, or 1 frame over 400 KB: more than 320 kbit/s,
  // which no MPEG-1 Layer III frame has; 100000 frames: less than 32.
  for (auto [frames, data] : {std::pair<uint32_t, uint32_t>{1000, 4000000}, {1, 400000}, {100000, 400000}}) {
    a = Analyze(TwoFrames(first, second, XingBody(32, 0x0F, frames)), data);
    ASSERT_EQ(a.result, ANALYSIS_OK);
    EXPECT_EQ(Fields(a.record).avg, 16000u) << frames << " frames, " << data << " bytes";
    EXPECT_EQ(a.report.AllText().find("data="), std::string::npos);
  }
  // Without its flag the count is no count.
  a = Analyze(TwoFrames(first, second, XingBody(32, 0x0E, 1000)), 400000);
  EXPECT_EQ(Fields(a.record).avg, 16000u);
  EXPECT_EQ(a.report.AllText().find("time="), std::string::npos);
}

TEST(SoundFilesMpeg, VariableRateRaisesTheByteRateToTheSecondFrames) {
  FrameSpec first, second;
  second.bitrate_index = 11;  // 192 kbit/s
  Analysis a = Analyze(TwoFrames(first, second));
  ASSERT_EQ(a.result, ANALYSIS_OK);
  EXPECT_EQ(Fields(a.record).avg, 24000u);
  EXPECT_NE(a.report.AllText().find("avg=24000\r\n"), std::string::npos);
  // A slower second frame does not lower it.
  a = Analyze(TwoFrames(second, first));
  EXPECT_EQ(Fields(a.record).avg, 24000u);
}

TEST(SoundFilesMpeg, XingPositionsFollowVersionAndChannels) {
  struct Case {
    unsigned id, sync, mode, offset;
  } cases[] = {{1, 0xFFF, 3, 17}, {1, 0xFFF, 0, 32}, {0, 0xFFF, 3, 9}, {0, 0xFFE, 1, 17}};
  for (const Case& c : cases) {
    for (unsigned protection : {1u, 0u}) {
      FrameSpec f;
      f.id = c.id;
      f.sync = c.sync;
      f.channel_mode = c.mode;
      f.protection = protection;
      // A protected frame has two bytes of CRC before the side information.
      const unsigned offset = c.offset + (protection ? 0 : 2);
      Analysis a = Analyze(TwoFrames(f, f, XingBody(offset, 3, 10)));
      EXPECT_NE(a.report.AllText().find("Xing\r\ntime="), std::string::npos) << offset;
      // One byte off, the tag is not seen.
      a = Analyze(TwoFrames(f, f, XingBody(offset + 1, 3, 10)));
      EXPECT_EQ(a.report.AllText().find("Xing"), std::string::npos) << offset;
    }
  }
}

TEST(SoundFilesMpeg, MissingXingFlagsAreReportedOnceEachWithoutOwner) {
  FrameSpec f;
  Analysis a = Analyze(TwoFrames(f, f, XingBody(32, 0, 100)));
  ASSERT_EQ(a.result, ANALYSIS_OK);
  std::vector<const AnalysisNote*> boxes;
  for (const AnalysisNote& note : a.report.notes())
    if (note.kind == AnalysisNote::BOX) boxes.push_back(&note);
  ASSERT_EQ(boxes.size(), 2u);
  for (const AnalysisNote* box : boxes) {
    EXPECT_EQ(box->text, "FLAG ERROR");
    EXPECT_EQ(box->caption, "Xing");
    EXPECT_FALSE(box->owned);
  }
  a = Analyze(TwoFrames(f, f, XingBody(32, 1, 100)));
  EXPECT_EQ(Boxes(a.report).size(), 1u);
  // The frame count, with its flag: 100 frames of 417/16000 s.
  EXPECT_NE(a.report.AllText().find("time=2.606250"), std::string::npos);
}

TEST(SoundFilesMpeg, BadOrMissingSecondFrameKeepsTheFirstFramesRecord) {
  FrameSpec f;
  Bytes one = Frame(f);
  struct Case {
    Bytes tail;
    const char* box;
  } cases[] = {
      {{}, "read"},
      {{0xFE, 0xFB, 0x90, 0x04}, "fff"},
      {{0x12, 0x34, 0x56, 0x78}, "fff"},
      {{0xFF, 0xF9, 0x90, 0x04}, "layer"},
      {{0xFF, 0xEB, 0x90, 0x64}, "fff"},  // the reserved version
      {{0xFF, 0xFB, 0x9C, 0x04}, "rate"},
  };
  for (const Case& c : cases) {
    Bytes stream = one;
    Append(stream, c.tail);
    Analysis a = Analyze(stream);
    ASSERT_EQ(a.result, ANALYSIS_OK) << c.box;
    EXPECT_EQ(Boxes(a.report), std::vector<std::string>{c.box});
    EXPECT_EQ(Fields(a.record).avg, 16000u);
    EXPECT_EQ(a.report.AllText().find("BR\r\n"), std::string::npos);
  }
}

TEST(SoundFilesMpeg, Id3TagIsSkippedAndTheSearchStartsAfterIt) {
  // A single frame after a tag: it ends where the sound does.
  FrameSpec one;
  const Bytes single = Id3Tag(20) + Frame(one);
  MemorySource single_source(single);
  AnalysisReport single_report;
  Bytes single_record;
  MpegEdges single_edges;
  ASSERT_EQ(AnalyzeMpeg(single_source, static_cast<uint32_t>(single.size()), single_report, single_record,
                        &single_edges),
            ANALYSIS_OK);
  EXPECT_EQ(single_edges.head, 30u);
  EXPECT_EQ(Boxes(single_report), std::vector<std::string>{"read"});

  FrameSpec f;
  Bytes stream = Id3Tag(2035);
  ASSERT_EQ(stream.size(), 2045u);
  Append(stream, TwoFrames(f, f));
  MemorySource source(stream);
  AnalysisReport report;
  Bytes record;
  MpegEdges edges;
  ASSERT_EQ(AnalyzeMpeg(source, static_cast<uint32_t>(stream.size()), report, record, &edges), ANALYSIS_OK);
  EXPECT_EQ(edges.head, 2045u);
  EXPECT_EQ(Fields(record).avg, 16000u);

  // Zero padding after the tag is skipped up to the first frame.
  Bytes padded = Id3Tag(2035);
  padded.resize(padded.size() + 6, 0);
  Append(padded, TwoFrames(f, f));
  MemorySource padded_source(padded);
  report.Clear();
  ASSERT_EQ(AnalyzeMpeg(padded_source, static_cast<uint32_t>(padded.size()), report, record, &edges), ANALYSIS_OK);
  EXPECT_EQ(edges.head, 2051u);
}

// Bytes that look like what taggers, pictures and cut files leave around the
// frames: a fixed pseudo-random pattern with frame syncs in it.
Bytes Junk(size_t n, uint32_t seed) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) {
    seed = seed * 1103515245u + 12345u;
    b[i] = static_cast<uint8_t>(seed >> 16);
  }
  return b;
}

// An ID3v2 tag: header (size 7 bits a byte unless `plain_size`), body, and a
// footer "3DI" when `footer`.
Bytes Id3v2(uint8_t version, const Bytes& body, bool plain_size = false, bool footer = false) {
  const uint32_t n = static_cast<uint32_t>(body.size());
  Bytes size = {static_cast<uint8_t>(n >> 21 & 0x7F), static_cast<uint8_t>(n >> 14 & 0x7F),
                static_cast<uint8_t>(n >> 7 & 0x7F), static_cast<uint8_t>(n & 0x7F)};
  if (plain_size) size = {static_cast<uint8_t>(n >> 24), static_cast<uint8_t>(n >> 16), static_cast<uint8_t>(n >> 8),
                          static_cast<uint8_t>(n)};
  const uint8_t flags = footer ? 0x10 : 0;
  Bytes tag = Bytes{'I', 'D', '3', version, 0, flags} + size + body;
  if (footer) Append(tag, Bytes{'3', 'D', 'I', version, 0, flags} + size);
  return tag;
}

// An ID3v2.3 text frame in UTF-16 with its byte order mark: FF FE, then the
// first letter and 00 (FF FE 'T' 00 reads as an MPEG-1 Layer I header).
Bytes Utf16TextFrame(const char* id, const std::string& text) {
  Bytes value = {1, 0xFF, 0xFE};
  for (char c : text) Append(value, Bytes{static_cast<uint8_t>(c), 0});
  Bytes frame = ToBytes(id);
  PutU32BE(frame, static_cast<uint32_t>(value.size()));
  Append(frame, Bytes{0, 0});
  return frame + value;
}

// An APEv2 tag with a header, one binary item (a cover picture) and the footer.
Bytes Apev2WithPicture(const Bytes& picture) {
  Bytes item;
  PutU32(item, static_cast<uint32_t>(picture.size()));
  PutU32(item, 2);  // binary
  Append(item, ToBytes(std::string("Cover Art (Front)") + '\0'));
  Append(item, picture);
  auto frame = [&](uint32_t flags) {
    Bytes b = ToBytes("APETAGEX");
    PutU32(b, 2000);
    PutU32(b, static_cast<uint32_t>(item.size()) + 32);
    PutU32(b, 1);
    PutU32(b, flags);
    b.resize(32, 0);
    return b;
  };
  return frame(0xA0000000u) + item + frame(0x80000000u);
}

Bytes Id3v1() {
  Bytes tag = ToBytes("TAGtape");
  tag.resize(128, 0);
  tag[127] = 12;  // genre
  return tag;
}

// Files as music libraries hold them, around four frames of 44.1 kHz Layer
// III at 128 kbit/s: the open must find the first frame, take its format, and
// hand the codec the frames and nothing else.
TEST(SoundFilesMpeg, FrameSearchFindsTheSoundBetweenTags) {
  FrameSpec f;
  const Bytes frames = Frame(f, XingBody(32, 3, 3)) + Frame(f) + Frame(f) + Frame(f);
  // A JPEG's start, its markers and entropy-coded bytes.
  const Bytes picture = Bytes{0xFF, 0xD8, 0xFF, 0xE0, 0, 16} + ToBytes("JFIF") + Junk(3000, 7);

  // Under a syncsafe reading the plain size 4800 is 2368: the rest of the tag
  // (a picture, from its FF D8 on) follows there. 409600 reads as 106496,
  // farther from the frames than the search looks.
  Bytes picture_tag = ToBytes("APIC") + Bytes(2368 - 4, 0) + picture;
  picture_tag.resize(4800, 0);
  Bytes large_tag = picture_tag;
  large_tag.resize(409600, 0);
  Bytes junk = Junk(1024, 3);
  const Bytes syncs[] = {{0xFF, 0xFB, 0x90, 0x00}, {0xFF, 0xFE, 'T', 0}, {0xFF, 0xE3, 0x18, 0xC4}};
  for (size_t i = 0; i < 3; ++i) std::copy(syncs[i].begin(), syncs[i].end(), junk.begin() + 100 + 301 * i);
  Bytes padded_text = Utf16TextFrame("TIT2", "Tape");
  padded_text.resize(300 * 1024, 0);
  const Bytes appended_id3 = Id3v2(4, Utf16TextFrame("TIT2", "Tape"), false, true);

  struct Case {
    const char* name;
    Bytes before, after;
  } cases[] = {
      {"two ID3v2 tags, the second in UTF-16 and padded", Id3Tag(100) + Id3v2(3, padded_text), {}},
      {"a plain size", Id3v2(3, picture_tag, true), {}},
      {"a large plain size", Id3v2(3, large_tag, true), {}},
      {"1 KB of junk after the tag", Id3Tag(20) + junk, {}},
      {"APEv2 with a picture at the end", {}, Apev2WithPicture(picture)},
      {"ID3v1 at the end", {}, Id3v1()},
      {"ID3v2 and ID3v1 at the end", Id3Tag(20), appended_id3 + Id3v1()},
      {"215 bytes of junk and no tag", Junk(215, 5), {}},
      {"7 bytes of junk and no tag, an ID3v1 tag at the end", Junk(7, 11), Id3v1()},
      {"junk with a sync of one frame and a header in it", Junk(60, 13) + Frame(f) + syncs[0] + Junk(60, 17), {}},
  };
  for (const Case& c : cases) {
    const Bytes file = c.before + frames + c.after;
    MemoryRiffFile riff(file.data(), file.size());
    SoundFileIdentity id = IdentifySoundFile(riff);
    ASSERT_EQ(id.failure, OpenFailure::NONE) << c.name;
    uint32_t data_total = 0;
    ASSERT_EQ(LocateSoundData(riff, id, data_total), OpenFailure::NONE) << c.name;
    EXPECT_EQ(riff.Position(), c.before.size()) << c.name;
    EXPECT_EQ(data_total, frames.size()) << c.name;
    EXPECT_EQ(id.analysed_data_total, frames.size()) << c.name;
    EXPECT_EQ(Fields(id.format).rate, 44100u) << c.name;
    const std::string text = id.report.AllText();
    EXPECT_EQ(text.find(kDefaultFields), 0u) << c.name << "\n" << text;
    EXPECT_NE(text.find("CBR\r\n"), std::string::npos) << c.name;
    // The Xing frame count's time: the tags' bytes are no sound.
    EXPECT_EQ(Fields(id.format).avg, static_cast<uint32_t>(frames.size() / (3 * (417.0 / 16000)))) << c.name;
  }
}

// The search after a tag, or from the start of a raw file, reads the file
// in blocks and looks 256 KB far: a frame 262,143 bytes on is found, one
// 262,144 bytes on is not.
TEST(SoundFilesMpeg, FrameSearchIsBoundedAndBuffered) {
  FrameSpec f;
  const Bytes frames = TwoFrames(f, f) + Frame(f);
  for (size_t zeros : {262143u, 262144u}) {
    for (const Bytes& before : {Id3Tag(20), Bytes{}}) {
      const Bytes file = before + Bytes(zeros, 0) + frames;
      SeekSpy spy(file);
      AnalysisReport report;
      Bytes record;
      MpegEdges edges;
      const AnalysisResult result =
          AnalyzeMpeg(spy, static_cast<uint32_t>(file.size()), report, record, &edges, MpegSearch::ANYWHERE);
      EXPECT_EQ(result, zeros < 262144 ? ANALYSIS_OK : ANALYSIS_NOT_MINE) << zeros << " after " << before.size();
      if (result == ANALYSIS_OK) EXPECT_EQ(edges.head, before.size() + zeros);
      EXPECT_LT(spy.seeks.size(), 12u) << zeros;
    }
  }
}

TEST(SoundFilesMpeg, ThingsThatAreNotMpegAudio) {
  FrameSpec f;
  Bytes later = {0, 0, 0};
  Append(later, TwoFrames(f, f));
  FrameSpec free_format = f, forbidden = f, bad_layer = f, bad_rate = f;
  free_format.bitrate_index = 0;
  forbidden.bitrate_index = 15;
  bad_layer.layer = 0;
  bad_rate.rate_index = 3;
  Bytes id3_past_end = Id3Tag(100);
  id3_past_end[6] = 0x7F;  // size far beyond the file
  Bytes id3_only_ff_late = Id3Tag(20);
  Append(id3_only_ff_late, {0, 0, 0, 0, 0xFF, 0x00, 0x00, 0x00});  // 0xFF, but no header

  FrameSpec reserved = f;  // sync 0xFFE with the MPEG-1 bit: the reserved version
  reserved.sync = 0xFFE;
  MpegHeader header;
  EXPECT_FALSE(DecodeMpegHeader(0xFFEB9064, header));

  // In the data of a RIFF file none is MPEG audio; a raw file is searched
  // from its start, and where a good frame follows junk (or a bad first
  // header) it is.
  struct Case {
    Bytes stream;
    bool frame_later;
  } cases[] = {{{}, false},
               {{0xFF, 0xFB}, false},
               {later, true},
               {TwoFrames(reserved, reserved), false},
               {TwoFrames(free_format, f), true},
               {TwoFrames(forbidden, f), true},
               {TwoFrames(bad_layer, f), true},
               {TwoFrames(bad_rate, f), true},
               {id3_past_end, false},
               {{'I', 'D', '3', 4, 0}, false},
               {id3_only_ff_late, false},
               {Pattern(500, 0), false}};
  for (size_t i = 0; i < std::size(cases); ++i) {
    Analysis a = Analyze(cases[i].stream);
    EXPECT_EQ(a.result, ANALYSIS_NOT_MINE) << "stream " << i;
    EXPECT_TRUE(a.record.empty());
    EXPECT_TRUE(a.report.notes().empty()) << "stream " << i;
    EXPECT_EQ(Analyze(cases[i].stream, 0, MpegSearch::ANYWHERE).result,
              cases[i].frame_later ? ANALYSIS_OK : ANALYSIS_NOT_MINE)
        << "stream " << i;
  }
  // Nor is a raw file that begins as Ogg or RIFF searched.
  for (const char* kind : {"OggS", "RIFF"})
    EXPECT_EQ(Analyze(ToBytes(kind) + later, 0, MpegSearch::ANYWHERE).result, ANALYSIS_NOT_MINE) << kind;
}

TEST(SoundFilesMpeg, ReadsFromThePresentPositionAndStopsAfterTheSecondHeader) {
  FrameSpec f;
  Bytes stream = Pattern(100);
  const Bytes frames = TwoFrames(f, f);
  Append(stream, frames);
  MemorySource source(stream);
  source.Seek(100);
  AnalysisReport report;
  Bytes record;
  ASSERT_EQ(AnalyzeMpeg(source, 5000, report, record), ANALYSIS_OK);
  EXPECT_EQ(source.Position(), 100u + 417 + 4);
}

TEST(SoundFilesMpeg, SecondFrameWithoutBitrateSkipsTheXingTime) {
  FrameSpec first, second;
  second.bitrate_index = 0;
  Analysis a = Analyze(TwoFrames(first, second, XingBody(32, 3, 1000)));
  ASSERT_EQ(a.result, ANALYSIS_OK);
  EXPECT_EQ(Fields(a.record).avg, 16000u);
  EXPECT_EQ(a.report.AllText().find("time="), std::string::npos);
}

TEST(SoundFilesMpeg, XingFrameCountOfZeroKeepsTheFrameRate) {
  FrameSpec f;
  Analysis a = Analyze(TwoFrames(f, f, XingBody(32, 3, 0)), 4000000);
  ASSERT_EQ(a.result, ANALYSIS_OK);
  EXPECT_EQ(Fields(a.record).avg, 16000u);
  EXPECT_NE(a.report.AllText().find("Xing\r\ntime=0.000000\r\n"), std::string::npos);
  EXPECT_EQ(a.report.AllText().find("avg="), std::string::npos);
}

}  // namespace
