#include "app/command_line.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "base/text_rules.h"

namespace {

// A backslash that is a character of its own, not the second byte of a
// double-byte character.
bool IsRealBackslash(const unsigned char* text, size_t index) {
  return text[index] == '\\' && CharTypeAt(text, index) == 0;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A decimal number and nothing else: an optional sign, digits with at most
// one point, at least one digit. A path split at its slashes ("D:/Temp/x")
// gives tokens such as "/Temp" that must not read as an option with 0.
bool IsPlainNumber(const char* text) {
  if (*text == '+' || *text == '-') ++text;
  bool digits = false, point = false;
  for (; *text; ++text) {
    if (IsDigit(*text)) {
      digits = true;
    } else if (*text == '.' && !point) {
      point = true;
    } else {
      return false;
    }
  }
  return digits;
}

}  // namespace

void CopyArgument(char* destination, const char* source, size_t length) {
  const unsigned char* raw = reinterpret_cast<const unsigned char*>(source);
  size_t end = strnlen(source, length);
  while (end > 0 && IsBlank(source[end - 1])) --end;
  size_t out = 0;
  for (size_t k = 0; k < end; ++k) {
    char c = source[k];
    if (c == '"' && !(k > 0 && IsRealBackslash(raw, k - 1))) continue;
    if (IsRealBackslash(raw, k) && k + 1 < end && source[k + 1] == '"') continue;
    destination[out++] = c;
  }
  destination[out] = '\0';
}

std::vector<std::string> SplitCommandLine(const char* text) {
  std::vector<std::string> tokens;
  if (text == nullptr) return tokens;
  const unsigned char* raw = reinterpret_cast<const unsigned char*>(text);
  size_t length = strlen(text);

  auto store = [&](size_t start, size_t end) {
    std::string token(end - start + 1, '\0');
    CopyArgument(&token[0], text + start, end - start);
    token.resize(strlen(token.c_str()));
    tokens.push_back(token);
  };
  auto skip_blanks = [&](size_t k) {
    while (k < length && IsBlank(text[k])) ++k;
    return k;
  };

  size_t i = skip_blanks(0);
  bool quoted = false;
  size_t j = i;
  while (j < length && tokens.size() < MAX_COMMAND_LINE_TOKENS) {
    char c = text[j];
    if (c == '"' && !(j > 0 && IsRealBackslash(raw, j - 1))) {
      quoted = !quoted;
      ++j;
      continue;
    }
    bool ends = false;
    if (!quoted && j > i) {
      if (c == '/' && CharTypeAt(raw, j) == 0) ends = true;
      if (IsBlank(c) && (tokens.empty() || text[i] == '/')) ends = true;
    }
    if (!ends) {
      ++j;
      continue;
    }
    store(i, j);
    // The next token starts at the first non-blank; its first byte is
    // examined too, so a quote that opens it counts.
    i = skip_blanks(j);
    j = i;
  }
  if (i < length && tokens.size() < MAX_COMMAND_LINE_TOKENS) store(i, length);
  return tokens;
}

uint32_t RateOption(const char* digits) {
  unsigned long value = strtoul(digits, nullptr, 10);
  if (value > 999) return value > 0xFFFFFFFFul ? 0xFFFFFFFFu : static_cast<uint32_t>(value);
  char first = digits[0];
  char second = first ? digits[1] : '\0';
  switch (first) {
    case '9': return second == '6' ? 96000 : 88200;
    case '6': return 64000;
    case '5': return 48000;
    case '4': return 44100;
    case '3': return 32000;
    case '2': return second == '4' ? 24000 : 22050;
    case '1': return second == '2' ? 12000 : second == '6' ? 16000 : 11025;
    case '8': return 8000;
    default: return 0;
  }
}

void ApplyOptions(const std::vector<std::string>& tokens, Settings& settings, StartOptions& options) {
  for (size_t k = 1; k < tokens.size(); ++k) {
    const std::string& token = tokens[k];
    if (token.empty() || token[0] != '/') continue;
    char letter = token.size() > 1 ? Upper(token[1]) : '\0';
    // The letter options stand alone ("/P", "/m"); a longer word after a
    // slash is part of a path ("/Music", "/Sounds"), not an option.
    if (letter >= 'A' && letter <= 'Z' && letter != 'T' && token.size() != 2) continue;
    switch (letter) {
      case 'E': options.force_english = 1; break;
      case 'P': options.play_at_start = 1; break;
      case 'R': options.record_at_start = 1; break;
      case 'S': settings.rec_channel = 2; break;
      case 'M': settings.rec_channel = 1; break;
      case 'H': settings.rec_bits = 16; break;
      case 'O': settings.rec_bits = 8; break;
      case 'T': {
        if (!IsPlainNumber(token.c_str() + 2)) break;
        double seconds = atof(token.c_str() + 2) * 60.0 + 0.5;
        // A negative or absurd number gives no limit or the longest one.
        if (!(seconds >= 0.0)) seconds = 0.0;
        if (seconds > 4294967295.0) seconds = 4294967295.0;
        settings.time_limit = settings.EndTime = static_cast<uint32_t>(seconds);
        break;
      }
      default:
        if (IsDigit(letter) && token.find_first_not_of("0123456789", 1) == std::string::npos) {
          uint32_t rate = RateOption(token.c_str() + 1);
          if (rate != 0) settings.rec_freq = rate;
        }
        break;
    }
  }
}

int FindFileArgument(const char* const* args, int arg_count, int from) {
  for (int i = from < 0 ? 0 : from; i < arg_count; ++i) {
    const char* arg = args[i];
    if (arg != nullptr && arg[0] != '\0' && arg[0] != '/') return i;
  }
  return -1;
}
