// A valid Ogg Vorbis stream that the tests' writer makes
// (tests/vorbis_writer.h), chosen by the input: up to 256 links of 1 to 8
// channels, block sizes and modes of their own, now and then one of another
// rate (skipped), packets padded to make megabytes, large comments. The
// decoding core (libogg and libvorbis built with the same instrumentation,
// codec/build_libs.sh --fuzz) is handed it in pieces of any size, each again
// from where the decoder stopped taking, into destinations of any size.
// Properties: it decodes to its last frame (as many frames as the links
// played make), never fails, every call takes input or gives sound, no more
// input is taken than given, the output is whole frames within the room, and
// the stream's memory stays within a few megabytes however it is handed
// over.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "codec/vorbis_decoder.h"
#include "tests/vorbis_writer.h"

namespace {

// The input's bytes in turn; zeros past its end.
class Cursor {
 public:
  Cursor(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint32_t U8() { return at_ < size_ ? data_[at_++] : 0; }
  uint32_t U16() { return U8() | U8() << 8; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

// The most a stream may hold: it is written and decoded in a fraction of a
// second (4 MB of packets, 131,072 samples, comments of 4 MB, ten thousand
// calls).
constexpr uint64_t kMostBytes = 4u << 20;
constexpr uint64_t kMostSamples = 1u << 17;
constexpr uint64_t kMostComments = 1u << 20;
constexpr size_t kMostCalls = 10000;
// The stream's memory: at most a megabyte waiting, libogg's buffer while it
// grows, the decoder of 8 channels of long blocks, and the links' nodes.
constexpr size_t kMostMemory = 4u << 20;
constexpr size_t kMostMemoryPerLink = 256;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Cursor in(data, size);
  const int channels = static_cast<int>(in.U8() % VorbisDecoder::kMaxChannels) + 1;
  const int links = static_cast<int>(in.U16() % 256) + 1;
  const size_t padding = in.U16() % 4096;
  size_t piece = 1 + (static_cast<size_t>(in.U16()) << (in.U8() % 12));
  const size_t frame = static_cast<size_t>(channels) * 2;
  size_t room = frame * (1 + in.U16() % (1u << (in.U8() % 17)));
  // Each link takes its choices from the next bytes.
  std::string stream;
  uint64_t frames = 0, samples = 0, written = 0, comments = 0;
  uint32_t first_rate = 0;
  for (int k = 0; k < links; ++k) {
    vorbis_writer::Stream s;
    s.serial = static_cast<uint32_t>(k) + 1;
    s.channels = static_cast<int>(in.U8() % 8) + 1;
    const uint32_t rates[] = {44100, 48000};
    const uint32_t shape = in.U8();
    s.rate = rates[shape & 1];
    s.short_exponent = 6 + static_cast<int>((shape >> 1) % 6);
    s.long_exponent = s.short_exponent + static_cast<int>((shape >> 4) % (14 - s.short_exponent));
    const uint32_t modes = (shape >> 7) ? in.U8() % 3 : 0;
    s.setup.modes = modes == 0 ? std::vector<vorbis_writer::Mode>{{false, 0}}
                    : modes == 1 ? std::vector<vorbis_writer::Mode>{{true, 0}}
                                 : std::vector<vorbis_writer::Mode>{{false, 0}, {true, 0}};
    const uint64_t wanted = in.U8();
    s.per_page = static_cast<int>(in.U8() % 64) + 1;
    s.packet_padding = padding;
    if (in.U8() == 0xC0)
      s.comments = static_cast<uint32_t>(std::min<uint64_t>(in.U16() << 5, kMostComments - comments));
    comments += s.comments;
    if (first_rate == 0) first_rate = s.rate;
    // Its packets, as many as the bounds leave, and the frames they make
    // when the link plays (one of another rate is skipped).
    uint64_t link_frames = 0;
    int64_t previous = -1;
    for (; s.packets < wanted && written + (s.packets + 1) * (padding + 2) <= kMostBytes; ++s.packets) {
      const bool long_block = s.setup.modes[s.packets % s.setup.modes.size()].long_block;
      const int64_t block = int64_t{1} << (long_block ? s.long_exponent : s.short_exponent);
      const uint64_t more = previous > 0 ? static_cast<uint64_t>(previous / 4 + block / 4) : 0;
      if (samples + (link_frames + more) * static_cast<uint64_t>(s.channels) > kMostSamples) break;
      link_frames += more;
      previous = block;
    }
    samples += link_frames * static_cast<uint64_t>(s.channels);
    written += s.packets * (padding + 2);
    stream += vorbis_writer::Write(s);
    if (s.rate == first_rate) frames += link_frames;
  }
  // Quick enough: ten thousand calls at most.
  piece = std::max(piece, stream.size() / kMostCalls);
  room = std::max<size_t>(room, frames / kMostCalls * frame);
  VorbisDecoder decoder(channels, 0);
  std::vector<uint8_t> out(room);
  const auto* bytes = reinterpret_cast<const uint8_t*>(stream.data());
  uint64_t produced = 0;
  for (size_t at = 0;;) {
    const size_t n = std::min(piece, stream.size() - at);
    const DecodeResult r = decoder.Convert(bytes + at, n, out.data(), out.size());
    if (r.consumed > n || r.produced > room || r.produced % frame != 0) __builtin_trap();
    if (decoder.failed() || (r.consumed == 0 && r.produced == 0 && n > 0)) __builtin_trap();
    produced += r.produced;
    at += r.consumed;
    if (n == 0 && r.produced == 0) break;
  }
  if (produced != frames * frame) __builtin_trap();
  if (decoder.budget().peak() > kMostMemory + kMostMemoryPerLink * static_cast<size_t>(links)) __builtin_trap();
  return 0;
}

