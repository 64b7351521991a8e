#include "app/about_texts.h"

#include <cstdio>

#include "resources/ja_dialogs.h"

namespace {

// 12 -> 0x12: two decimal digits as two hexadecimal ones.
unsigned DecimalDigits(unsigned value) { return ((value / 10) % 10) * 16 + value % 10; }

}  // namespace

const char* BuildCompilerName() {
#if defined(__clang__)
  return "clang";
#elif defined(__GNUC__)
  return "GCC";
#else
  return "C++";
#endif
}

unsigned BuildCompilerVersion() {
#if defined(__clang__)
  return DecimalDigits(__clang_major__) << 8 | DecimalDigits(__clang_minor__);
#elif defined(__GNUC__)
  return DecimalDigits(__GNUC__) << 8 | DecimalDigits(__GNUC_MINOR__);
#else
  return 0;
#endif
}

unsigned ReduceCompilerVersion(unsigned version) {
  if (version >= 0x450 && version <= 0x45F) return version - 0x50;
  if (version >= 0x460 && version <= 0x4FF) return version - 0x10;
  return version;
}

void FormatCompilerLine(const char* name, unsigned version, bool japanese, char* out, size_t size) {
  version = ReduceCompilerVersion(version & 0xFFFF);
  if (japanese)
    snprintf(out, size, "%s %x.%02x%s", name, version >> 8, version & 0xFF, ja::kMadeWithSuffix);
  else
    snprintf(out, size, "Made by %s %x.%02x", name, version >> 8, version & 0xFF);
}

void FormatDeviceCounts(int record_devices, int play_devices, bool japanese, char* out, size_t size) {
  snprintf(out, size, japanese ? ja::kDeviceCounts : "record device=%2d  play device=%2d", record_devices,
           play_devices);
}

const char* AboutAuthorLine(bool japanese) { return japanese ? ja::kAuthor : "by the TAPEON team"; }
const char* AboutWordSize(bool japanese) { return japanese ? ja::kWordSize : "32 bits"; }
const char* AboutFreeSoftware(bool japanese) { return japanese ? ja::kFreeSoftware : "This is free software"; }
