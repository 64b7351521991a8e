// Decodes an Ogg Vorbis file through the audio compression manager as the
// wave mapper does when TAPEON plays it: the format record TAPEON builds,
// source blocks of one size, the destination sized by acmStreamSize, no
// conversion flags. Writes the PCM and prints the sound's length and the
// conversion time (the speed benchmark and an end-to-end check of the codec).
//   tool_acm_decode IN.OGG OUT.RAW [BLOCK_BYTES]
// Exit code 0 when every block converted.
#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>
#include <msacm.h>

#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "driver.h"
#include "sound_files/analysis_report.h"
#include "sound_files/byte_source.h"
#include "base/format_record.h"
#include "sound_files/ogg_analysis.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: tool_acm_decode IN.OGG OUT.RAW [BLOCK_BYTES]\n");
    return 2;
  }
  const size_t block = argc > 3 ? static_cast<size_t>(std::atol(argv[3])) : 8192;
  std::optional<std::string> text = e2e::ReadFileBytes(argv[1]);
  if (!text || block == 0) return 2;
  const std::vector<uint8_t> file(text->begin(), text->end());
  MemorySource source(file);
  AnalysisReport report;
  std::vector<uint8_t> record;
  if (AnalyzeOgg(source, 0, report, record) != ANALYSIS_OK) return 2;
  auto* vorbis = reinterpret_cast<WAVEFORMATEX*>(record.data());
  WAVEFORMATEX pcm = {WAVE_FORMAT_PCM, vorbis->nChannels, vorbis->nSamplesPerSec, 0,
                      static_cast<WORD>(vorbis->nChannels * 2), 16, 0};
  pcm.nAvgBytesPerSec = pcm.nSamplesPerSec * pcm.nBlockAlign;
  HACMSTREAM stream = nullptr;
  MMRESULT opened = acmStreamOpen(&stream, nullptr, vorbis, &pcm, nullptr, 0, 0, 0);
  if (opened != MMSYSERR_NOERROR) {
    std::fprintf(stderr, "acmStreamOpen: %u\n", opened);
    return 1;
  }
  std::string out;
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  int status = 0;
  std::vector<uint8_t> dst;
  for (size_t at = 0; at < file.size() && status == 0; at += block) {
    const DWORD n = static_cast<DWORD>(std::min(block, file.size() - at));
    DWORD size = 0;
    if (acmStreamSize(stream, n, &size, ACM_STREAMSIZEF_SOURCE) != MMSYSERR_NOERROR) status = 1;
    dst.resize(size);
    ACMSTREAMHEADER header = {};
    header.cbStruct = sizeof header;
    header.pbSrc = const_cast<BYTE*>(file.data() + at);
    header.cbSrcLength = n;
    header.pbDst = dst.data();
    header.cbDstLength = size;
    if (status == 0 && acmStreamPrepareHeader(stream, &header, 0) == MMSYSERR_NOERROR) {
      if (acmStreamConvert(stream, &header, 0) != MMSYSERR_NOERROR || header.cbSrcLengthUsed != n) status = 1;
      out.append(reinterpret_cast<const char*>(dst.data()), header.cbDstLengthUsed);
      acmStreamUnprepareHeader(stream, &header, 0);
    } else {
      status = 1;
    }
  }
  QueryPerformanceCounter(&end);
  acmStreamClose(stream, 0);
  const double seconds = static_cast<double>(out.size()) / pcm.nAvgBytesPerSec;
  const double convert = static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart;
  std::printf("sound %.3f s, conversion %.3f s, %.0f times real time\n", seconds, convert,
              convert > 0 ? seconds / convert : 0.0);
  if (!e2e::WriteFileBytes(argv[2], out)) return 1;
  return status;
}
