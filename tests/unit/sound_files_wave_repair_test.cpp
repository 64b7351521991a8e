// Repair of unfinished recordings: the two sizes written, files left alone,
// and recordings cut off anywhere.
#include <gtest/gtest.h>

#include "sound_files/sound_file_open.h"
#include "sound_files/wave_repair.h"
#include "tests/unit/sound_files_test_bytes.h"

namespace {

bool Repair(MemoryFile& file) { return RepairWaveFile(file, file.bytes.size()); }

TEST(SoundFilesRepair, FortyFourBytesIsNotRepairableFortyFiveIs) {
  MemoryFile header(UnfinishedRecording(1, 11025, 8, {}));
  ASSERT_EQ(header.bytes.size(), 44u);
  const Bytes before = header.bytes;
  EXPECT_FALSE(Repair(header));
  EXPECT_EQ(header.bytes, before);

  MemoryFile one(UnfinishedRecording(1, 11025, 8, {0x80}));
  EXPECT_TRUE(Repair(one));
  EXPECT_EQ(GetU32(one.bytes, 40), 1u);
  EXPECT_EQ(GetU32(one.bytes, 4), 37u);  // odd, but the pad byte is not in the file
}

TEST(SoundFilesRepair, CutOffSixteenBitStereoKeepsWholeBlocks) {
  const Bytes data = Pattern(1001);
  MemoryFile file(UnfinishedRecording(2, 44100, 16, data));
  EXPECT_TRUE(Repair(file));
  EXPECT_EQ(GetU32(file.bytes, 40), 1000u);
  EXPECT_EQ(GetU32(file.bytes, 4), 1036u);
  EXPECT_EQ(file.bytes.size(), 1045u);
  EXPECT_EQ(Bytes(file.bytes.begin() + 44, file.bytes.end()), data);  // the odd byte stays
}

TEST(SoundFilesRepair, OddDataWithItsPadByteInTheFile) {
  // 8-bit mono, 101 data bytes and a pad byte after them.
  Bytes bytes = UnfinishedRecording(1, 11025, 8, Pattern(101));
  bytes.push_back(0);
  MemoryFile file(bytes);
  EXPECT_TRUE(Repair(file));
  // Everything after the data header counts as data: 102 bytes, even.
  EXPECT_EQ(GetU32(file.bytes, 40), 102u);
  EXPECT_EQ(GetU32(file.bytes, 4), 138u);
  // With a 2-byte block and 3 bytes after the header: D = 2, R = 38.
  MemoryFile odd(UnfinishedRecording(1, 11025, 16, Pattern(3)));
  EXPECT_TRUE(Repair(odd));
  EXPECT_EQ(GetU32(odd.bytes, 40), 2u);
  EXPECT_EQ(GetU32(odd.bytes, 4), 38u);
}

TEST(SoundFilesRepair, TagsWhoseDataIsKeptWhole) {
  for (uint16_t tag : {2, 0x73, 0x674F, 0x6750, 0x6751}) {
    Bytes bytes = UnfinishedRecording(2, 22050, 16, Pattern(1003));
    bytes[20] = static_cast<uint8_t>(tag);
    bytes[21] = static_cast<uint8_t>(tag >> 8);
    bytes[32] = 0;
    bytes[33] = 4;  // block align 1024
    MemoryFile file(bytes);
    EXPECT_TRUE(Repair(file)) << tag;
    EXPECT_EQ(GetU32(file.bytes, 40), 1003u) << tag;
    EXPECT_EQ(GetU32(file.bytes, 4), 1039u) << tag;
  }
}

TEST(SoundFilesRepair, BlockAlignZeroCountsAsOne) {
  Bytes bytes = UnfinishedRecording(2, 22050, 16, Pattern(1003));
  bytes[32] = bytes[33] = 0;
  MemoryFile file(bytes);
  EXPECT_TRUE(Repair(file));
  EXPECT_EQ(GetU32(file.bytes, 40), 1003u);
}

TEST(SoundFilesRepair, FactChunkIsKeptAndTheSizesAfterItChange) {
  Bytes format = CodecFormat(2, 1, 8000, 4096, 256, 4);
  PutU16(format, 0);  // 18-byte format chunk
  const Bytes bytes = Riff("WAVE",
                           Chunk("fmt ", format) + Chunk("fact", {0x39, 0x30, 0, 0}) +
                               ToBytes("data" + riff_bytes::Le32(0)) + Pattern(777),
                           0);
  MemoryFile file(bytes);
  RepairPlan plan = PlanWaveRepair(file, file.bytes.size());
  ASSERT_TRUE(plan.repairable);
  EXPECT_TRUE(plan.has_fact);
  EXPECT_EQ(plan.data_size_offset, 32u + 18 + 4);
  EXPECT_EQ(plan.data_size, 777u);
  EXPECT_TRUE(Repair(file));
  EXPECT_EQ(GetU32(file.bytes, 54), 777u);
  EXPECT_EQ(GetU32(file.bytes, 4), 777u + 18 + 4 + 28);
  // Only the two size fields differ.
  size_t differing = 0;
  for (size_t i = 0; i < bytes.size(); ++i) differing += bytes[i] != file.bytes[i];
  EXPECT_LE(differing, 8u);
  EXPECT_EQ(GetU32(file.bytes, 46), 12345u);
}

TEST(SoundFilesRepair, CorrectFileGetsTheSameSizesAgain) {
  const Bytes good = WaveFile(PcmFormat(2, 44100, 16), Pattern(4000));
  MemoryFile file(good);
  EXPECT_TRUE(Repair(file));
  EXPECT_EQ(file.bytes, good);
}

TEST(SoundFilesRepair, UnrepairableFilesAreLeftByteForByte) {
  Bytes list_first =
      Riff("WAVE", Chunk("LIST", Pattern(20)) + Chunk("fmt ", PcmFormat(1, 8000, 8)) + Chunk("data", Pattern(50)), 0);

  Bytes not_riff = UnfinishedRecording(1, 8000, 8, Pattern(50));
  not_riff[0] = 'r';
  Bytes junk_after_fmt = UnfinishedRecording(1, 8000, 8, Pattern(50));
  junk_after_fmt[36] = 'j';
  Bytes huge_fmt = UnfinishedRecording(1, 8000, 8, Pattern(50));
  huge_fmt[16] = 0xF0;
  huge_fmt[17] = huge_fmt[18] = huge_fmt[19] = 0xFF;  // 20 + F wraps in 32 bits
  Bytes tiny_fmt = UnfinishedRecording(1, 8000, 8, Pattern(50));
  tiny_fmt[16] = 4;
  Bytes fmt_past_end = UnfinishedRecording(1, 8000, 8, Pattern(50));
  fmt_past_end[16] = 200;
  Bytes rmp3 = Riff("RMP3", Chunk("data", Pattern(100)), 0);

  // A fact chunk whose size puts the data size field past the end.
  Bytes huge_fact =
      Riff("WAVE", Chunk("fmt ", PcmFormat(1, 8000, 8)) + ToBytes("fact" + riff_bytes::Le32(0xFFFFFFF0u)) + Pattern(60), 0);

  // A LIST chunk after the fact chunk: its size is where the data size would go.
  Bytes fmt20 = CodecFormat(2, 1, 8000, 4096, 256, 4);
  PutU16(fmt20, 2);
  PutU16(fmt20, 0);
  Bytes list_after_fact = Riff("WAVE", Chunk("fmt ", fmt20) + Chunk("fact", {0x39, 0x30, 0, 0}) +
                                           Chunk("LIST", Pattern(12)) + Chunk("data", Pattern(100)), 0);

  const Bytes files[] = {list_first, not_riff,  junk_after_fmt, huge_fmt,    tiny_fmt,    fmt_past_end,
                         rmp3,       huge_fact, list_after_fact, {}, Pattern(44), Pattern(45)};
  for (size_t i = 0; i < std::size(files); ++i) {
    MemoryFile file(files[i]);
    EXPECT_FALSE(Repair(file)) << "file " << i;
    EXPECT_EQ(file.bytes, files[i]) << "file " << i;
  }
}

TEST(SoundFilesRepair, WriteFailureIsNotASuccess) {
  MemoryFile file(UnfinishedRecording(2, 44100, 16, Pattern(400)));
  file.refuse_writes = true;
  EXPECT_FALSE(Repair(file));
}

// A recording whose header was kept true, cut off after it wrote more: the
// tail is offered, and the repair takes it in; a closed or foreign file's
// ending is no tail.
TEST(SoundFilesRepair, TailAfterTheLastHeaderUpdate) {
  const Bytes format = PcmFormat(2, 44100, 16);
  const Bytes kept = Pattern(4000), tail = Pattern(1002, 9);
  MemoryFile cut(WaveFile(format, kept) + tail);
  const RecordingTail found = FindRecordingTail(cut, cut.bytes.size());
  EXPECT_EQ(found.bytes, 1000u);  // whole blocks
  EXPECT_EQ(found.bytes_per_sec, 176400u);
  EXPECT_TRUE(Repair(cut));
  EXPECT_EQ(GetU32(cut.bytes, 40), 5000u);
  EXPECT_EQ(FindRecordingTail(cut, cut.bytes.size()).bytes, 0u);

  auto no_tail = [](Bytes bytes) {
    MemoryFile file(bytes);
    return FindRecordingTail(file, file.bytes.size()).bytes == 0;
  };
  EXPECT_TRUE(no_tail(WaveFile(format, kept)));
  EXPECT_TRUE(no_tail(WaveFile(format, kept) + Pattern(3)));                  // less than a block
  EXPECT_TRUE(no_tail(UnfinishedRecording(2, 44100, 16, kept + tail)));       // the repair's own case
  EXPECT_TRUE(no_tail(WaveFile(format, kept) + Chunk("LIST", Pattern(40))));  // a chunk after the data
  EXPECT_TRUE(no_tail(WaveFile(format, kept) + ToBytes("TAG") + Pattern(125)));
  // The data chunk does not end the RIFF chunk (something follows inside it).
  EXPECT_TRUE(no_tail(Riff("WAVE", Chunk("fmt ", format) + Chunk("data", kept) + Chunk("LIST", Pattern(8))) + tail));

  // What other programs leave after the data: zeros (sector padding, space
  // reserved), tags, chunks cut short; and data that is no whole frames.
  Bytes ape = ToBytes("APETAGEX") + Pattern(24) + Pattern(60, 3);
  Bytes bext = ToBytes("bext") + ToBytes(riff_bytes::Le32(602)) + Pattern(100, 5);
  EXPECT_TRUE(no_tail(WaveFile(format, kept) + Bytes(512, 0)));
  EXPECT_TRUE(no_tail(WaveFile(format, kept) + Bytes(32768, 0)));
  EXPECT_TRUE(no_tail(WaveFile(format, kept) + ape));
  EXPECT_TRUE(no_tail(WaveFile(format, kept) + Pattern(60, 3) + ToBytes("APETAGEX") + Pattern(24)));
  EXPECT_TRUE(no_tail(WaveFile(format, kept) + bext));
  EXPECT_TRUE(no_tail(WaveFile(format, Pattern(3998)) + tail));
  EXPECT_TRUE(no_tail(WaveFile(CodecFormat(2, 1, 8000, 4096, 256, 4), Pattern(1002)) + Pattern(512, 9)));
  // An 8-bit file's pad byte after odd data, not counted in the RIFF size.
  Bytes padded = WaveFile(PcmFormat(1, 11025, 8), Pattern(101));
  ASSERT_EQ(padded.size(), 44u + 102);
  padded[4] = static_cast<uint8_t>(padded.size() - 9);
  EXPECT_TRUE(no_tail(padded));
  // The same byte of sound is one.
  padded.back() = 0x80;
  MemoryFile one_frame(padded);
  EXPECT_EQ(FindRecordingTail(one_frame, padded.size()).bytes, 1u);

  // The offer shows even one frame as more than nothing: a tail under 0.1 s
  // in milliseconds, rounded up.
  const TailLength frame = TailLengthShown({4, 176400});
  EXPECT_TRUE(frame.in_milliseconds);
  EXPECT_EQ(frame.milliseconds, 1u);
  const TailLength short_tail = TailLengthShown({10584, 176400});  // 60 ms
  EXPECT_TRUE(short_tail.in_milliseconds);
  EXPECT_EQ(short_tail.milliseconds, 60u);
  const TailLength long_tail = TailLengthShown({17640, 176400});
  EXPECT_FALSE(long_tail.in_milliseconds);
  EXPECT_DOUBLE_EQ(long_tail.seconds, 0.1);
}

// A recording cut off at any byte repairs to a file that opens and holds every
// whole block written; cut inside the header it stays as it was.
TEST(SoundFilesRepair, RecordingCutOffAnywhereOpensWithEveryWholeBlock) {
  struct Format {
    uint16_t channels, bits;
  } formats[] = {{2, 16}, {1, 8}, {2, 8}, {1, 16}};
  for (const Format& f : formats) {
    const unsigned block = f.channels * f.bits / 8;
    const Bytes full = UnfinishedRecording(f.channels, 22050, f.bits, Pattern(203));
    for (size_t cut = 0; cut <= full.size(); ++cut) {
      MemoryFile file(Bytes(full.begin(), full.begin() + cut));
      const bool repaired = Repair(file);
      if (cut <= 44) {
        EXPECT_FALSE(repaired) << cut;
        EXPECT_EQ(file.bytes, Bytes(full.begin(), full.begin() + cut)) << cut;
        continue;
      }
      ASSERT_TRUE(repaired) << cut;
      const uint32_t whole = static_cast<uint32_t>((cut - 44) / block * block);
      MemoryRiffFile riff(file.bytes.data(), file.bytes.size());
      SoundFileIdentity id = IdentifySoundFile(riff);
      ASSERT_EQ(id.failure, OpenFailure::NONE) << cut;
      uint32_t data_total = 0;
      const OpenFailure located = LocateSoundData(riff, id, data_total);
      if (whole == 0) {
        EXPECT_EQ(located, OpenFailure::DATA_EMPTY) << cut;
      } else {
        ASSERT_EQ(located, OpenFailure::NONE) << cut;
        EXPECT_EQ(data_total, whole) << cut;
        EXPECT_EQ(riff.Position(), 44u);
        EXPECT_TRUE(std::equal(file.bytes.begin() + 44, file.bytes.begin() + 44 + whole, full.begin() + 44));
      }
    }
  }
}

}  // namespace
