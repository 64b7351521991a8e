// The repair of unfinished recordings on arbitrary bytes: it never reads or
// writes outside the file, writes only the two size fields, and a repaired
// file's sizes fit inside it; a recording's tail found after its declared
// data is what the repair then adds to it, whole frames and not all zeros.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "sound_files/wave_repair.h"
#include "tests/le_bytes.h"

namespace {

// Every write must lie inside the file.
class FuzzFile : public WritableMemorySource {
 public:
  explicit FuzzFile(std::vector<uint8_t> data) : WritableMemorySource(std::move(data)) {}
  uint32_t Write(const void* buffer, uint32_t count) override {
    if (Fits(count) != count) __builtin_trap();
    ++writes;
    return WritableMemorySource::Write(buffer, count);
  }
  int writes = 0;
};


}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzFile file(std::vector<uint8_t>(data, data + size));
  const RecordingTail tail = FindRecordingTail(file, size);
  const RepairPlan plan = PlanWaveRepair(file, size);
  if (tail.bytes != 0 && (!plan.repairable || tail.bytes > plan.data_size ||
                          GetU32(file.bytes, plan.data_size_offset) + static_cast<uint64_t>(tail.bytes) != plan.data_size))
    __builtin_trap();
  if (tail.bytes != 0) {
    const uint16_t block_align = GetU16(file.bytes, 32);
    const size_t tail_start = plan.data_size_offset + 4 + GetU32(file.bytes, plan.data_size_offset);
    bool zeros = true;
    for (size_t k = tail_start; k < tail_start + tail.bytes; ++k) zeros = zeros && data[k] == 0;
    if (block_align == 0 || tail.bytes % block_align != 0 || zeros || tail.bytes_per_sec == 0) __builtin_trap();
  }
  if (!RepairWaveFile(file, size)) {
    if (file.writes != 0 || std::memcmp(file.bytes.data(), data, size) != 0) __builtin_trap();
    return 0;
  }
  if (!plan.repairable || file.writes != 2) __builtin_trap();
  if (GetU32(file.bytes, 4) + 8ull > size) __builtin_trap();
  if (static_cast<uint64_t>(plan.data_size_offset) + 4 + plan.data_size > size) __builtin_trap();
  return 0;
}
