// The repair of unfinished recordings on arbitrary bytes: it never reads or
// writes outside the file, writes only the two size fields, and a repaired
// file's sizes fit inside it.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "sound_files/wave_repair.h"

namespace {

class FuzzFile : public ByteSource {
 public:
  explicit FuzzFile(std::vector<uint8_t> bytes) : bytes(std::move(bytes)) {}
  uint32_t Read(void* buffer, uint32_t count) override {
    if (position_ >= bytes.size()) return 0;
    const uint32_t n = static_cast<uint32_t>(std::min<size_t>(count, bytes.size() - position_));
    std::memcpy(buffer, bytes.data() + position_, n);
    position_ += n;
    return n;
  }
  uint32_t Write(const void* buffer, uint32_t count) override {
    if (position_ > bytes.size() || count > bytes.size() - position_) __builtin_trap();
    std::memcpy(bytes.data() + position_, buffer, count);
    position_ += count;
    ++writes;
    return count;
  }
  bool Seek(uint32_t offset) override {
    position_ = offset;
    return true;
  }
  uint32_t Position() override { return position_; }
  uint32_t Size() override { return static_cast<uint32_t>(bytes.size()); }
  std::vector<uint8_t> bytes;
  int writes = 0;

 private:
  uint32_t position_ = 0;
};

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzFile file(std::vector<uint8_t>(data, data + size));
  const RepairPlan plan = PlanWaveRepair(file, size);
  const int result = RepairWaveFile(file, size);
  if (result != 0) {
    if (file.writes != 0 || std::memcmp(file.bytes.data(), data, size) != 0) __builtin_trap();
    return 0;
  }
  if (!plan.repairable || file.writes != 2) __builtin_trap();
  if (U32(file.bytes, 4) + 8ull > size) __builtin_trap();
  if (static_cast<uint64_t>(plan.data_size_offset) + 4 + plan.data_size > size) __builtin_trap();
  return 0;
}
