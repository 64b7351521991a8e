#include "sound_files/analysis_report.h"

#include <cstdarg>
#include <cstdio>

std::string FormatText(const char* format, ...) {
  char buffer[512];
  va_list args;
  va_start(args, format);
  int n = vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  if (n < 0) return std::string();
  if (static_cast<size_t>(n) < sizeof buffer) return std::string(buffer, static_cast<size_t>(n));
  std::string text(static_cast<size_t>(n) + 1, '\0');
  va_start(args, format);
  vsnprintf(&text[0], text.size(), format, args);
  va_end(args);
  text.resize(static_cast<size_t>(n));
  return text;
}
