// The codec driver's decoding core on files made by oggenc
// (tests/fixtures/codec.sh), checked sample for sample against oggdec's
// output of the same file, whole and damaged. The directory comes from
// TAPEON_FIXTURES; without it these tests are skipped.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "codec/vorbis_decoder.h"

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

class CodecVorbis : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* dir = std::getenv("TAPEON_FIXTURES");
    if (!dir || !*dir) GTEST_SKIP() << "TAPEON_FIXTURES is not set; make the files with tests/fixtures/codec.sh";
    dir_ = dir;
    if (!std::ifstream(dir_ + "/codec_tone44.ogg"))
      GTEST_SKIP() << "no codec_* fixtures in " << dir_ << "; make them with tests/fixtures/codec.sh";
  }

  Bytes Load(const std::string& name) {
    std::ifstream in(dir_ + "/" + name, std::ios::binary);
    EXPECT_TRUE(in.good()) << name;
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
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
      EXPECT_LE(r.produced, estimate) << "piece " << piece << " at " << at;
      pcm.insert(pcm.end(), out.begin(), out.begin() + r.produced);
      if (n == 0 && r.produced == 0) break;
      at += n;
    } while (true);
    return pcm;
  }

  static Bytes DecodeWhole(VorbisDecoder& decoder, const Bytes& file) { return DecodeInPieces(decoder, file, file.size()); }

  std::string dir_;
};

TEST_F(CodecVorbis, AnyPiecesGiveExactlyWhatOggdecGives) {
  for (const Tone& tone : kTones) {
    const Bytes file = Load(std::string(tone.name) + ".ogg");
    const Bytes reference = Load(std::string(tone.name) + ".raw");
    ASSERT_GT(reference.size(), 0u);
    for (size_t piece : {1, 7, 4096, 65536}) {
      VorbisDecoder decoder(tone.channels, tone.ratio);
      const Bytes pcm = DecodeInPieces(decoder, file, piece);
      EXPECT_TRUE(decoder.has_headers());
      EXPECT_EQ(decoder.held_bytes(), 0u);
      ASSERT_EQ(pcm.size(), reference.size()) << tone.name << " in pieces of " << piece;
      EXPECT_TRUE(pcm == reference) << tone.name << " in pieces of " << piece;
    }
  }
}

// A destination smaller than what a block decodes to: the rest is held back,
// whole frames are handed out, and calls without input empty what is held.
TEST_F(CodecVorbis, SmallDestinationsGetEverythingInTurn) {
  const Bytes file = Load("codec_tone44.ogg");
  const Bytes reference = Load("codec_tone44.raw");
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
  const Bytes a_pcm = Load("codec_tone44.raw");
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
      const int16_t v = static_cast<int16_t>(pcm[12 * k + 2 * c] | pcm[12 * k + 2 * c + 1] << 8);
      if (k > 0 && (v < 0) != (previous < 0)) ++crossings;
      previous = v;
    }
    EXPECT_NEAR(crossings / 2.0 / (frames / 44100.0), expected[c], 5.0) << "channel " << c;
  }
}

// Damage inside the audio: what cannot be decoded is skipped, the rest plays.
TEST_F(CodecVorbis, DamagedPagesAreSkipped) {
  const Bytes file = Load("codec_tone44.ogg");
  const Bytes reference = Load("codec_tone44.raw");
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

// ---- Streams and callers that ask for too much -------------------------------

// The heap in use while a hostile stream is decoded: tracked through the
// sanitizer's allocation hooks (libvorbis allocates with malloc).
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*, size_t),
                                                         void (*)(const volatile void*));
extern "C" size_t __sanitizer_get_allocated_size(const volatile void*);

struct HeapWatch {
  static inline bool on = false;
  static inline size_t live = 0, peak = 0;
  // Far above what decoding a real file costs; a decoder that believes the
  // hostile file would go on to gigabytes, so the run stops here instead.
  static constexpr size_t kLimit = 64 * 1024 * 1024;
  static void OnMalloc(const volatile void*, size_t size) {
    if (!on) return;
    live += size;
    peak = std::max(peak, live);
    if (live > kLimit) {
      std::fprintf(stderr, "more than %zu bytes on the heap while decoding a hostile stream\n", kLimit);
      std::abort();
    }
  }
  static void OnFree(const volatile void* p) {
    if (on && p != nullptr) live -= std::min(live, __sanitizer_get_allocated_size(p));
  }
};

// A 3 KB file whose setup header declares 256 codebooks of 2^24-1 entries
// (tests/fixtures/codec.sh) is refused within a few megabytes; a caller's
// byte rate of 1 does not make the estimate of an 8 KB block grow past what
// a real stream can decode to.
TEST_F(CodecVorbis, HostileSetupAndRatesStayBounded) {
#if defined(__SANITIZE_ADDRESS__)
  static const bool hooked = __sanitizer_install_malloc_and_free_hooks(HeapWatch::OnMalloc, HeapWatch::OnFree);
  ASSERT_TRUE(hooked);
  const Bytes file = Load("codec_huge_books.ogg");
  ASSERT_LT(file.size(), 4096u);
  Bytes out(65536);
  HeapWatch::live = HeapWatch::peak = 0;
  HeapWatch::on = true;
  {
    VorbisDecoder decoder(2, kRatio44);
    const DecodeResult r = decoder.Convert(file.data(), file.size(), out.data(), out.size());
    EXPECT_TRUE(decoder.failed());
    EXPECT_EQ(r.produced, 0u);
  }
  HeapWatch::on = false;
  std::printf("peak heap %zu bytes\n", HeapWatch::peak);
  EXPECT_LT(HeapWatch::peak, 4u * 1024 * 1024);
#else
  GTEST_SKIP() << "needs AddressSanitizer's allocation hooks";
#endif

  VorbisDecoder greedy(2, 176400.0 / 1);
  EXPECT_LE(greedy.EstimateOutput(8192), 8u * 1024 * 1024);
  VorbisDecoder modest(2, 176400.0 / 4e9);
  EXPECT_LE(modest.EstimateInput(65536), 65536u);
}

}  // namespace
