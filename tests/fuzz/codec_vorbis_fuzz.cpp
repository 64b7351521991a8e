// The codec driver's decoding core on arbitrary bytes, handed over in pieces
// and into destinations whose sizes the first bytes choose, for 1 to 8
// channels, with restarts and resets between pieces. libogg and libvorbis
// are built with the same instrumentation (codec/build_libs.sh --fuzz).
// Properties: no more input is taken than given, the output is whole frames
// within the room given, a decoder that failed gives nothing more, and every
// size estimate is whole frames, within its bound and no less than what is
// held. What a call does not take is handed again at the front of the next.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "codec/vorbis_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5) return 0;
  const int channels = data[0] % VorbisDecoder::kMaxChannels + 1;
  const size_t piece = static_cast<size_t>(data[1]) * 64 + 1;
  const size_t room = static_cast<size_t>(data[2]) * 256 + 3;
  // Every how many calls the stream is restarted (a seek) or reset; 0: never.
  const unsigned restart_every = data[3] & 0x0F;
  const unsigned reset_every = data[3] >> 4;
  static const double kRatios[] = {0.0, 11.0, 1e-9, 1e9};
  const double ratio = kRatios[data[4] & 3];
  const bool last_flag = (data[4] & 0x80) != 0;  // the last piece comes as the last
  data += 5;
  size -= 5;
  VorbisDecoder decoder(channels, ratio);
  std::vector<uint8_t> out(room);
  const size_t frame = static_cast<size_t>(channels) * 2;
  unsigned calls = 0;
  auto convert = [&](const uint8_t* input, size_t n, bool last) {
    const bool failed_before = decoder.failed();
    const size_t held = decoder.held_bytes();
    const size_t estimate = decoder.EstimateOutput(n);
    if (estimate % frame != 0 || estimate > VorbisDecoder::kMaxEstimate || estimate < held / frame * frame)
      __builtin_trap();
    if (decoder.EstimateInput(room) > room) __builtin_trap();
    DecodeResult r = decoder.Convert(input, n, out.data(), out.size(), last);
    if (r.consumed > n || r.produced > room || r.produced % frame != 0) __builtin_trap();
    if (failed_before && r.produced > held) __builtin_trap();
    ++calls;
    if (restart_every != 0 && calls % restart_every == 0) decoder.Restart();
    if (reset_every != 0 && calls % (reset_every * 3) == 0) decoder.Reset();
    return r;
  };
  for (size_t at = 0; at < size;) {
    const size_t n = std::min(piece, size - at);
    const DecodeResult r = convert(data + at, n, last_flag && at + n == size);
    if (r.consumed == 0 && r.produced == 0) break;  // a room of less than a frame, full
    at += r.consumed;
  }
  // What is held comes out in turn.
  for (int k = 0; k < 1000 && convert(nullptr, 0, false).produced > 0; ++k) {
  }
  return 0;
}
