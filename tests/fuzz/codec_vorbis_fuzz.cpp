// The codec driver's decoding core on arbitrary bytes, handed over in pieces
// and into destinations whose sizes the first bytes choose. Properties: all
// input is taken, the output is whole frames within the room given, and a
// decoder that failed gives nothing more.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "codec/vorbis_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const int channels = data[0] % 2 + 1;
  const size_t piece = static_cast<size_t>(data[1]) * 64 + 1;
  const size_t room = static_cast<size_t>(data[2]) * 256 + 3;
  data += 3;
  size -= 3;
  VorbisDecoder decoder(channels, 11.0);
  std::vector<uint8_t> out(room);
  const size_t frame = static_cast<size_t>(channels) * 2;
  for (size_t at = 0; at <= size; at += piece) {
    const size_t n = at < size ? std::min(piece, size - at) : 0;
    const bool failed_before = decoder.failed();
    DecodeResult r = decoder.Convert(data + at, n, out.data(), out.size());
    if (r.consumed != n || r.produced > room || r.produced % frame != 0) __builtin_trap();
    if (failed_before && r.produced != 0) __builtin_trap();
    if (at == size) break;
  }
  // What is held comes out in turn.
  for (int k = 0; k < 1000 && decoder.held_bytes() > 0; ++k) decoder.Convert(nullptr, 0, out.data(), out.size());
  return 0;
}
