// Opening for play: the kind of file, its format record, where its data lies,
// which failure stops it and the failure texts.
#include <gtest/gtest.h>

#include <cstring>

#include "base/format_record.h"
#include "resources/resource_ids.h"
#include "sound_files/sound_file_open.h"
#include "tests/unit/sound_files_test_bytes.h"

namespace {

struct Opened {
  SoundFileIdentity id;
  OpenFailure located = OpenFailure::NONE;
  uint32_t data_total = 0;
  uint32_t data_position = 0;
};

// Both parts of the open, as the Windows side runs them (the device query
// between them is assumed to pass).
Opened Open(const Bytes& file) {
  MemoryRiffFile riff(file.data(), file.size());
  Opened o;
  o.id = IdentifySoundFile(riff);
  if (o.id.failure == OpenFailure::NONE) {
    o.located = LocateSoundData(riff, o.id, o.data_total);
    o.data_position = riff.Position();
  }
  return o;
}

Bytes Mp3Stream(int frames = 3) {
  FrameSpec f;
  Bytes b;
  for (int i = 0; i < frames; ++i) Append(b, Frame(f, Pattern(10)));
  return b;
}

TEST(SoundFilesOpen, RiffWaveLoadsTheFmtChunkWholeAndStopsAtTheData) {
  const Bytes format = PcmFormat(2, 44100, 16);
  const Bytes file = WaveFile(format, Pattern(4000));
  Opened o = Open(file);
  ASSERT_EQ(o.id.failure, OpenFailure::NONE);
  EXPECT_EQ(o.id.kind, SoundKind::RIFF_WAVE);
  EXPECT_TRUE(o.id.riff);
  EXPECT_EQ(o.id.format, format);
  ASSERT_EQ(o.located, OpenFailure::NONE);
  EXPECT_EQ(o.data_total, 4000u);
  EXPECT_EQ(o.data_position, 44u);
  // The only note is the allocation of the chunk's size.
  ASSERT_EQ(o.id.report.notes().size(), 1u);
  EXPECT_EQ(o.id.report.notes()[0].kind, AnalysisNote::ALLOCATE);
  EXPECT_EQ(o.id.report.notes()[0].size, 16);
}

TEST(SoundFilesOpen, AdpcmFormatOf50BytesAndAFactChunk) {
  Bytes format = CodecFormat(2, 2, 22050, 22311, 1024, 4);
  PutU16(format, 32);  // cbSize: samples per block and seven coefficient pairs
  format.resize(50, 7);
  Bytes chunks = Chunk("fmt ", format);
  Append(chunks, Chunk("fact", {0x10, 0x27, 0, 0}));
  Append(chunks, Chunk("data", Pattern(2048)));
  Opened o = Open(Riff("WAVE", chunks));
  ASSERT_EQ(o.id.failure, OpenFailure::NONE);
  EXPECT_EQ(o.id.format.size(), 50u);
  EXPECT_EQ(o.id.format, format);
  EXPECT_EQ(o.data_total, 2048u);
  EXPECT_EQ(o.data_position, 12u + 58 + 12 + 8);
}

TEST(SoundFilesOpen, ChunksBeforeAndBetweenAreSkipped) {
  Bytes chunks = Chunk("LIST", Pattern(21));  // odd: padded
  Append(chunks, Chunk("fmt ", PcmFormat(1, 8000, 8)));
  Append(chunks, Chunk("junk", Pattern(100)));
  Append(chunks, Chunk("data", Pattern(77)));
  Opened o = Open(Riff("WAVE", chunks));
  ASSERT_EQ(o.id.failure, OpenFailure::NONE);
  EXPECT_EQ(o.data_total, 77u);
  EXPECT_EQ(o.data_position, 12u + 30 + 24 + 108 + 8);
}

TEST(SoundFilesOpen, RiffWrappedMpegIsAnalysedFromItsDataChunk) {
  const Bytes stream = Mp3Stream();
  Opened o = Open(Riff("RMP3", Chunk("data", stream)));
  ASSERT_EQ(o.id.failure, OpenFailure::NONE);
  EXPECT_EQ(o.id.kind, SoundKind::RIFF_MPEG);
  EXPECT_TRUE(o.id.riff);
  EXPECT_EQ(o.id.format.size(), 30u);
  EXPECT_EQ(Fields(o.id.format).tag, 0x55);
  EXPECT_EQ(o.id.analysed_data_total, stream.size());
  EXPECT_EQ(o.data_total, stream.size());
  EXPECT_EQ(o.data_position, 20u);
  // Any other form type is handled the same way.
  EXPECT_EQ(Open(Riff("ABCD", Chunk("data", stream))).id.kind, SoundKind::RIFF_MPEG);
}

TEST(SoundFilesOpen, RawMpegAndOggAreWholeFilesFromByteZero) {
  const Bytes mp3 = Mp3Stream();
  Opened o = Open(mp3);
  ASSERT_EQ(o.id.failure, OpenFailure::NONE);
  EXPECT_EQ(o.id.kind, SoundKind::RAW_MPEG);
  EXPECT_FALSE(o.id.riff);
  EXPECT_EQ(o.data_total, mp3.size());
  EXPECT_EQ(o.data_position, 0u);

  // An ID3v2 tag (with a picture, often hundreds of KB) is no sound: the
  // data starts at the first frame after it and its padding, in a raw file
  // and in a data chunk alike.
  Bytes tagged = Id3Tag(300);
  tagged.resize(tagged.size() + 6, 0);  // padding
  Append(tagged, mp3);
  o = Open(tagged);
  EXPECT_EQ(o.id.kind, SoundKind::RAW_MPEG);
  EXPECT_EQ(o.id.analysed_data_total, mp3.size());
  EXPECT_EQ(o.data_total, mp3.size());
  EXPECT_EQ(o.data_position, 316u);
  o = Open(Riff("RMP3", Chunk("data", tagged)));
  EXPECT_EQ(o.id.kind, SoundKind::RIFF_MPEG);
  EXPECT_EQ(o.data_total, mp3.size());
  EXPECT_EQ(o.data_position, 20u + 316);

  Bytes ogg = OggIdentification(2, 44100, 112000);
  Append(ogg, Pattern(5000));
  o = Open(ogg);
  ASSERT_EQ(o.id.failure, OpenFailure::NONE);
  EXPECT_EQ(o.id.kind, SoundKind::OGG);
  EXPECT_EQ(o.id.format.size(), 26u);
  EXPECT_EQ(o.data_total, ogg.size());
  EXPECT_EQ(o.data_position, 0u);
  EXPECT_EQ(o.id.report.AllText(), "freq=44100\r\nrate=112000\r\nchannel=2\r\n");
}

TEST(SoundFilesOpen, RefusedFilesGetTheirFailure) {
  const Bytes good_format = PcmFormat(2, 44100, 16);
  Bytes short_fmt = Riff("WAVE", Chunk("fmt ", good_format));
  short_fmt[16] = 40;   // claims 40 bytes
  short_fmt.resize(40);  // and the file ends in the chunk
  Bytes no_fmt = Riff("WAVE", Chunk("data", Pattern(10)));
  Bytes no_data = Riff("WAVE", Chunk("fmt ", good_format));
  Bytes empty_data = WaveFile(good_format, {});
  Bytes fmt_zero = Riff("WAVE", Chunk("fmt ", {}) + Chunk("data", Pattern(8)));
  Bytes fmt_13 = Riff("WAVE", Chunk("fmt ", Bytes(good_format.begin(), good_format.begin() + 13)));
  Bytes fmt_huge = WaveFile(good_format, Pattern(8));
  fmt_huge[18] = 0x01;  // 65536 + 16 bytes
  Bytes damaged = UnfinishedRecording(2, 44100, 16, Pattern(400));
  Bytes damaged_rmp3 = Riff("RMP3", Chunk("data", Mp3Stream()), 0);
  Bytes rmp3_no_data = Riff("RMP3", Chunk("LIST", Pattern(10)));
  Bytes rmp3_ogg = Riff("RMP3", Chunk("data", OggIdentification(2, 44100, 128000)));

  struct Case {
    const char* name;
    Bytes file;
    OpenFailure failure;
  } cases[] = {
      {"empty", {}, OpenFailure::NOT_RIFF},
      {"text", {'h', 'e', 'l', 'l', 'o'}, OpenFailure::NOT_RIFF},
      {"random", Pattern(3000, 3), OpenFailure::NOT_RIFF},
      {"riff without form type", {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A'}, OpenFailure::NOT_RIFF},
      {"damaged", damaged, OpenFailure::DAMAGED},
      {"damaged rmp3", damaged_rmp3, OpenFailure::DAMAGED},
      {"rmp3 without data", rmp3_no_data, OpenFailure::NO_DATA_IN_RIFF},
      {"rmp3 of ogg", rmp3_ogg, OpenFailure::NOT_WAVE},
      {"rmp3 of noise", Riff("RMP3", Chunk("data", Pattern(900))), OpenFailure::NOT_WAVE},
      {"ogg of opus", OggFirstPage(ToBytes("OpusHead") + Pattern(11)) + Pattern(4000), OpenFailure::UNSUPPORTED},
      {"no fmt", no_fmt, OpenFailure::NO_FMT},
      {"short fmt", short_fmt, OpenFailure::SHORT_FMT},
      {"fmt of 0 bytes", fmt_zero, OpenFailure::SHORT_FMT},
      {"fmt of 13 bytes", fmt_13, OpenFailure::SHORT_FMT},
      {"fmt over 65535 bytes", fmt_huge, OpenFailure::SHORT_FMT},
      {"no data", no_data, OpenFailure::NO_DATA_IN_WAVE},
      {"empty data", empty_data, OpenFailure::DATA_EMPTY},
  };
  for (const Case& c : cases) {
    Opened o = Open(c.file);
    const OpenFailure got = o.id.failure != OpenFailure::NONE ? o.id.failure : o.located;
    EXPECT_EQ(got, c.failure) << c.name;
  }
}

TEST(SoundFilesOpen, ImplausibleFormatsAreRefusedBeforeAnyDeviceSeesThem) {
  struct Case {
    const char* name;
    size_t offset;
    uint32_t value;
    int width;
    OpenFailure failure;
  } cases[] = {
      {"channels 0", 2, 0, 2, OpenFailure::UNSUPPORTED},
      {"rate 499", 4, 499, 4, OpenFailure::UNSUPPORTED},
      {"rate 500", 4, 500, 4, OpenFailure::NONE},
      {"rate 1000001", 4, 1000001, 4, OpenFailure::UNSUPPORTED},
      {"byte rate 0", 8, 0, 4, OpenFailure::NONE},  // the device decides
      {"byte rate negative", 8, 0x80000000u, 4, OpenFailure::UNSUPPORTED},
      {"block align 0", 12, 0, 2, OpenFailure::UNSUPPORTED},
  };
  for (const Case& c : cases) {
    Bytes format = PcmFormat(2, 44100, 16);
    for (int i = 0; i < c.width; ++i) format[c.offset + i] = static_cast<uint8_t>(c.value >> (8 * i));
    EXPECT_EQ(CheckPlayableFormat(format), c.failure) << c.name;
    EXPECT_EQ(Open(WaveFile(format, Pattern(64))).id.failure, c.failure) << c.name;
  }
  // A codec's extension must fit the record; PCM's cbSize is not looked at.
  Bytes adpcm = CodecFormat(2, 1, 8000, 4096, 256, 4);
  PutU16(adpcm, 4);
  adpcm.resize(20);
  EXPECT_EQ(CheckPlayableFormat(adpcm), OpenFailure::SHORT_FMT);
  adpcm.resize(22);
  EXPECT_EQ(CheckPlayableFormat(adpcm), OpenFailure::NONE);
  Bytes pcm = PcmFormat(1, 8000, 8);
  PutU16(pcm, 999);
  EXPECT_EQ(CheckPlayableFormat(pcm), OpenFailure::NONE);
  // A 14-byte record (no bits field) is a format.
  EXPECT_EQ(CheckPlayableFormat(Bytes(pcm.begin(), pcm.begin() + 14)), OpenFailure::NONE);
  // A 17-byte chunk ends inside cbSize: its odd byte must not reach a codec
  // as an extension length.
  Bytes odd = CodecFormat(2, 1, 8000, 4096, 256, 4);
  odd.push_back(0xFF);
  Opened o = Open(WaveFile(odd, Pattern(64)));
  ASSERT_EQ(o.id.failure, OpenFailure::NONE);
  ASSERT_EQ(o.id.format.size(), 17u);
  EXPECT_EQ(o.id.format[16], 0);
  // An Ogg stream whose encoder gave no nominal bitrate (0, or -1) opens.
  for (int32_t nominal : {0, -1}) {
    o = Open(OggIdentification(2, 44100, nominal) + Pattern(100));
    ASSERT_EQ(o.id.failure, OpenFailure::NONE) << nominal;
    EXPECT_EQ(GetU32(o.id.format, 8), 0u) << nominal;
  }
}

TEST(SoundFilesOpen, SizesBeyondTheFile) {
  // A RIFF size of anything but 0 is accepted, however wrong: too small to
  // hold a chunk, or ending before the data chunk.
  Bytes file = WaveFile(PcmFormat(1, 11025, 8), Pattern(300));
  Opened o;
  for (uint8_t riff_size : {5, 20}) {
    file[4] = riff_size;
    file[5] = file[6] = file[7] = 0;
    o = Open(file);
    ASSERT_EQ(o.id.failure, OpenFailure::NONE) << int(riff_size);
    EXPECT_EQ(o.data_total, 300u) << int(riff_size);
  }

  // A data size beyond the end is cut to the bytes the file holds.
  file = WaveFile(PcmFormat(1, 11025, 8), Pattern(300));
  file[40] = 0xFF;
  file[41] = 0xFF;
  file[42] = 0xFF;
  file[43] = 0x7F;
  o = Open(file);
  ASSERT_EQ(o.located, OpenFailure::NONE);
  EXPECT_EQ(o.data_total, 300u);

  // A chunk size that would lead backwards or past the end ends the search.
  Bytes chunks = Chunk("fmt ", PcmFormat(1, 11025, 8));
  Bytes bad = {'b', 'a', 'd', ' ', 0xF0, 0xFF, 0xFF, 0xFF};
  chunks.insert(chunks.end(), bad.begin(), bad.end());
  Append(chunks, Chunk("data", Pattern(10)));
  o = Open(Riff("WAVE", chunks));
  EXPECT_EQ(o.located, OpenFailure::NO_DATA_IN_WAVE);
}

TEST(SoundFilesOpen, DataIsLookedForAfterTheFmtChunk) {
  Bytes chunks = Chunk("data", Pattern(10));
  Append(chunks, Chunk("fmt ", PcmFormat(1, 11025, 8)));
  EXPECT_EQ(Open(Riff("WAVE", chunks)).located, OpenFailure::NO_DATA_IN_WAVE);
}

TEST(SoundFilesOpen, FailureTexts) {
  struct Case {
    OpenFailure failure;
    int id;
    const char* japanese;
  } cases[] = {
      {OpenFailure::NOT_RIFF, IDS_NOT_WAVE, "指定したファイルは、RIFFファイルではありません。"},
      {OpenFailure::NOT_WAVE, IDS_NOT_WAVE, "指定したファイルは、WAVEファイルではありません。"},
      {OpenFailure::DAMAGED, IDS_RECOVER, "WAVEファイルが壊れています。\n修復を試みますか？"},
      {OpenFailure::NO_DATA_IN_RIFF, IDS_NO_DATA, "RIFFファイルにデータ チャンクがありません。"},
      {OpenFailure::NO_FMT, IDS_FILE_DESTROYED, "WAVEファイルが壊れています。"},
      {OpenFailure::SHORT_FMT, IDS_CANT_READ_FMT, "形式チャンクを読み取れません。"},
      {OpenFailure::UNSUPPORTED, IDS_NO_SUPPORT, "この形式を再生できるドライバがありません。"},
      {OpenFailure::NO_DATA_IN_WAVE, IDS_NO_DATA, "WAVEファイルにデータ チャンクがありません。"},
      {OpenFailure::DATA_EMPTY, IDS_DATA_EMPTY, "データ チャンクが空です。"},
  };
  for (const Case& c : cases) {
    FailureText text = OpenFailureText(c.failure);
    EXPECT_EQ(text.english_id, c.id);
    EXPECT_STREQ(text.japanese, c.japanese);
  }
  EXPECT_EQ(IDS_NOT_WAVE, 96);
  EXPECT_EQ(IDS_RECOVER, 5);
  EXPECT_EQ(IDS_NO_DATA, 49);
  EXPECT_EQ(IDS_CANT_READ_FMT, 17);
  EXPECT_EQ(IDS_DATA_EMPTY, 65);
}

TEST(SoundFilesOpen, OutputQueryFallbacksAndTexts) {
  const Bytes pcm48 = PcmFormat(2, 48000, 16);
  const Bytes mpeg_stereo = PcmFormat(2, 44100, 0, 0x55);
  const Bytes mpeg_mono = PcmFormat(1, 44100, 0, 0x55);
  EXPECT_EQ(NextPlayQueryStep(32, pcm48, 0x400), QueryStep::RETRY_44100);
  EXPECT_EQ(NextPlayQueryStep(32, pcm48, 0x30A), QueryStep::RETRY_44100);
  EXPECT_EQ(NextPlayQueryStep(32, PcmFormat(2, 44100, 16), 0x30A), QueryStep::GIVE_UP);
  EXPECT_EQ(NextPlayQueryStep(32, mpeg_stereo, 0x30B), QueryStep::RETRY_MONO);
  EXPECT_EQ(NextPlayQueryStep(32, mpeg_stereo, 0x30C), QueryStep::GIVE_UP);
  EXPECT_EQ(NextPlayQueryStep(32, mpeg_mono, 0x30B), QueryStep::GIVE_UP);
  EXPECT_EQ(NextPlayQueryStep(4, pcm48, 0x30B), QueryStep::GIVE_UP);

  struct Case {
    unsigned result;
    int id;
    const char* japanese;
  } cases[] = {
      {2, IDS_CANT_OPEN_WAVEOUT, "範囲外のデバイスIDが指定されました。"},
      {4, IDS_CANT_OPEN_WAVEOUT, "他のソフトが再生回路を使っています。"},
      {7, IDS_NO_MEMORY, "メモリの割り当てができません。"},
      {32, IDS_NO_SUPPORT, "この形式を再生できるドライバがありません。"},
      {11, IDS_NO_SUPPORT, "この形式を再生できるドライバがありません。"},  // Wine's refusal of a format
      {1, IDS_CANT_OPEN_WAVEOUT, "音声出力デバイスを開けません。"},
  };
  for (const Case& c : cases) {
    FailureText text = PlayQueryFailureText(c.result);
    EXPECT_EQ(text.english_id, c.id) << c.result;
    EXPECT_STREQ(text.japanese, c.japanese) << c.result;
  }
}

}  // namespace
