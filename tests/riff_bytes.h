// The tests' one builder of hand-made RIFF files (unit and end-to-end tests):
// chunks, the RIFF header and the WAVE format chunk, as bytes in a
// std::string, with the little-endian numbers of tests/le_bytes.h. Portable.
#pragma once
#include <cstdint>
#include <string>

#include "tests/le_bytes.h"

namespace riff_bytes {

using ::Le16;
using ::Le32;

// A chunk: identifier, size, body, and a pad byte for an odd body.
inline std::string Chunk(const std::string& id, const std::string& body, bool pad = true) {
  std::string b = id + Le32(static_cast<uint32_t>(body.size())) + body;
  if (pad && (body.size() & 1)) b.push_back('\0');
  return b;
}

// "RIFF", its size (the rest of the file, or `riff_size` when given), the form
// type and the chunks.
inline std::string Riff(const std::string& form, const std::string& chunks, long long riff_size = -1) {
  const uint32_t size = riff_size < 0 ? static_cast<uint32_t>(chunks.size() + 4) : static_cast<uint32_t>(riff_size);
  return "RIFF" + Le32(size) + form + chunks;
}

// The 16-byte body of a "fmt " chunk.
inline std::string FormatBody(uint16_t tag, uint16_t channels, uint32_t rate, uint32_t byte_rate, uint16_t block_align,
                              uint16_t bits) {
  return Le16(tag) + Le16(channels) + Le32(rate) + Le32(byte_rate) + Le16(block_align) + Le16(bits);
}

// The 44-byte header of a WAVE file whose data chunk of data_size bytes
// follows it (the RIFF size counts the data and its pad byte).
inline std::string WaveHeader(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, uint32_t data_size,
                              uint16_t block_align, uint32_t byte_rate) {
  return Riff("WAVE", Chunk("fmt ", FormatBody(tag, channels, rate, byte_rate, block_align, bits)) + "data" +
                          Le32(data_size),
              36LL + data_size + (data_size & 1));
}

}  // namespace riff_bytes
