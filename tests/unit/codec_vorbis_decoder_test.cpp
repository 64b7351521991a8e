// The codec driver's decoding core on files made by oggenc
// (tests/fixtures/codec.sh), whole, damaged, chained and moved in, checked
// sample for sample against one plain decode of the same file by the same
// libvorbis build (the driver is responsible for giving exactly that), and
// within a rounding against oggdec (another build of libvorbis, whose
// floating point need not agree bit for bit); and on streams made by the
// tests' stream writer (tests/vorbis_writer.h) that ask for more than a
// stream may have. The directory comes from TAPEON_FIXTURES; without it the
// tests of oggenc's files are skipped.
#include <gtest/gtest.h>
#include <ogg/ogg.h>
#include <vorbis/codec.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "codec/acm_driver.h"
#include "codec/current_stream.h"
#include "codec/vorbis_decoder.h"
#include "tests/fixtures.h"
#include "tests/le_bytes.h"
#include "tests/vorbis_writer.h"

namespace {

using Bytes = std::vector<uint8_t>;

// The nominal ratio TAPEON's formats give for these files: 16-bit PCM byte
// rate over the nominal stream byte rate (oggenc's default quality).
constexpr double kRatio44 = 176400.0 / 14000.0;
constexpr double kRatio22 = 44100.0 / 5000.0;
constexpr size_t kLargeOutput = 16 * 1024 * 1024;

struct Tone {
  const char* name;
  int channels;
  double ratio;
};
const Tone kTones[] = {{"codec_tone44", 2, kRatio44}, {"codec_tone22", 1, kRatio22}};

// Offsets of the Ogg pages of a well-formed stream.
std::vector<size_t> PageStarts(const Bytes& file) {
  std::vector<size_t> starts;
  size_t at = 0;
  while (at + 27 <= file.size() && std::equal(file.begin() + at, file.begin() + at + 4, "OggS")) {
    starts.push_back(at);
    const size_t segments = file[at + 26];
    size_t body = 0;
    for (size_t k = 0; k < segments; ++k) body += file[at + 27 + k];
    at += 27 + segments + body;
  }
  return starts;
}

// Writes the page's checksum again after a change (CRC-32, polynomial
// 0x04C11DB7, over the page with its checksum field zeroed).
void RewriteChecksum(Bytes& file, size_t page) {
  const size_t segments = file[page + 26];
  size_t size = 27 + segments;
  for (size_t k = 0; k < segments; ++k) size += file[page + 27 + k];
  for (size_t k = 22; k < 26; ++k) file[page + k] = 0;
  uint32_t crc = 0;
  for (size_t k = 0; k < size; ++k) {
    crc ^= static_cast<uint32_t>(file[page + k]) << 24;
    for (int bit = 0; bit < 8; ++bit) crc = crc & 0x80000000u ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
  }
  for (size_t k = 0; k < 4; ++k) file[page + 22 + k] = static_cast<uint8_t>(crc >> (8 * k));
}

// What the libvorbis build the driver links decodes a one-link file of one or
// two channels to, in one pass through its plain API (no driver): every
// audio packet of the first stream, each sample rounded to nearest and
// clipped to 16 bits, as oggdec writes them. The libraries allocate only
// inside a budget's Run (codec/stream_budget.h).
Bytes PlainDecode(const Bytes& file) {
  Bytes pcm;
  StreamBudget budget;
  bool whole = false;
  const bool ran = budget.Run([&] {
    ogg_sync_state sync;
    ogg_stream_state stream;
    vorbis_info info;
    vorbis_comment comment;
    vorbis_dsp_state dsp;
    vorbis_block block;
    ogg_sync_init(&sync);
    std::memcpy(ogg_sync_buffer(&sync, static_cast<long>(file.size())), file.data(), file.size());
    ogg_sync_wrote(&sync, static_cast<long>(file.size()));
    vorbis_info_init(&info);
    vorbis_comment_init(&comment);
    ogg_page page;
    ogg_packet packet;
    int headers = 0;
    while (ogg_sync_pageout(&sync, &page) == 1) {
      if (headers == 0 && ogg_page_bos(&page)) ogg_stream_init(&stream, ogg_page_serialno(&page));
      if (ogg_stream_pagein(&stream, &page) != 0) continue;
      while (ogg_stream_packetout(&stream, &packet) == 1) {
        if (headers < 3) {
          if (vorbis_synthesis_headerin(&info, &comment, &packet) != 0) return;
          if (++headers == 3 && (vorbis_synthesis_init(&dsp, &info) != 0 || vorbis_block_init(&dsp, &block) != 0))
            return;
          continue;
        }
        if (vorbis_synthesis(&block, &packet) == 0) vorbis_synthesis_blockin(&dsp, &block);
        float** out;
        int frames;
        while ((frames = vorbis_synthesis_pcmout(&dsp, &out)) > 0) {
          for (int i = 0; i < frames; ++i)
            for (int c = 0; c < info.channels; ++c)
              PutU16(pcm, static_cast<uint16_t>(std::clamp(std::lrint(out[c][i] * 32768.f), -32768L, 32767L)));
          vorbis_synthesis_read(&dsp, frames);
        }
      }
    }
    whole = headers == 3;
  });
  EXPECT_TRUE(ran && whole);
  return pcm;
}

class CodecVorbis : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string missing = FixturesMissing("codec", "codec_tone44.ogg");
    if (!missing.empty()) GTEST_SKIP() << missing;
  }

  Bytes Load(const std::string& name) {
    std::optional<Bytes> bytes = ReadFixture(name);
    EXPECT_TRUE(bytes) << name;
    return bytes.value_or(Bytes());
  }

  // Feeds `file` in pieces of `piece` bytes into a large output, then calls
  // without input until nothing more comes, and returns all PCM; every call
  // must stay within the estimate made before it.
  static Bytes DecodeInPieces(VorbisDecoder& decoder, const Bytes& file, size_t piece) {
    Bytes pcm;
    Bytes out(kLargeOutput);
    size_t at = 0, n;
    do {
      n = std::min(piece, file.size() - at);
      const size_t estimate = decoder.EstimateOutput(n);
      DecodeResult r = decoder.Convert(file.data() + at, n, out.data(), out.size());
      EXPECT_EQ(r.consumed, n);
      EXPECT_LE(r.produced, estimate) << "piece " << piece << " at " << at << " of " << file.size() << " held " << decoder.held_bytes();
      pcm.insert(pcm.end(), out.begin(), out.begin() + r.produced);
      if (n == 0 && r.produced == 0) break;
      at += n;
    } while (true);
    return pcm;
  }

  static Bytes DecodeWhole(VorbisDecoder& decoder, const Bytes& file) { return DecodeInPieces(decoder, file, file.size()); }
};

// Pieces of any size give exactly what one plain decode of the file gives;
// oggdec's output (another build of libvorbis) agrees to the length and
// within a rounding in a few samples a million, which no lost, repeated or
// reordered packet could.
TEST_F(CodecVorbis, AnyPiecesGiveExactlyWhatOnePlainDecodeGives) {
  for (const Tone& tone : kTones) {
    const Bytes file = Load(std::string(tone.name) + ".ogg");
    const Bytes reference = PlainDecode(file);
    const Bytes oggdec = Load(std::string(tone.name) + ".raw");
    ASSERT_GT(reference.size(), 0u);
    Bytes pcm;
    for (size_t piece : {1, 7, 4096, 65536}) {
      VorbisDecoder decoder(tone.channels, tone.ratio);
      pcm = DecodeInPieces(decoder, file, piece);
      EXPECT_TRUE(decoder.has_headers());
      EXPECT_EQ(decoder.held_bytes(), 0u);
      ASSERT_EQ(pcm.size(), reference.size()) << tone.name << " in pieces of " << piece;
      EXPECT_TRUE(pcm == reference) << tone.name << " in pieces of " << piece;
    }
    ASSERT_EQ(pcm.size(), oggdec.size()) << tone.name;
    const size_t samples = pcm.size() / 2;
    size_t off = 0;
    for (size_t k = 0; k < samples; ++k) {
      const int d = static_cast<int16_t>(GetU16(pcm, 2 * k)) - static_cast<int16_t>(GetU16(oggdec, 2 * k));
      ASSERT_LE(std::abs(d), 1) << tone.name << ": sample " << k << " of " << samples;
      off += d != 0;
    }
    std::printf("%s: %zu of %zu samples a rounding away from oggdec's\n", tone.name, off, samples);
    EXPECT_LE(off, 1 + samples / 200000) << tone.name << ": samples a rounding away from oggdec's";
  }
}

// A destination smaller than what a block decodes to: the rest is held back,
// whole frames are handed out, and calls without input empty what is held.
TEST_F(CodecVorbis, SmallDestinationsGetEverythingInTurn) {
  const Bytes file = Load("codec_tone44.ogg");
  const Bytes reference = PlainDecode(file);
  VorbisDecoder decoder(2, kRatio44);
  Bytes pcm, out(1001);
  DecodeResult r = decoder.Convert(file.data(), file.size(), out.data(), out.size());
  EXPECT_EQ(r.consumed, file.size());
  EXPECT_EQ(r.produced, 1000u);
  pcm.insert(pcm.end(), out.begin(), out.begin() + r.produced);
  while ((r = decoder.Convert(nullptr, 0, out.data(), out.size())).produced > 0) {
    EXPECT_EQ(r.produced % 4, 0u);
    pcm.insert(pcm.end(), out.begin(), out.begin() + r.produced);
  }
  EXPECT_TRUE(pcm == reference);
}

TEST_F(CodecVorbis, ResetRestartAndChainedLinks) {
  const Bytes a = Load("codec_tone44.ogg");
  const Bytes a_pcm = PlainDecode(a);
  const std::vector<size_t> pages = PageStarts(a);
  VorbisDecoder decoder(2, kRatio44);
  DecodeInPieces(decoder, Bytes(a.begin(), a.begin() + a.size() / 2), 4096);
  decoder.Reset();
  EXPECT_TRUE(DecodeWhole(decoder, a) == a_pcm);

  // A caller that moves within the stream (a seek) keeps the headers: from
  // the middle of a page on, the sound is the end of the file's.
  decoder.Restart();
  const Bytes tail = DecodeInPieces(decoder, Bytes(a.begin() + pages[pages.size() - 2] - 100, a.end()), 4096);
  EXPECT_GT(tail.size(), 0u);
  EXPECT_LT(tail.size(), a_pcm.size());
  EXPECT_TRUE(std::equal(tail.rbegin(), tail.rend(), a_pcm.rbegin())) << "not the end of the file's sound";

  // Four links: the stereo tone, a stream that is not Vorbis, the mono tone
  // at another rate (it would play at the wrong speed) and the stereo tone
  // again. Only the stereo tones play, one after the other.
  Bytes not_vorbis = a;
  not_vorbis[pages[0] + 28 + 1] = 'x';  // "vorbis" of the identification header
  RewriteChecksum(not_vorbis, pages[0]);
  const Bytes b = Load("codec_tone22.ogg");
  Bytes chained = a;
  const Bytes* links[] = {&not_vorbis, &b, &a};
  for (const Bytes* link : links) chained.insert(chained.end(), link->begin(), link->end());
  decoder.Reset();
  const Bytes pcm = DecodeInPieces(decoder, chained, 4096);
  Bytes twice = a_pcm;
  twice.insert(twice.end(), a_pcm.begin(), a_pcm.end());
  EXPECT_EQ(pcm.size(), twice.size());
  EXPECT_TRUE(pcm == twice);
}

// More than two channels come out in the WAVE order: each channel of the
// six-channel file is the tone sox wrote into that channel.
TEST_F(CodecVorbis, SixChannelsInWaveOrder) {
  const Bytes file = Load("codec_six.ogg");
  VorbisDecoder decoder(6, 0);
  const Bytes pcm = DecodeWhole(decoder, file);
  const size_t frames = pcm.size() / 12;
  ASSERT_GT(frames, 44100u);
  const double expected[6] = {300, 450, 600, 150, 750, 900};
  for (int c = 0; c < 6; ++c) {
    size_t crossings = 0;
    int16_t previous = 0;
    for (size_t k = 0; k < frames; ++k) {
      const int16_t v = static_cast<int16_t>(GetU16(pcm, 12 * k + 2 * c));
      if (k > 0 && (v < 0) != (previous < 0)) ++crossings;
      previous = v;
    }
    EXPECT_NEAR(crossings / 2.0 / (frames / 44100.0), expected[c], 5.0) << "channel " << c;
  }
}

// Damage inside the audio: what cannot be decoded is skipped, the rest plays.
TEST_F(CodecVorbis, DamagedPagesAreSkipped) {
  const Bytes file = Load("codec_tone44.ogg");
  const Bytes reference = PlainDecode(file);
  const std::vector<size_t> pages = PageStarts(file);
  ASSERT_GE(pages.size(), 5u);  // identification, comment and setup, three of audio
  const size_t middle = pages[pages.size() - 2];
  const size_t next = pages[pages.size() - 1];

  // Garbage between two pages: found around, nothing lost.
  Bytes garbage = file;
  Bytes noise(3000);
  uint32_t x = 12345;
  for (uint8_t& b : noise) b = static_cast<uint8_t>((x = x * 1103515245 + 12345) >> 16);
  garbage.insert(garbage.begin() + middle, noise.begin(), noise.end());
  VorbisDecoder decoder(2, kRatio44);
  EXPECT_TRUE(DecodeInPieces(decoder, garbage, 4096) == reference);

  // A page with a bad checksum, and a page cut short: that page's sound is
  // missing, the sound before and after it is there.
  Bytes bad_crc = file;
  bad_crc[middle + 40] ^= 0x55;
  Bytes truncated = file;
  truncated.erase(truncated.begin() + middle + (next - middle) / 2, truncated.begin() + next);
  for (const Bytes* damaged : {&bad_crc, &truncated}) {
    VorbisDecoder d(2, kRatio44);
    const Bytes pcm = DecodeInPieces(d, *damaged, 4096);
    EXPECT_FALSE(d.failed());
    EXPECT_LT(pcm.size(), reference.size());
    EXPECT_GT(pcm.size(), reference.size() / 4);
    const size_t head = reference.size() / 4;
    EXPECT_TRUE(std::equal(reference.begin(), reference.begin() + head, pcm.begin()));
  }

  // The file cut in its last page: everything before that page plays.
  VorbisDecoder cut(2, kRatio44);
  const Bytes end = DecodeWhole(cut, Bytes(file.begin(), file.end() - 100));
  EXPECT_FALSE(cut.failed());
  EXPECT_GT(end.size(), reference.size() / 2);
}

// Without valid headers there is nothing to play: the open of the stream
// fails, and a stream cut inside its headers gives no sound.
TEST_F(CodecVorbis, StreamsWithoutValidHeaders) {
  const Bytes file = Load("codec_tone44.ogg");
  const std::vector<size_t> pages = PageStarts(file);
  Bytes out(kLargeOutput);

  Bytes not_vorbis = file;
  not_vorbis[pages[0] + 28 + 1] = 'x';  // "vorbis" of the identification header
  RewriteChecksum(not_vorbis, pages[0]);
  Bytes first_page_crc = file;
  first_page_crc[pages[0] + 30] ^= 1;
  Bytes setup_crc = file;
  setup_crc[pages[1] + 40] ^= 1;  // the page of the comment and setup headers
  Bytes noise(VorbisDecoder::kMaxSearchBytes + 10000, 'x');
  const Bytes* cases[] = {&not_vorbis, &first_page_crc, &setup_crc, &noise};
  for (size_t k = 0; k < 4; ++k) {
    VorbisDecoder decoder(2, kRatio44);
    DecodeResult r = decoder.Convert(cases[k]->data(), cases[k]->size(), out.data(), out.size());
    EXPECT_TRUE(decoder.failed()) << "case " << k;
    EXPECT_EQ(r.produced, 0u) << "case " << k;
  }

  VorbisDecoder cut(2, kRatio44);
  const size_t half_headers = pages[1] + (pages[2] - pages[1]) / 2;
  DecodeResult r = cut.Convert(file.data(), half_headers, out.data(), out.size());
  EXPECT_EQ(r.produced, 0u);
  EXPECT_FALSE(cut.has_headers());
  EXPECT_FALSE(cut.failed());
}


// Sets the serial number of every page of a stream (checksums written again).
Bytes WithSerial(Bytes file, uint32_t serial) {
  for (size_t page : PageStarts(file)) {
    for (size_t k = 0; k < 4; ++k) file[page + 14 + k] = static_cast<uint8_t>(serial >> (8 * k));
    RewriteChecksum(file, page);
  }
  return file;
}

Bytes Join(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

bool EndsWith(const Bytes& whole, const Bytes& tail) {
  return tail.size() <= whole.size() && std::equal(tail.rbegin(), tail.rend(), whole.rbegin());
}

// A caller that moves in the stream (ACM_STREAMCONVERTF_START, or a reset)
// goes on only in a stream whose headers were read, with those headers;
// the pages of any other are passed over in silence up to the next stream
// that begins.
TEST_F(CodecVorbis, MovesTakeOnlyKnownStreams) {
  const Bytes a = WithSerial(Load("codec_tone44.ogg"), 1);
  const Bytes a_pcm = PlainDecode(a);
  const Bytes six = WithSerial(Load("codec_six.ogg"), 2);
  const std::vector<size_t> six_pages = PageStarts(six);
  const Bytes six_tail(six.begin() + six_pages[six_pages.size() / 2], six.end());

  // Into the middle of a second link read before: the end of its own sound
  // (its six channels onto two, as the first time).
  VorbisDecoder decoder(2, kRatio44);
  const Bytes whole = DecodeWhole(decoder, Join(a, six));
  decoder.Restart();
  const Bytes tail = DecodeInPieces(decoder, six_tail, 4096);
  EXPECT_GT(tail.size(), 44100u);
  EXPECT_TRUE(EndsWith(whole, tail)) << "not the end of the second link's sound";

  // Into a link never read: nothing (not the noise of its packets decoded
  // with another link's setup) until the next link begins, which plays whole.
  VorbisDecoder first_only(2, kRatio44);
  DecodeInPieces(first_only, a, 4096);
  first_only.Restart();
  EXPECT_TRUE(DecodeInPieces(first_only, Join(six_tail, a), 4096) == a_pcm);

  // A second stream multiplexed beside the first (their pages alternate):
  // the first plays; after a move onto a page of the second, that one is
  // passed over and the first goes on.
  const std::vector<size_t> a_pages = PageStarts(a);
  auto page = [](const Bytes& file, const std::vector<size_t>& starts, size_t k) {
    return Bytes(file.begin() + starts[k], file.begin() + (k + 1 < starts.size() ? starts[k + 1] : file.size()));
  };
  Bytes muxed, muxed_tail;
  for (size_t k = 0; k < std::max(a_pages.size(), six_pages.size()); ++k) {
    for (int s = 0; s < 2; ++s) {
      const bool first = s == 0;
      if (k >= (first ? a_pages : six_pages).size()) continue;
      const Bytes p = first ? page(a, a_pages, k) : page(six, six_pages, k);
      muxed = Join(muxed, p);
      if (k > a_pages.size() / 2 || (k == a_pages.size() / 2 && !first)) muxed_tail = Join(muxed_tail, p);
    }
  }
  VorbisDecoder m(2, kRatio44);
  EXPECT_TRUE(DecodeWhole(m, muxed) == a_pcm);
  m.Restart();
  const Bytes muxed_end = DecodeInPieces(m, muxed_tail, 4096);
  EXPECT_GT(muxed_end.size(), 0u);
  EXPECT_TRUE(EndsWith(a_pcm, muxed_end)) << "the other stream's pages must be passed over";

  // A move while a link of another rate is being passed over: the next
  // link that begins plays.
  const Bytes b = WithSerial(Load("codec_tone22.ogg"), 3);
  VorbisDecoder skipping(2, kRatio44);
  DecodeInPieces(skipping, Join(a, Bytes(b.begin(), b.begin() + b.size() / 2)), 4096);
  skipping.Restart();
  EXPECT_TRUE(DecodeInPieces(skipping, Join(Bytes(b.begin() + b.size() / 2, b.end()), a), 4096) == a_pcm);
}

// ---- Streams and callers that ask for too much -------------------------------

using vorbis_writer::Book;
using vorbis_writer::Mode;
using vorbis_writer::Residue;

Bytes ToBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

// One ordered book of 2^18 entries of dimension 4 and sixteen residues of
// 22 classes (22^4 <= 2^18): the decoder builds a table of 22^4 entries
// for each residue, gigabytes from 33 KB. (Item of the real world: one
// such residue of 32 classes over 2^20 entries made libvorbis write
// through a null pointer once memory ran out.)
Bytes ResidueTables() {
  vorbis_writer::Stream s;
  s.setup.books = {Book{4, 1u << 18, 18, true, 0, 1}};
  s.setup.residues.assign(16, Residue{0, 0, 0, 1, 22, 0, 0, 0});
  s.setup.padding = (1u << 18) / 8 + 64;
  s.packets = 4;
  return ToBytes(vorbis_writer::Write(s));
}

// The heap in use while hostile streams are decoded: tracked through the
// sanitizer's allocation hooks (every allocation of the libraries included).
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*, size_t),
                                                         void (*)(const volatile void*));
extern "C" size_t __sanitizer_get_allocated_size(const volatile void*);

struct HeapWatch {
  static inline bool on = false;
  static inline size_t live = 0, peak = 0;
  static void OnMalloc(const volatile void*, size_t size) {
    if (!on) return;
    live += size;
    peak = std::max(peak, live);
  }
  static void OnFree(const volatile void* p) {
    if (on && p != nullptr) live -= std::min(live, __sanitizer_get_allocated_size(p));
  }
  static bool Start() {
#if defined(__SANITIZE_ADDRESS__)
    static const bool hooked = __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree);
    live = peak = 0;
    on = hooked;
    return hooked;
#else
    return false;
#endif
  }
};

// Whatever a stream holds, it costs at most its budget and ends alone:
// residue tables past the budget end the stream (exhausted, everything
// released, nothing more decoded) and never the process, as does a thread
// that cannot hold the current stream; and every size estimate keeps to one
// bound whatever the caller's byte rate or the stream's silence.
TEST(CodecBudget, HostileStreamsEndWithinTheBudget) {
  const bool watched = HeapWatch::Start();
  Bytes out(1 << 20);
  VorbisDecoder decoder(2, 176400.0 / 16000);
  const Bytes tables = ResidueTables();
  ASSERT_LT(tables.size(), 40000u);
  DecodeResult r = decoder.Convert(tables.data(), tables.size(), out.data(), out.size());
  EXPECT_TRUE(decoder.exhausted());
  EXPECT_TRUE(decoder.failed());
  EXPECT_EQ(r.consumed, tables.size());
  EXPECT_EQ(r.produced, 0u);
  EXPECT_LE(decoder.budget().peak(), StreamBudget::kBudget);
  EXPECT_EQ(decoder.budget().used(), 0u) << "an exhausted stream keeps nothing";
  EXPECT_EQ(decoder.Convert(tables.data(), 4096, out.data(), out.size()).produced, 0u);
  EXPECT_EQ(decoder.EstimateOutput(4096), 0u);

  // Reset, the same decoder takes a good stream (four silent packets).
  vorbis_writer::Stream silence;
  silence.packets = 4;
  const Bytes good = ToBytes(vorbis_writer::Write(silence));
  decoder.Reset();
  r = decoder.Convert(good.data(), good.size(), out.data(), out.size(), true);
  EXPECT_FALSE(decoder.failed());
  EXPECT_EQ(r.produced, 3u * 128 * 4);

  // A thread that cannot be told which stream is current decodes nothing,
  // and the stream's memory goes at once, not when the stream is closed.
  decoder.Reset();
  decoder.Convert(good.data(), good.size() / 2, out.data(), out.size());
  ASSERT_GT(decoder.budget().used(), 0u);
  RefuseCurrentStream(true);
  r = decoder.Convert(good.data() + good.size() / 2, good.size() - good.size() / 2, out.data(), out.size());
  RefuseCurrentStream(false);
  EXPECT_TRUE(decoder.exhausted());
  EXPECT_EQ(r.produced, 0u);
  EXPECT_EQ(decoder.budget().used(), 0u);
  HeapWatch::on = false;
  if (watched) {
    std::printf("heap peak %zu bytes (budget %zu)\n", HeapWatch::peak, StreamBudget::kBudget);
    // The budget, and what the C library's sort of a codebook takes beside it.
    EXPECT_LT(HeapWatch::peak, StreamBudget::kBudget + (16u << 20));
  }

  // A caller's byte rate of 1 byte/s, and the unknown ratio, within the one bound.
  VorbisDecoder greedy(2, 176400.0 / 1);
  EXPECT_LE(greedy.EstimateOutput(4096), 4096 * VorbisDecoder::kMaxRatio + 2 * 4096 * 4);
  EXPECT_LE(greedy.EstimateOutput(512 * 1024), VorbisDecoder::kMaxEstimate);
  VorbisDecoder modest(2, 176400.0 / 4e9);
  EXPECT_LE(modest.EstimateInput(65536), 65536u);
}

// What waits to be handed out is all the decoder holds, however long the
// stream: eight channels of long blocks of silence (two bytes a packet,
// 4096 frames each, the most a packet gives), in small pieces into the
// room each estimate asks, as the wave mapper converts. Six megabytes of
// sound come out; the decoder never holds two.
TEST(CodecBudget, HeldSoundStaysFlat) {
  vorbis_writer::Stream s;
  s.channels = 8;
  s.rate = 48000;
  s.long_exponent = 13;
  s.setup.modes = {Mode{true, 0}};
  s.packets = 100;
  s.per_page = 8;
  const Bytes file = ToBytes(vorbis_writer::Write(s));
  VorbisDecoder decoder(8, 0);
  Bytes out;
  size_t total = 0;
  size_t at = 0, calls = 0;
  for (; calls < 100000; ++calls) {
    const size_t n = std::min<size_t>(64, file.size() - at);
    const size_t estimate = decoder.EstimateOutput(n);
    ASSERT_LE(estimate, VorbisDecoder::kMaxEstimate);
    if (calls == 0) {
      EXPECT_LE(estimate, n * VorbisDecoder::kMaxRatio + 2 * 4096 * 16) << "silence is no promise";
    }
    out.resize(estimate);
    const DecodeResult r = decoder.Convert(file.data() + at, n, out.data(), out.size());
    ASSERT_LE(r.produced, estimate);
    total += r.produced;
    at += n;
    if (n == 0 && r.produced == 0) break;
  }
  EXPECT_EQ(total, 99u * 4096 * 16);
  EXPECT_LT(decoder.budget().peak(), 2u << 20);
  std::printf("%zu calls, %zu bytes of sound, peak %zu bytes\n", calls, total, decoder.budget().peak());
}

// Hands `stream` over in pieces of `piece` bytes (again from where the
// decoder stopped taking) into `room` bytes of output, then drains what is
// held; all the PCM that came out.
Bytes Feed(VorbisDecoder& decoder, const std::string& stream, size_t piece, size_t room = 65536) {
  Bytes pcm, out(room);
  for (size_t at = 0;;) {
    const size_t n = std::min(piece, stream.size() - at);
    const DecodeResult r =
        decoder.Convert(reinterpret_cast<const uint8_t*>(stream.data()) + at, n, out.data(), out.size());
    pcm.insert(pcm.end(), out.begin(), out.begin() + r.produced);
    if (n == 0 && r.produced == 0) return pcm;
    at += r.consumed;
  }
}

// The system may refuse any one allocation of a decode (each in turn:
// headers, a comment across pages, a second link, a third with the first
// one's headers, a move, the trees of links and headers): the stream ends
// there, exhausted, keeping nothing, after only true sound; reset, it
// decodes the whole again.
TEST(CodecBudget, EveryAllocationMayFail) {
  vorbis_writer::Stream a, b;
  a.packets = b.packets = 12;
  a.per_page = b.per_page = 4;
  a.comments = 40000;  // 160 KB, three pages
  b.channels = 1;
  b.short_exponent = 7;
  b.serial = 2;
  const std::string second = vorbis_writer::Write(b);
  const std::string chain = vorbis_writer::Write(a) + second;
  a.serial = 3;
  const std::string moved = second.substr(second.size() / 2) + vorbis_writer::Write(a);
  auto decode = [&](VorbisDecoder& decoder) {
    Bytes pcm = Feed(decoder, chain, 4096);
    decoder.Restart();
    const Bytes after = Feed(decoder, moved, 4096);
    pcm.insert(pcm.end(), after.begin(), after.end());
    return pcm;
  };
  VorbisDecoder whole(2, 0);
  const Bytes expected = decode(whole);
  const size_t allocations = whole.budget().allocations();
  ASSERT_GT(expected.size(), (11u * 128 + 11u * 64 + 11u * 128) * 4);
  ASSERT_EQ(expected, Bytes(expected.size(), 0));
  for (size_t k = 0; k < allocations; ++k) {
    VorbisDecoder decoder(2, 0);
    decoder.RefuseAllocation(k);
    const Bytes pcm = decode(decoder);
    ASSERT_TRUE(decoder.exhausted()) << "allocation " << k << " of " << allocations;
    EXPECT_EQ(decoder.budget().used(), 0u) << "allocation " << k;
    EXPECT_TRUE(pcm.size() <= expected.size() && pcm == Bytes(pcm.size(), 0)) << "allocation " << k;
    decoder.Reset();
    EXPECT_EQ(decode(decoder), expected) << "allocation " << k << ", then a reset";
  }
  std::printf("%zu allocations\n", allocations);
}

// ---- The driver's messages --------------------------------------------------------

// A stream of the driver as the compression manager opens one: Ogg Vorbis
// (the record TAPEON builds) to 16-bit PCM.
struct DriverStream {
  explicit DriverStream(WORD channels) {
    vorbis = {0x674F, channels, 44100, 16000, static_cast<WORD>(channels * 2), 16, 8};
    pcm = {WAVE_FORMAT_PCM, channels, 44100, 44100u * channels * 2, static_cast<WORD>(channels * 2), 16, 0};
    instance.cbStruct = sizeof instance;
    instance.pwfxSrc = &vorbis.wf;
    instance.pwfxDst = &pcm;
    opened = Send(ACMDM_STREAM_OPEN, &instance, nullptr);
  }
  ~DriverStream() { Send(ACMDM_STREAM_CLOSE, &instance, nullptr); }
  static LRESULT Send(UINT message, void* p1, void* p2) {
    bool use_default = false;
    return AnswerDriverMessage(message, reinterpret_cast<LPARAM>(p1), reinterpret_cast<LPARAM>(p2), &use_default);
  }
  LRESULT Size(DWORD source, DWORD* destination) {
    ACMDRVSTREAMSIZE size = {sizeof size, ACM_STREAMSIZEF_SOURCE, source, 0};
    const LRESULT r = Send(ACMDM_STREAM_SIZE, &instance, &size);
    *destination = size.cbDstLength;
    return r;
  }
  // Converts `n` bytes at `data` into the room the driver estimates.
  LRESULT Convert(const uint8_t* data, size_t n, DWORD flags, Bytes* pcm_out) {
    DWORD room = 0;
    LRESULT r = Size(static_cast<DWORD>(n), &room);
    if (r != MMSYSERR_NOERROR) return r;
    Bytes destination(room);
    ACMDRVSTREAMHEADER header = {};
    header.cbStruct = sizeof header;
    header.pbSrc = const_cast<BYTE*>(data);
    header.cbSrcLength = static_cast<DWORD>(n);
    header.pbDst = destination.data();
    header.cbDstLength = room;
    header.fdwConvert = flags;
    r = Send(ACMDM_STREAM_CONVERT, &instance, &header);
    pcm_out->insert(pcm_out->end(), destination.begin(), destination.begin() + header.cbDstLengthUsed);
    return r;
  }
#pragma pack(push, 1)
  struct {
    WAVEFORMATEX wf;
    DWORD words[2] = {0x20001214, 0x20001031};
  } vorbis;
#pragma pack(pop)
  WAVEFORMATEX pcm;
  ACMDRVSTREAMINSTANCE instance = {};
  LRESULT opened;
};

// Two streams of the driver side by side, one of them hostile: that one
// answers MMSYSERR_NOMEM from the moment it spends its budget (its size
// queries too); the other converts on as if alone, a move (START) to its
// beginning and a reset (which drops what it holds) included, and its first
// block of headers only gets the one silent frame that keeps the wave
// mapper going, its later ones none.
TEST(CodecDriver, AStreamPastItsBudgetEndsAlone) {
  vorbis_writer::Stream s;
  s.packets = 40;
  const Bytes good = ToBytes(vorbis_writer::Write(s));
  const Bytes tables = ResidueTables();
  DriverStream hostile(2), fine(2);
  ASSERT_EQ(hostile.opened, MMSYSERR_NOERROR);
  ASSERT_EQ(fine.opened, MMSYSERR_NOERROR);
  Bytes pcm, lost;
  EXPECT_EQ(fine.Convert(good.data(), 100, ACM_STREAMCONVERTF_START, &pcm), MMSYSERR_NOERROR);
  EXPECT_EQ(pcm, Bytes(4, 0)) << "a block of headers only: one silent frame";
  pcm.clear();
  EXPECT_EQ(hostile.Convert(tables.data(), tables.size(), ACM_STREAMCONVERTF_START, &lost), MMSYSERR_NOMEM);
  EXPECT_EQ(fine.Convert(good.data() + 100, good.size() - 100, ACM_STREAMCONVERTF_END, &pcm), MMSYSERR_NOERROR);
  DWORD room = 0;
  EXPECT_EQ(hostile.Size(4096, &room), MMSYSERR_NOMEM);
  EXPECT_EQ(hostile.Convert(good.data(), good.size(), 0, &lost), MMSYSERR_NOMEM);
  EXPECT_TRUE(lost.empty());
  const Bytes silence(39u * 128 * 4, 0);
  EXPECT_EQ(pcm, silence);

  // Back to the start, a reset half-way (what was held and the partial
  // page are dropped), and the whole stream again.
  Bytes again;
  EXPECT_EQ(fine.Convert(good.data(), good.size() / 2, ACM_STREAMCONVERTF_START, &again), MMSYSERR_NOERROR);
  EXPECT_EQ(DriverStream::Send(ACMDM_STREAM_RESET, &fine.instance, nullptr), MMSYSERR_NOERROR);
  again.clear();
  EXPECT_EQ(fine.Convert(good.data(), good.size(), ACM_STREAMCONVERTF_END, &again), MMSYSERR_NOERROR);
  EXPECT_EQ(again, silence);
}

// Ordinary streams of any size play to their last frame in a few megabytes:
// a 32 MB comment (cover art) and 66 MB of sound handed over in one
// conversion into a buffer of the host's, as a simple host converts a whole
// data chunk (the driver says how much it took, and the rest is handed
// again); and a chain of 3000 links, each found with its own headers after
// a move into it.
TEST(CodecDriver, LongStreamsPlayToTheirEnd) {
  vorbis_writer::Stream s;
  s.comments = 8u << 20;
  s.packets = 4200;
  s.packet_padding = 16384;
  const std::string stream = vorbis_writer::Write(s);
  ASSERT_GT(stream.size(), 98u << 20);
  DriverStream driver(2);
  Bytes destination(1u << 20);  // the host's own buffer
  const bool watched = HeapWatch::Start();
  size_t at = 0, calls = 0, first_taken = 0;
  uint64_t out = 0;
  for (;; ++calls) {
    ASSERT_LT(calls, 10000u);
    const size_t n = stream.size() - at;
    ACMDRVSTREAMHEADER header = {};
    header.cbStruct = sizeof header;
    header.pbSrc = reinterpret_cast<BYTE*>(const_cast<char*>(stream.data())) + at;
    header.cbSrcLength = static_cast<DWORD>(n);
    header.pbDst = destination.data();
    header.cbDstLength = static_cast<DWORD>(destination.size());
    header.fdwConvert = (at == 0 ? ACM_STREAMCONVERTF_START : 0) | (n == 0 ? ACM_STREAMCONVERTF_END : 0);
    ASSERT_EQ(DriverStream::Send(ACMDM_STREAM_CONVERT, &driver.instance, &header), MMSYSERR_NOERROR)
        << "at " << at << " of " << stream.size();
    if (calls == 0) first_taken = header.cbSrcLengthUsed;
    at += header.cbSrcLengthUsed;
    out += header.cbDstLengthUsed;
    if (n == 0 && header.cbDstLengthUsed == 0) break;
  }
  HeapWatch::on = false;
  EXPECT_LT(first_taken, stream.size()) << "the rest is handed again";
  EXPECT_EQ(out, 4199u * 128 * 4);
  std::printf("%zu calls, heap peak %zu bytes\n", calls, HeapWatch::peak);
  if (watched) {
    EXPECT_LT(HeapWatch::peak, 4u << 20);
  }

  std::string chain;
  std::vector<std::string> links;
  for (uint32_t k = 0; k < 3000; ++k) {
    vorbis_writer::Stream link;
    link.serial = 1000 + k;
    link.short_exponent = 6 + k % 3;  // 32, 64 or 128 frames a packet
    link.packets = 4;
    link.per_page = 1;
    links.push_back(vorbis_writer::Write(link));
    chain += links.back();
  }
  VorbisDecoder decoder(2, 0);
  EXPECT_EQ(Feed(decoder, chain, 65536).size(), 1000u * 3 * (32 + 64 + 128) * 4);
  for (uint32_t k : {2999u, 0u, 1501u, 763u, 2248u}) {
    decoder.Restart();
    // From the page of its second packet (after the headers' two pages):
    // the first decoded after a move gives nothing, the next two give
    // their frames, as many as this link's block size makes.
    const std::vector<size_t> pages = PageStarts(ToBytes(links[k]));
    const Bytes pcm = Feed(decoder, links[k].substr(pages[3]), 4096);
    EXPECT_EQ(pcm.size(), 2u * (32u << (k % 3)) * 4) << "link " << k;
  }
}

}  // namespace
