#include "sound_files/info_fields.h"

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "base/format_record.h"
#include "resources/ja_info.h"
#include "resources/resource_ids.h"
#include "sound_files/format_names.h"
#include "tests/unit/sound_files_test_bytes.h"

namespace {

void PutChunk(Bytes& b, const char* id, const Bytes& body) { Append(b, Chunk(id, body)); }
// A data chunk header that claims size bytes; the samples themselves are left
// out, since only the headers are read.
void PutDataHeader(Bytes& b, uint32_t size) {
  PutTag(b, "data");
  PutU32(b, size);
}

Bytes PcmWave(uint32_t rate, uint16_t channels, uint16_t bits, uint32_t data_size) {
  uint16_t align = static_cast<uint16_t>(channels * bits / 8);
  Bytes chunks;
  PutChunk(chunks, "fmt ", CodecFormat(1, channels, rate, rate * align, align, bits));
  PutDataHeader(chunks, data_size);
  return Riff("WAVE", chunks);
}

std::string NameFromTable(uint16_t tag) {
  const char* name = KnownFormatTagName(tag);
  return name ? name : kUnknownFormatName;
}

// Each listed control gets the text given for it.
void ExpectTexts(const DialogTexts& texts, std::initializer_list<std::pair<int, std::string>> expected) {
  for (const auto& [id, text] : expected) EXPECT_EQ(texts.Get(id), text) << "control " << id;
}

DetailFields Detail(const Bytes& file, InfoTextMode mode = {}) {
  MemorySource bytes(file.data(), file.size());
  return ReadDetailFields(&bytes, static_cast<int64_t>(file.size()), mode, NameFromTable);
}

TEST(InfoDetailFields, PcmWave) {
  DetailFields d = Detail(PcmWave(44100, 2, 16, 176400));
  const DialogTexts& t = d.texts;
  EXPECT_EQ(d.kind, KIND_WAVE);
  ExpectTexts(t, {
      {IDC_DET_FILE_SIZE, "44"},
      {IDC_DET_RIFF_ID, "RIFF"},
      {IDC_DET_RIFF_SIZE, "36"},
      {IDC_DET_RIFF_TYPE, "WAVE"},
      {IDC_DET_CHUNK1_ID, "fmt "},
      {IDC_DET_CHUNK1_SIZE, "16"},
      {IDC_DET_TAG, "1"},
      {IDC_DET_TAG_NAME, "PCM"},
      {IDC_DET_CHANNELS, "2"},
      {IDC_DET_CHAN_NOTE, "stereo"},
      {IDC_DET_RATE, "44100"},
      {IDC_DET_PERIOD, "23microSec"},
      {IDC_DET_BYTES, "176400"},
      {IDC_DET_ALIGN, "4"},
      {IDC_DET_BITS, "16"},
      {IDC_DET_CBSIZE, ""},  // a 16-byte format chunk has no cbSize
      {IDC_DET_CHUNK2_ID, "data"},
      {IDC_DET_CHUNK2_SIZE, "176400"},
      {IDC_DET_TOTAL_TIME, "1.000000 sec"},
  });
  EXPECT_TRUE(t.Has(IDC_DET_CBSIZE));
  EXPECT_FALSE(t.Has(IDC_DET_CHUNK3_ID));  // the file ends inside the data
  // Notes no value replaces keep their template text.
  EXPECT_FALSE(t.Has(IDC_DET_SIZE_NOTE));
  EXPECT_FALSE(t.Has(IDC_DET_BYTES_NOTE));
  EXPECT_FALSE(t.Has(IDC_DET_CBSIZE_NOTE));
}

TEST(InfoDetailFields, MonoJapaneseNotesAndPeriod) {
  InfoTextMode japanese{true, false};
  DetailFields d = Detail(PcmWave(22050, 1, 8, 22050), japanese);
  const DialogTexts& t = d.texts;
  ExpectTexts(t, {
      {IDC_DET_CHAN_NOTE, ja::kDetailMonaural},
      {IDC_DET_PERIOD, "45 ﾏｲｸﾛ秒"},
      {IDC_DET_BYTES_NOTE, ja::kDetailBytesNote},
      {IDC_DET_ALIGN_NOTE, ja::kDetailAlignNote},
      {IDC_DET_TOTAL_TIME, "1.000000 sec"},
  });
  // Three channels: neither word, the Japanese note stays.
  DetailFields three = Detail(PcmWave(22050, 3, 8, 22050), japanese);
  EXPECT_EQ(three.texts.Get(IDC_DET_CHAN_NOTE), ja::kDetailChannelNote);
}

TEST(InfoDetailFields, HalfSecondWithLevelWarningInMilliseconds) {
  DetailFields english = Detail(PcmWave(44100, 2, 16, 88200), {false, true});
  EXPECT_EQ(english.texts.Get(IDC_DET_TOTAL_TIME), "500.000 msec");
  EXPECT_EQ(english.texts.Get(IDC_DET_SIZE_NOTE), "FileSize minus 8");
  DetailFields japanese = Detail(PcmWave(44100, 2, 16, 88200), {true, true});
  EXPECT_EQ(japanese.texts.Get(IDC_DET_TOTAL_TIME), "500.000ミリ秒");
  EXPECT_EQ(japanese.texts.Get(IDC_DET_SIZE_NOTE), ja::kDetailSizeNote);
  // Without the report switch the same file is "%f sec".
  EXPECT_EQ(Detail(PcmWave(44100, 2, 16, 88200)).texts.Get(IDC_DET_TOTAL_TIME), "0.500000 sec");
  // One second is not below one second.
  EXPECT_EQ(Detail(PcmWave(44100, 2, 16, 176400), {false, true}).texts.Get(IDC_DET_TOTAL_TIME), "1.000000 sec");
}

Bytes AdpcmWave(uint32_t rate, uint32_t fact_samples) {
  // MS-ADPCM stereo: 50-byte format chunk with 32 extension bytes.
  Bytes fmt = CodecFormat(2, 2, rate, 22311, 1024, 4);
  PutU16(fmt, 32);
  for (int i = 0; i < 32; ++i) fmt.push_back(static_cast<uint8_t>(i));
  Bytes fact;
  PutU32(fact, fact_samples);
  Bytes chunks;
  PutChunk(chunks, "fmt ", fmt);
  PutChunk(chunks, "fact", fact);
  PutDataHeader(chunks, 22311 * 2);
  return Riff("WAVE", chunks);
}

TEST(InfoDetailFields, AdpcmWithFactChunk) {
  DetailFields d = Detail(AdpcmWave(44100, 22050));
  const DialogTexts& t = d.texts;
  ExpectTexts(t, {
      {IDC_DET_CHUNK1_SIZE, "50"},
      {IDC_DET_TAG_NAME, "MS-ADPCM"},
      {IDC_DET_CBSIZE, "32"},
      {IDC_DET_CHUNK2_ID, "fact"},
      {IDC_DET_CHUNK2_SIZE, "4"},
      {IDC_DET_SIZE_NOTE, "fact=22050"},
      {IDC_DET_FACT_TIME, "0.500000 sec"},
      {IDC_DET_CHUNK3_ID, "data"},
      {IDC_DET_CHUNK3_SIZE, "44622"},
      {IDC_DET_TOTAL_TIME, "2.000000 sec"},
  });
  // The fact count wins over the report switch's note.
  EXPECT_EQ(Detail(AdpcmWave(44100, 22050), {false, true}).texts.Get(IDC_DET_SIZE_NOTE), "fact=22050");
}

TEST(InfoDetailFields, FactChunkWithoutSampleRate) {
  EXPECT_EQ(Detail(AdpcmWave(0, 22050)).texts.Get(IDC_DET_FACT_TIME), "Inf sec");
  EXPECT_EQ(Detail(AdpcmWave(0, 22050)).texts.Get(IDC_DET_PERIOD), "Inf sec");
  EXPECT_EQ(Detail(AdpcmWave(0, 22050), {true, false}).texts.Get(IDC_DET_PERIOD), ja::kDetailInfinitePeriod);

  // A fact chunk before any format chunk: no rate was read at all.
  Bytes fact;
  PutU32(fact, 1000);
  Bytes chunks;
  PutChunk(chunks, "LIST", Bytes{'I', 'N', 'F', 'O'});
  PutChunk(chunks, "fact", fact);
  PutDataHeader(chunks, 4000);
  DetailFields d = Detail(Riff("WAVE", chunks));
  EXPECT_EQ(d.texts.Get(IDC_DET_FACT_TIME), "Inf sec");
  EXPECT_EQ(d.texts.Get(IDC_DET_CHUNK3_ID), "data");
  EXPECT_EQ(d.texts.Get(IDC_DET_TOTAL_TIME), "unknown sec");
}

TEST(InfoDetailFields, ListChunkFirst) {
  Bytes chunks;
  PutChunk(chunks, "LIST", Bytes{'I', 'N', 'F', 'O', 'I', 'S', 'F', 'T', 3, 0, 0, 0, 'a', 'b', 0});
  PutChunk(chunks, "fmt ", CodecFormat(1, 2, 44100, 176400, 4, 16));
  PutDataHeader(chunks, 176400);
  DetailFields d = Detail(Riff("WAVE", chunks));
  const DialogTexts& t = d.texts;
  ExpectTexts(t, {
      {IDC_DET_CHUNK1_ID, "LIST"},
      {IDC_DET_CHUNK1_SIZE, "15"},  // odd: the pad byte is skipped too
      {IDC_DET_CHUNK2_ID, "fmt "},
      {IDC_DET_CHUNK2_SIZE, "16"},
      {IDC_DET_CHUNK3_ID, "data"},
      {IDC_DET_CHUNK3_SIZE, "176400"},
      {IDC_DET_TAG, ""},
      {IDC_DET_RATE, ""},
  });
  EXPECT_FALSE(t.Has(IDC_DET_TAG_NAME));
  EXPECT_EQ(t.Get(IDC_DET_TOTAL_TIME), "unknown sec");
  EXPECT_EQ(Detail(Riff("WAVE", chunks), {true, false}).texts.Get(IDC_DET_TOTAL_TIME), ja::kDetailUnknownTime);
}

Bytes MpegWave(uint16_t cb_size) {
  Bytes fmt = CodecFormat(0x55, 2, 44100, 16000, 1, 0);
  PutU16(fmt, cb_size);
  PutU16(fmt, 1);       // wID
  PutU32(fmt, 2);       // fdwFlags
  PutU16(fmt, 417);     // nBlockSize
  PutU16(fmt, 1);       // nFramesPerBlock
  PutU16(fmt, 1393);    // nCodecDelay
  Bytes fact;
  PutU32(fact, 441000);
  Bytes chunks;
  PutChunk(chunks, "fmt ", fmt);
  PutChunk(chunks, "fact", fact);
  PutDataHeader(chunks, 160000);
  return Riff("WAVE", chunks);
}

TEST(InfoDetailFields, MpegLayer3WaveExtension) {
  DetailFields d = Detail(MpegWave(12));
  const DialogTexts& t = d.texts;
  EXPECT_EQ(d.kind, KIND_WAVE_MP3);
  ExpectTexts(t, {
      {IDC_DET_TAG, "85"},
      {IDC_DET_CBSIZE, "12"},
      {IDC_DET_TAG_NAME, "ID=1"},
      {IDC_DET_CHAN_NOTE, "flags=0002"},
      {IDC_DET_ALIGN_NOTE, "blksiz=417"},
      {IDC_DET_BITS_NOTE, "frames=1"},
      {IDC_DET_CBSIZE_NOTE, "delay=1393"},
      {IDC_DET_FACT_TIME, "10.000000 sec"},
      {IDC_DET_TOTAL_TIME, "10.000000 sec"},
  });

  // Any other extension size: the fields are not read as MPEG ones.
  DetailFields other = Detail(MpegWave(10));
  EXPECT_EQ(other.kind, KIND_WAVE_MP3);
  EXPECT_EQ(other.texts.Get(IDC_DET_TAG_NAME), "MPEG Layer3");
  EXPECT_FALSE(other.texts.Has(IDC_DET_BITS_NOTE));
}

TEST(InfoDetailFields, RawStreams) {
  Bytes mp3 = {0xFF, 0xFB, 0x90, 0x64, 0, 0, 0, 0};
  DetailFields d = Detail(mp3);
  EXPECT_EQ(d.kind, KIND_RAW);
  EXPECT_EQ(d.texts.Get(IDC_DET_RIFF_ID), "FFF");
  for (int id = IDC_DET_RIFF_SIZE; id <= IDC_DET_CHUNK2_SIZE; ++id) EXPECT_EQ(d.texts.Get(id), "") << id;
  EXPECT_EQ(d.texts.Get(IDC_DET_TOTAL_TIME), "");

  Bytes id3 = {'I', 'D', '3', 3, 0, 0, 0, 0, 0x0F, 0x73};
  EXPECT_EQ(Detail(id3).texts.Get(IDC_DET_RIFF_ID), "ID3.");
  EXPECT_EQ(Detail(id3).kind, KIND_RAW);

  Bytes ogg = {'O', 'g', 'g', 'S', 0, 2};
  EXPECT_EQ(Detail(ogg).texts.Get(IDC_DET_RIFF_ID), "OggS");
  EXPECT_EQ(Detail(ogg).kind, KIND_RAW);
}

TEST(InfoDetailFields, Rmp3File) {
  Bytes chunks;
  PutDataHeader(chunks, 4180);
  chunks.insert(chunks.end(), {0xFF, 0xFB, 0x90, 0x64});
  DetailFields d = Detail(Riff("RMP3", chunks));
  EXPECT_EQ(d.kind, KIND_RMP3);
  ExpectTexts(d.texts, {
      {IDC_DET_RIFF_TYPE, "RMP3"},
      {IDC_DET_CHUNK1_ID, "data"},
      {IDC_DET_CHUNK1_SIZE, "4180"},
      {IDC_DET_TOTAL_TIME, "unknown sec"},
  });
}

TEST(InfoDetailFields, UnreadableFile) {
  DetailFields d = ReadDetailFields(nullptr, -1, {}, NameFromTable);
  EXPECT_FALSE(d.file_read);
  EXPECT_EQ(d.texts.Get(IDC_DET_FILE_SIZE), "");
  EXPECT_FALSE(d.texts.Has(IDC_DET_RIFF_ID));
  EXPECT_EQ(d.kind, KIND_WAVE);  // no text box for a file that cannot be read
}

TEST(InfoDetailFields, UnknownTagAndLargeSizes) {
  Bytes chunks;
  PutChunk(chunks, "fmt ", CodecFormat(0x0009, 2, 4000000000u, 4000000000u, 4, 16));
  PutDataHeader(chunks, 0xFFFFFFF0u);
  Bytes file = Riff("WAVE", chunks);
  file[4] = file[5] = file[6] = file[7] = 0xFF;  // RIFF size 4 GB - 1
  DetailFields d = Detail(file);
  ExpectTexts(d.texts, {
      {IDC_DET_TAG_NAME, "unknown"},
      {IDC_DET_RIFF_SIZE, "4294967295"},
      {IDC_DET_RATE, "4000000000"},
      {IDC_DET_CHUNK2_SIZE, "4294967280"},
      {IDC_DET_TOTAL_TIME, "1.073742 sec"},
  });
}

TEST(InfoDetailFields, ShortFormatChunkShowsOnlyWhatItHolds) {
  Bytes fmt = CodecFormat(1, 2, 44100, 176400, 4, 16);
  fmt.resize(14);  // the old 14-byte form without bits per sample
  Bytes chunks;
  PutChunk(chunks, "fmt ", fmt);
  PutDataHeader(chunks, 88200);
  DetailFields d = Detail(Riff("WAVE", chunks));
  ExpectTexts(d.texts, {
      {IDC_DET_ALIGN, "4"},
      {IDC_DET_BITS, ""},  // the next chunk's bytes are not taken for it
      {IDC_DET_CHUNK2_ID, "data"},
      {IDC_DET_TOTAL_TIME, "0.500000 sec"},
  });
}

// Every prefix of the first 64 bytes of several files: the fields that can be
// read are shown, the rest stay empty, and nothing is read past the end (the
// sanitizers watch the copy of each prefix).
TEST(InfoDetailFields, TruncatedFilesGiveSensibleFields) {
  std::vector<Bytes> files = {PcmWave(44100, 2, 16, 176400), AdpcmWave(44100, 22050), MpegWave(12)};
  for (const Bytes& whole : files) {
    for (size_t length = 0; length <= 64 && length <= whole.size(); ++length) {
      Bytes prefix(whole.begin(), whole.begin() + length);
      DetailFields d = Detail(prefix, {false, true});
      const std::string& time = d.texts.Get(IDC_DET_TOTAL_TIME);
      SCOPED_TRACE(length);
      if (length < 4) {
        EXPECT_EQ(d.kind, KIND_RAW);
        continue;
      }
      EXPECT_EQ(d.texts.Get(IDC_DET_RIFF_ID), "RIFF");
      EXPECT_TRUE(time == "unknown sec" || time.find("sec") != std::string::npos) << time;
      if (length < 8) {
        EXPECT_EQ(d.texts.Get(IDC_DET_RIFF_SIZE), "");
      }
      if (length < 22) {
        EXPECT_EQ(d.texts.Get(IDC_DET_TAG), "");
      }
      // Without a readable data chunk header there is no time.
      bool data_header_read = d.texts.Get(IDC_DET_CHUNK2_ID) == "data" || d.texts.Get(IDC_DET_CHUNK3_ID) == "data";
      bool data_size_read = data_header_read && (d.texts.Get(IDC_DET_CHUNK2_SIZE) != "" || d.texts.Has(IDC_DET_CHUNK3_SIZE));
      if (!data_size_read) {
        EXPECT_EQ(time, "unknown sec");
      }
      for (const auto& [id, text] : d.texts.All())
        for (char c : text) EXPECT_NE(c, '\0') << id;
    }
  }
}

TEST(InfoDetailFields, ChunkSizesPastTheEnd) {
  Bytes chunks;
  PutChunk(chunks, "LIST", Bytes{'I', 'N', 'F', 'O'});
  Bytes file = Riff("WAVE", chunks);
  file[16] = file[17] = file[18] = file[19] = 0xFF;  // LIST claims 4 GB
  DetailFields d = Detail(file);
  EXPECT_EQ(d.texts.Get(IDC_DET_CHUNK1_SIZE), "4294967295");
  EXPECT_EQ(d.texts.Get(IDC_DET_CHUNK2_ID), "");
  EXPECT_EQ(d.texts.Get(IDC_DET_TOTAL_TIME), "unknown sec");

  // A format chunk claiming 64 KB in a 40-byte file.
  Bytes fmt_file = PcmWave(44100, 2, 16, 100);
  fmt_file[16] = 0xFF;
  fmt_file[17] = 0xFF;
  DetailFields f = Detail(fmt_file);
  EXPECT_EQ(f.texts.Get(IDC_DET_RATE), "44100");
  EXPECT_EQ(f.texts.Get(IDC_DET_CHUNK2_ID), "");
  EXPECT_EQ(f.texts.Get(IDC_DET_TOTAL_TIME), "unknown sec");
}

TEST(InfoBoxFields, PcmFile) {
  InfoBoxValues v{44, 2, 16, 1, 176400, 176400 * 10};
  DialogTexts t = InfoBoxTexts(v, {});
  ExpectTexts(t, {
      {IDC_INFO_FREQ, "44kHz"},
      {IDC_INFO_CHAN, "2"},
      {IDC_INFO_RATE_LABEL, "Bits"},
      {IDC_INFO_RATE, "   16 bit"},
      {IDC_INFO_TIME, "  10.0 sec"},
  });
  EXPECT_FALSE(t.Has(IDC_INFO_TIME_LABEL));
  EXPECT_FALSE(t.Has(IDC_INFO_DETAIL));

  // Every channel of the file counts, not only the two the meter shows.
  v.channels = 6;
  EXPECT_EQ(InfoBoxTexts(v, {}).Get(IDC_INFO_CHAN), "6");

  v.channels = 1;
  DialogTexts ja_texts = InfoBoxTexts(v, {true, false});
  ExpectTexts(ja_texts, {
      {IDC_INFO_CHAN, "1"},
      {IDC_INFO_FREQ_LABEL, ja::kInfoFrequency},
      {IDC_INFO_CHAN_LABEL, ja::kInfoChannels},
      {IDC_INFO_RATE_LABEL, ja::kInfoBits},
      {IDC_INFO_TIME_LABEL, ja::kInfoTotalTime},
      {IDC_INFO_DETAIL, ja::kInfoDetail},
      {IDC_INFO_TIME, "  10.0 秒"},
  });
  // With the level report on, the decimal point becomes a two-byte character.
  EXPECT_EQ(InfoBoxTexts(v, {true, true}).Get(IDC_INFO_TIME), "  10点0 秒");
  EXPECT_EQ(InfoBoxTexts(v, {false, true}).Get(IDC_INFO_TIME), "  10.0 sec");
}

TEST(InfoBoxFields, CompressedStreams) {
  InfoBoxValues mp3{44, 2, 0, 0x55, 16000, 2048 * 1024 + 1000};
  DialogTexts t = InfoBoxTexts(mp3, {});
  EXPECT_EQ(t.Get(IDC_INFO_RATE), "  128 kbps");
  EXPECT_FALSE(t.Has(IDC_INFO_RATE_LABEL));
  EXPECT_EQ(t.Get(IDC_INFO_TIME_LABEL), "Data Size");
  EXPECT_EQ(t.Get(IDC_INFO_TIME), "   2048 KB");
  EXPECT_EQ(InfoBoxTexts(mp3, {true, false}).Get(IDC_INFO_TIME_LABEL), ja::kInfoDataSize);
  EXPECT_EQ(InfoBoxTexts(mp3, {true, false}).Get(IDC_INFO_RATE_LABEL), ja::kInfoBitRate);

  for (uint16_t tag : {0x71, 0x72, 0x73, 0x674F, 0x6750, 0x6751})
    EXPECT_EQ(InfoBoxTexts({44, true, 0, tag, 16000, 1024}, {}).Get(IDC_INFO_TIME_LABEL), "Data Size") << tag;
  EXPECT_FALSE(InfoBoxTexts({44, true, 0, 0x74, 16000, 1024}, {}).Has(IDC_INFO_TIME_LABEL));

  // MSN Audio in baud; a rate of 1000 kbit/s or more in KB/s.
  EXPECT_EQ(InfoBoxTexts({44, false, 0, 0x32, 1625, 0}, {}).Get(IDC_INFO_RATE), "13000 baud");
  EXPECT_EQ(InfoBoxTexts({44, false, 0, 2, 124875, 0}, {}).Get(IDC_INFO_RATE), "  999 kbps");
  EXPECT_EQ(InfoBoxTexts({44, false, 0, 2, 125000, 0}, {}).Get(IDC_INFO_RATE), "  122 KB/s");
  // A byte rate whose bit rate does not fit in 32 bits.
  EXPECT_EQ(InfoBoxTexts({44, false, 0, 2, 0xFFFFFFFFu, 0}, {}).Get(IDC_INFO_RATE), "4194303 KB/s");
  // No byte rate: no time.
  EXPECT_EQ(InfoBoxTexts({0, false, 0, 2, 0, 5000}, {}).Get(IDC_INFO_TIME), "     0 sec");
}

TEST(InfoStreamTime, KeepsATimeTheWaveFieldsGave) {
  InfoTextMode mode;
  EXPECT_EQ(StreamTimeText("10.000000 sec", KIND_WAVE_MP3, "fmt ", "30", 20000, 100000, mode), "10.000000 sec");
  EXPECT_EQ(StreamTimeText("500.000 msec", KIND_WAVE_MP3, "fmt ", "30", 20000, 100000, mode), "500.000 msec");
  EXPECT_EQ(StreamTimeText("unknown sec", KIND_RAW, "", "", 16000, 160000, mode), "10.000000 sec");
  EXPECT_EQ(StreamTimeText("", KIND_RAW, "", "", 16000, 160000, mode), "10.000000 sec");
  EXPECT_EQ(StreamTimeText("0.000000 sec", KIND_RAW, "", "", 16000, 160000, mode), "10.000000 sec");
  EXPECT_EQ(StreamTimeText(ja::kDetailUnknownTime, KIND_RAW, "", "", 16000, 8000, {true, true}), "500.000ミリ秒");
  // An "RMP3" file whose first chunk is the data: its size, not the file's.
  EXPECT_EQ(StreamTimeText("unknown sec", KIND_RMP3, "data", "32000", 16000, 160000, mode), "2.000000 sec");
  EXPECT_EQ(StreamTimeText("unknown sec", KIND_RMP3, "LIST", "32000", 16000, 160000, mode), "10.000000 sec");
  // The bytes of an ID3v2 tag before the first frame are no playing time.
  EXPECT_EQ(StreamTimeText("", KIND_RAW, "", "", 16000, 160000, mode, 32000), "8.000000 sec");
  EXPECT_EQ(StreamTimeText("", KIND_RMP3, "data", "32000", 16000, 160000, mode, 16000), "1.000000 sec");
  // A stream without a byte rate (Ogg without a nominal bitrate).
  EXPECT_EQ(StreamTimeText("", KIND_RAW, "", "", 0, 160000, mode), "unknown sec");
}

// The fields that the MPEG analysis of a raw 128 kbit/s 44.1 kHz stereo
// stream puts in place of the notes.
void ExpectRawMpegNotes(const DialogTexts& t) {
  ExpectTexts(t, {
      {IDC_DET_BYTES_NOTE, "16000"},
      {IDC_DET_PERIOD, "44100"},
      {IDC_DET_TAG_NAME, "85"},
      {IDC_DET_CHAN_NOTE, "2"},
      {IDC_DET_ALIGN_NOTE, "1"},
      {IDC_DET_BITS_NOTE, "0"},
      {IDC_DET_CBSIZE_NOTE, "12"},
  });
}

TEST(InfoStreamTime, MpegFieldsReplaceTheNotes) {
  FormatFields mp3{0x55, 2, 44100, 16000, 1, 0, 12};
  DetailFields raw = Detail({0xFF, 0xFB, 0x90, 0x64});
  ShowMpegAnalysis(raw.texts, raw.kind, mp3, 160000, {});
  ExpectRawMpegNotes(raw.texts);
  EXPECT_EQ(raw.texts.Get(IDC_DET_TOTAL_TIME), "10.000000 sec");

  // A WAVE of MPEG Layer-3 keeps its extension fields and its own time.
  DetailFields wave = Detail(MpegWave(12));
  ShowMpegAnalysis(wave.texts, wave.kind, mp3, 999999, {});
  ExpectTexts(wave.texts, {
      {IDC_DET_TAG_NAME, "ID=1"},
      {IDC_DET_ALIGN_NOTE, "blksiz=417"},
      {IDC_DET_PERIOD, "44100"},
      {IDC_DET_TOTAL_TIME, "10.000000 sec"},
  });
}

TEST(InfoStreamStart, FindsTheDataChunkInsideRiff) {
  Bytes chunks;
  PutChunk(chunks, "LIST", Bytes{'I', 'N', 'F', 'O', 1});
  PutDataHeader(chunks, 500);
  Bytes file = Riff("RMP3", chunks);
  MemorySource bytes(file.data(), file.size());
  uint32_t offset = 99;
  uint32_t size = 99;
  ASSERT_TRUE(StreamStart(bytes, KIND_RMP3, &offset, &size));
  EXPECT_EQ(offset, 12u + 8 + 6 + 8);
  EXPECT_EQ(size, 500u);

  ASSERT_TRUE(StreamStart(bytes, KIND_RAW, &offset, &size));
  EXPECT_EQ(offset, 0u);

  // A RIFF chunk too short to hold the data chunk, and none at all.
  Bytes shorter = file;
  shorter[4] = 12;
  shorter[5] = shorter[6] = shorter[7] = 0;
  MemorySource short_bytes(shorter.data(), shorter.size());
  EXPECT_FALSE(StreamStart(short_bytes, KIND_RMP3, &offset, &size));
  Bytes no_data = Riff("RMP3", Bytes{});
  MemorySource none(no_data.data(), no_data.size());
  EXPECT_FALSE(StreamStart(none, KIND_RMP3, &offset, &size));
}

// Two frames of a 128 kbit/s 44.1 kHz MPEG-1 Layer III joint-stereo stream
// (417 bytes each, no padding).
Bytes MpegFrames() {
  Bytes frames;
  for (int i = 0; i < 2; ++i) {
    Bytes frame = {0xFF, 0xFB, 0x90, 0x64};
    frame.resize(417);
    frames.insert(frames.end(), frame.begin(), frame.end());
  }
  return frames;
}

// The first page of an Ogg Vorbis stream as far as it is read.
Bytes OggHead(uint32_t nominal_bitrate) {
  Bytes b = OggIdentification(2, 44100, static_cast<int32_t>(nominal_bitrate));
  b.resize(4000);
  return b;
}

struct Analysed {
  DetailFields detail;
  int result;
  AnalysisReport report;
};

Analysed Analyse(const Bytes& file, InfoTextMode mode = {}) {
  Analysed a;
  MemorySource bytes(file.data(), file.size());
  a.detail = ReadDetailFields(&bytes, static_cast<int64_t>(file.size()), mode, NameFromTable);
  a.result = AnalyseStream(bytes, a.detail, static_cast<int64_t>(file.size()), mode, a.report);
  return a;
}

TEST(InfoStreamAnalysis, RawMpeg) {
  Bytes file = MpegFrames();
  file.resize(16000 * 3);
  Analysed a = Analyse(file);
  ASSERT_EQ(a.result, ANALYSIS_OK);
  const DialogTexts& t = a.detail.texts;
  EXPECT_EQ(t.Get(IDC_DET_RIFF_ID), "FFF");
  ExpectRawMpegNotes(t);
  EXPECT_EQ(t.Get(IDC_DET_TOTAL_TIME), "3.000000 sec");
  for (int id = IDC_DET_RIFF_SIZE; id <= IDC_DET_CHUNK2_SIZE; ++id) EXPECT_EQ(t.Get(id), "") << id;
  std::string text = a.report.AllText();
  EXPECT_NE(text.find("SyncHead=fff\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("CBR\r\n"), std::string::npos) << text;
}

TEST(InfoStreamAnalysis, Rmp3UsesTheDataChunkSize) {
  Bytes chunks;
  Bytes frames = MpegFrames();
  frames.resize(8000);
  PutChunk(chunks, "data", frames);
  PutChunk(chunks, "LIST", Bytes(20000, 0));
  Analysed a = Analyse(Riff("RMP3", chunks));
  ASSERT_EQ(a.result, ANALYSIS_OK);
  EXPECT_EQ(a.detail.kind, KIND_RMP3);
  EXPECT_EQ(a.detail.texts.Get(IDC_DET_TOTAL_TIME), "0.500000 sec");
  EXPECT_EQ(Analyse(Riff("RMP3", chunks), {true, true}).detail.texts.Get(IDC_DET_TOTAL_TIME), "500.000ミリ秒");
}

TEST(InfoStreamAnalysis, MpegWaveKeepsItsOwnFields) {
  Bytes file = MpegWave(12);
  // The data chunk header claims 160000 bytes; give it its first frames.
  Bytes frames = MpegFrames();
  file.insert(file.end(), frames.begin(), frames.end());
  Analysed a = Analyse(file);
  ASSERT_EQ(a.result, ANALYSIS_OK);
  EXPECT_EQ(a.detail.kind, KIND_WAVE_MP3);
  EXPECT_EQ(a.detail.texts.Get(IDC_DET_TAG_NAME), "ID=1");
  EXPECT_EQ(a.detail.texts.Get(IDC_DET_BYTES_NOTE), "16000");
  EXPECT_EQ(a.detail.texts.Get(IDC_DET_TOTAL_TIME), "10.000000 sec");
  EXPECT_NE(a.report.AllText().find("Layer=3"), std::string::npos);
}

TEST(InfoStreamAnalysis, OggWithAndWithoutNominalBitrate) {
  Analysed a = Analyse(OggHead(128000), {false, true});
  ASSERT_EQ(a.result, ANALYSIS_OK);
  EXPECT_EQ(a.detail.texts.Get(IDC_DET_RIFF_ID), "OggS");
  EXPECT_EQ(a.detail.texts.Get(IDC_DET_TOTAL_TIME), "250.000 msec") << "4000 bytes at 16000 bytes/s";
  EXPECT_EQ(Analyse(OggHead(128000), {false, false}).detail.texts.Get(IDC_DET_TOTAL_TIME), "0.250000 sec");
  EXPECT_EQ(a.report.AllText(), "freq=44100\r\nrate=128000\r\nchannel=2\r\n");
  // The Ogg analysis leaves the MPEG notes alone.
  EXPECT_FALSE(a.detail.texts.Has(IDC_DET_BYTES_NOTE));

  Analysed zero = Analyse(OggHead(0));
  ASSERT_EQ(zero.result, ANALYSIS_OK);
  EXPECT_EQ(zero.detail.texts.Get(IDC_DET_TOTAL_TIME), "unknown sec");
  EXPECT_EQ(Analyse(OggHead(0), {true, false}).detail.texts.Get(IDC_DET_TOTAL_TIME), ja::kDetailUnknownTime);
}

TEST(InfoStreamAnalysis, NeitherKind) {
  Analysed a = Analyse(Bytes{'a', 'b', 'c', 'd', 'e'});
  EXPECT_EQ(a.result, ANALYSIS_NOT_MINE);
  EXPECT_EQ(a.detail.texts.Get(IDC_DET_TOTAL_TIME), "");
  EXPECT_EQ(a.report.AllText(), "");
  // An "RMP3" file without a data chunk is tried as Ogg only.
  Analysed empty = Analyse(Riff("RMP3", Bytes{}));
  EXPECT_EQ(empty.result, ANALYSIS_NOT_MINE);
  Analysed nothing = Analyse(Bytes{});
  EXPECT_EQ(nothing.result, ANALYSIS_NOT_MINE);
}

}  // namespace
