// The repair of unfinished recordings on arbitrary bytes: it never reads or
// writes outside the file, writes only the two size fields, and a repaired
// file's sizes fit inside it.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "sound_files/wave_repair.h"

namespace {

class FuzzFile : public RandomAccessFile {
 public:
  explicit FuzzFile(std::vector<uint8_t> bytes) : bytes(std::move(bytes)) {}
  bool ReadAt(uint32_t offset, void* buffer, uint32_t count) override {
    if (offset > bytes.size() || count > bytes.size() - offset) return false;
    std::memcpy(buffer, bytes.data() + offset, count);
    return true;
  }
  bool WriteAt(uint32_t offset, const void* buffer, uint32_t count) override {
    if (offset > bytes.size() || count > bytes.size() - offset) __builtin_trap();
    std::memcpy(bytes.data() + offset, buffer, count);
    ++writes;
    return true;
  }
  std::vector<uint8_t> bytes;
  int writes = 0;
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
