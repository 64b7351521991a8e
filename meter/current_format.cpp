#include "meter/current_format.h"

namespace {

uint16_t U16At(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t U32At(const uint8_t* p) { return U16At(p) | static_cast<uint32_t>(U16At(p + 2)) << 16; }

constexpr size_t kHeaderBytes = 14;
constexpr size_t kWithBits = 16;

}  // namespace

CurrentFormat CurrentFormatOf(const uint8_t* record, size_t size) {
  CurrentFormat f;
  if (record == nullptr || size < kHeaderBytes) return f;
  // A 15-byte record holds the low byte of the bits per sample.
  const uint16_t bits = size >= kWithBits ? U16At(record + 14) : size > kHeaderBytes ? record[14] : 0;
  static_cast<DisplayFormat&>(f) =
      MakeDisplayFormat(U16At(record), U16At(record + 2), U32At(record + 4), U32At(record + 8), U16At(record + 12), bits);
  f.rate = U32At(record + 4);
  f.layout = PcmLayoutOf(record, size);
  return f;
}
