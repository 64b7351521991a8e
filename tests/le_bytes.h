// The tests' one little-endian reader and writer (unit, fuzz and end-to-end
// tests, benchmarks): numbers of 2 and 4 bytes, low byte first, appended to,
// set in or read from any sequence of bytes (std::string,
// std::vector<uint8_t>, and for reads a pointer). Portable.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// Appends v's low 2 or 4 bytes.
template <class Bytes>
void PutU16(Bytes& b, uint32_t v) {
  using Byte = typename Bytes::value_type;
  b.push_back(static_cast<Byte>(v & 0xFF));
  b.push_back(static_cast<Byte>((v >> 8) & 0xFF));
}
template <class Bytes>
void PutU32(Bytes& b, uint32_t v) {
  PutU16(b, v & 0xFFFF);
  PutU16(b, v >> 16);
}
// The same as bytes of their own, for files built by concatenation.
inline std::string Le16(uint32_t v) {
  std::string b;
  PutU16(b, v);
  return b;
}
inline std::string Le32(uint32_t v) {
  std::string b;
  PutU32(b, v);
  return b;
}

// Sets the 2 or 4 bytes at `at`, which the caller has made sure are there.
template <class Bytes>
void SetU16(Bytes& b, size_t at, uint32_t v) {
  using Byte = typename Bytes::value_type;
  b[at] = static_cast<Byte>(v & 0xFF);
  b[at + 1] = static_cast<Byte>((v >> 8) & 0xFF);
}
template <class Bytes>
void SetU32(Bytes& b, size_t at, uint32_t v) {
  SetU16(b, at, v & 0xFFFF);
  SetU16(b, at + 2, v >> 16);
}

// Reads the number at `at`, which the caller has made sure is there.
template <class Bytes>
uint16_t GetU16(const Bytes& b, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8);
}
template <class Bytes>
uint32_t GetU32(const Bytes& b, size_t at) {
  return GetU16(b, at) | static_cast<uint32_t>(GetU16(b, at + 2)) << 16;
}
// The same from a container that may end before it: `missing` then.
template <class Bytes>
uint16_t GetU16Or(const Bytes& b, size_t at, uint16_t missing) {
  return at <= b.size() && b.size() - at >= 2 ? GetU16(b, at) : missing;
}
template <class Bytes>
uint32_t GetU32Or(const Bytes& b, size_t at, uint32_t missing) {
  return at <= b.size() && b.size() - at >= 4 ? GetU32(b, at) : missing;
}
