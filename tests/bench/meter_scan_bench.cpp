// The meter's peak scan at stride 1 over a buffer of several MB, for each
// sample class, beside memcpy of the same buffer in the same run. The scan is
// the program's inner loop; it should be no slower than copying the data.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "meter/levels.h"

namespace {

constexpr size_t kBufferBytes = 8u << 20;

// A deterministic signal that never reaches full scale, so nothing is skipped.
const std::vector<uint8_t>& Signal() {
  static const std::vector<uint8_t> data = [] {
    std::vector<uint8_t> bytes(kBufferBytes);
    uint32_t state = 12345;
    for (auto& b : bytes) {
      state = state * 1103515245u + 12345u;
      b = static_cast<uint8_t>(64 + (state >> 24) % 128);
    }
    return bytes;
  }();
  return data;
}

void BM_MemcpyBuffer(benchmark::State& state) {
  const std::vector<uint8_t>& source = Signal();
  std::vector<uint8_t> target(source.size());
  for (auto _ : state) {
    memcpy(target.data(), source.data(), source.size());
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(source.size()));
}

void BM_ScanPeaks(benchmark::State& state) {
  const int sample_class = static_cast<int>(state.range(0));
  const std::vector<uint8_t>& source = Signal();
  for (auto _ : state) {
    ChannelPeaks peaks = ScanPeaks(sample_class, source.data(), static_cast<long>(source.size()), 1);
    benchmark::DoNotOptimize(peaks);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(source.size()));
  static const char* const kNames[] = {"8-bit mono", "16-bit mono", "8-bit stereo", "16-bit stereo"};
  state.SetLabel(kNames[sample_class]);
}

// The wide layouts the scan reads directly: 24-bit, 32-bit and float stereo,
// and 16-bit 5.1 (of which two channels are read).
void BM_ScanPcmPeaks(benchmark::State& state) {
  static const struct {
    const char* name;
    unsigned channels, bytes;
    bool is_float;
  } kLayouts[] = {{"24-bit stereo", 2, 3, false}, {"32-bit stereo", 2, 4, false}, {"float stereo", 2, 4, true},
                  {"16-bit 6 channels", 6, 2, false}};
  const auto& l = kLayouts[state.range(0)];
  PcmLayout layout;
  layout.direct = true;
  layout.channels = l.channels;
  layout.bytes_per_sample = l.bytes;
  layout.is_float = l.is_float;
  const std::vector<uint8_t>& source = Signal();
  for (auto _ : state) {
    ChannelPeaks peaks = ScanPcmPeaks(layout, source.data(), static_cast<long>(source.size()), 1);
    benchmark::DoNotOptimize(peaks);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(source.size()));
  state.SetLabel(l.name);
}

BENCHMARK(BM_MemcpyBuffer);
BENCHMARK(BM_ScanPcmPeaks)->DenseRange(0, 3);
BENCHMARK(BM_ScanPeaks)->DenseRange(0, 3);

}  // namespace
