// Decodes an Ogg Vorbis file through the audio compression manager as the
// wave mapper does when TAPEON plays it: the format record TAPEON builds,
// source blocks of one size read from the file in turn, the destination
// sized by acmStreamSize; the last block is marked ACM_STREAMCONVERTF_END,
// then conversions of an empty source drain what is held. What the driver
// did not take of a block (cbSrcLengthUsed) is handed again at the front of
// the next, as a host does that converts large blocks (the wave mapper
// would lose it; the tool says how often it happened). Writes the PCM as
// it comes (OUT.RAW "-": nowhere) and prints the sound's length, the
// conversion time and the process's peak memory (the speed and memory
// benchmarks and end-to-end checks of the codec).
//   tool_acm_decode IN.OGG OUT.RAW [BLOCK_BYTES [suggest]]
// With "suggest" the PCM format is the one acmFormatSuggest offers, and the
// tool says whether the wave output device takes it.
// Exit code 0 when every block converted and the drain ended (and the
// driver does not answer a message it does not know with success); 1, with
// the failing call's code, when not.
#include <windows.h>
#include <psapi.h>
#include <mmsystem.h>
#include <mmreg.h>
#include <msacm.h>

#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "driver.h"
#include "sound_files/analysis_report.h"
#include "sound_files/byte_source.h"
#include "base/format_record.h"
#include "sound_files/ogg_analysis.h"

namespace {

// The file as the analysis reads it, from the disk: only what is asked.
class FileSource final : public ByteSource {
 public:
  explicit FileSource(FILE* file) : file_(file) {
    std::fseek(file_, 0, SEEK_END);
    size_ = static_cast<uint32_t>(std::ftell(file_));
    std::fseek(file_, 0, SEEK_SET);
  }
  uint32_t Read(void* buffer, uint32_t count) override {
    return static_cast<uint32_t>(std::fread(buffer, 1, count, file_));
  }
  bool Seek(uint32_t offset) override { return std::fseek(file_, static_cast<long>(offset), SEEK_SET) == 0; }
  uint32_t Position() override { return static_cast<uint32_t>(std::ftell(file_)); }
  uint32_t Size() override { return size_; }

 private:
  FILE* file_;
  uint32_t size_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: tool_acm_decode IN.OGG OUT.RAW [BLOCK_BYTES]\n");
    return 2;
  }
  const size_t block = argc > 3 ? static_cast<size_t>(std::atol(argv[3])) : 8192;
  const bool suggest = argc > 4 && std::string(argv[4]) == "suggest";
  FILE* in = std::fopen(argv[1], "rb");
  if (!in || block == 0) return 2;
  FileSource source(in);
  const size_t file_size = source.Size();
  AnalysisReport report;
  std::vector<uint8_t> record;
  if (AnalyzeOgg(source, 0, report, record) != ANALYSIS_OK) return 2;
  std::fseek(in, 0, SEEK_SET);
  const bool keep = std::string(argv[2]) != "-";
  FILE* out = keep ? std::fopen(argv[2], "wb") : nullptr;
  if (keep && !out) return 2;
  auto* vorbis = reinterpret_cast<WAVEFORMATEX*>(record.data());
  // Room for any format the installed drivers know (acmFormatSuggest
  // insists on it).
  DWORD largest = sizeof(WAVEFORMATEXTENSIBLE);
  acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &largest);
  std::vector<uint8_t> format(std::max<size_t>(largest, sizeof(WAVEFORMATEXTENSIBLE)));
  WAVEFORMATEX& pcm = *reinterpret_cast<WAVEFORMATEX*>(format.data());
  pcm = {WAVE_FORMAT_PCM, vorbis->nChannels, vorbis->nSamplesPerSec, 0, static_cast<WORD>(vorbis->nChannels * 2), 16, 0};
  pcm.nAvgBytesPerSec = pcm.nSamplesPerSec * pcm.nBlockAlign;
  if (suggest) {
    const MMRESULT got = acmFormatSuggest(nullptr, vorbis, &pcm, static_cast<DWORD>(format.size()), 0);
    if (got != MMSYSERR_NOERROR) {
      std::fprintf(stderr, "acmFormatSuggest: %u\n", got);
      return 1;
    }
    const auto& extensible = reinterpret_cast<const WAVEFORMATEXTENSIBLE&>(pcm);
    const bool device = waveOutOpen(nullptr, WAVE_MAPPER, &pcm, 0, 0, WAVE_FORMAT_QUERY) == MMSYSERR_NOERROR;
    const bool mapper = waveOutOpen(nullptr, WAVE_MAPPER, vorbis, 0, 0, WAVE_FORMAT_QUERY) == MMSYSERR_NOERROR;
    std::printf("format 0x%04X, %u channels, mask 0x%lX; the device takes it: %s; the mapper takes the Ogg format: %s\n",
                pcm.wFormatTag, pcm.nChannels,
                pcm.wFormatTag == WAVE_FORMAT_EXTENSIBLE ? static_cast<unsigned long>(extensible.dwChannelMask) : 0ul,
                device ? "yes" : "no", mapper ? "yes" : "no");
  }
  HACMSTREAM stream = nullptr;
  MMRESULT opened = acmStreamOpen(&stream, nullptr, vorbis, &pcm, nullptr, 0, 0, 0);
  if (opened != MMSYSERR_NOERROR) {
    std::fprintf(stderr, "acmStreamOpen: %u\n", opened);
    return 1;
  }
  // A message the driver does not know must not be answered with success.
  HACMDRIVERID id = nullptr;
  HACMDRIVER driver = nullptr;
  if (acmDriverID(reinterpret_cast<HACMOBJ>(stream), &id, 0) == MMSYSERR_NOERROR &&
      acmDriverOpen(&driver, id, 0) == MMSYSERR_NOERROR) {
    const LRESULT answer = acmDriverMessage(driver, ACMDM_USER + 77, 0, 0);
    acmDriverClose(driver, 0);
    if (answer == MMSYSERR_NOERROR) {
      std::fprintf(stderr, "the driver answers an unknown message with success\n");
      acmStreamClose(stream, 0);
      return 1;
    }
  }
  unsigned long long pcm_bytes = 0;
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  int status = 0;
  std::vector<uint8_t> src(block), dst;
  // The blocks, then empty ones until nothing more comes (a bounded number:
  // a drain that never ends is a failure).
  size_t empty_calls = 0, read = 0, pending = 0, partial = 0;
  while (status == 0) {
    const size_t more = std::min(block - pending, file_size - read);
    if (more > 0 && std::fread(src.data() + pending, 1, more, in) != more) status = 1;
    read += more;
    const DWORD n = static_cast<DWORD>(pending + more);
    const DWORD flags = n > 0 && read == file_size ? ACM_STREAMCONVERTF_END : 0;
    if (n == 0 && ++empty_calls > 100) {
      std::fprintf(stderr, "the drain does not end\n");
      status = 1;
      break;
    }
    DWORD size = 0;
    const MMRESULT sized = acmStreamSize(stream, n, &size, ACM_STREAMSIZEF_SOURCE);
    if (sized != MMSYSERR_NOERROR) {
      std::printf("acmStreamSize: %u\n", sized);
      status = 1;
      break;
    }
    dst.resize(size);
    ACMSTREAMHEADER header = {};
    header.cbStruct = sizeof header;
    header.pbSrc = src.data();
    header.cbSrcLength = n;
    header.pbDst = dst.data();
    header.cbDstLength = size;
    if (acmStreamPrepareHeader(stream, &header, 0) != MMSYSERR_NOERROR) {
      status = 1;
      break;
    }
    const MMRESULT converted = acmStreamConvert(stream, &header, flags);
    // A call that takes nothing must give sound, or the host would go round
    // for ever.
    if (converted != MMSYSERR_NOERROR || header.cbSrcLengthUsed > n ||
        (n > 0 && header.cbSrcLengthUsed == 0 && header.cbDstLengthUsed == 0)) {
      std::printf("acmStreamConvert: %u, %lu of %lu bytes taken\n", converted,
                  static_cast<unsigned long>(header.cbSrcLengthUsed), static_cast<unsigned long>(n));
      status = 1;
    }
    if (out) std::fwrite(dst.data(), 1, header.cbDstLengthUsed, out);
    pcm_bytes += header.cbDstLengthUsed;
    acmStreamUnprepareHeader(stream, &header, 0);
    if (status != 0 || (n == 0 && header.cbDstLengthUsed == 0)) break;
    pending = n - header.cbSrcLengthUsed;
    if (pending > 0) {
      ++partial;
      std::memmove(src.data(), src.data() + header.cbSrcLengthUsed, pending);
    }
  }
  QueryPerformanceCounter(&end);
  acmStreamClose(stream, 0);
  std::fclose(in);
  const double seconds = static_cast<double>(pcm_bytes) / pcm.nAvgBytesPerSec;
  const double convert = static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart;
  PROCESS_MEMORY_COUNTERS memory = {};
  memory.cb = sizeof memory;
  GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
  std::printf("sound %.3f s (%llu frames), conversion %.3f s, %.0f times real time\n", seconds,
              pcm_bytes / pcm.nBlockAlign, convert, convert > 0 ? seconds / convert : 0.0);
  std::printf("blocks taken in part %zu\n", partial);
  std::printf("peak working set %lu KB, peak private %lu KB\n",
              static_cast<unsigned long>(memory.PeakWorkingSetSize / 1024),
              static_cast<unsigned long>(memory.PeakPagefileUsage / 1024));
  if (out && std::fclose(out) != 0) return 1;
  return status;
}
