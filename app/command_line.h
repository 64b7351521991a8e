// The command line: splitting into tokens and the options. Portable.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/settings.h"

constexpr size_t MAX_COMMAND_LINE_TOKENS = 255;

// Copies length bytes of source into destination (length + 1 bytes), dropping
// trailing blanks, quotes not escaped by a backslash, and backslashes that
// escape a quote. Stops at a zero byte; always terminates.
void CopyArgument(char* destination, const char* source, size_t length);

// Splits the full command line into tokens (token 0 is the program path). A
// "/" starts a new token; blanks end only the program path and option
// tokens, so names with blanks need no quotes. At most 255 tokens.
std::vector<std::string> SplitCommandLine(const char* text);

// What the options ask for besides settings changes.
struct StartOptions {
  int force_english = 0;
  int play_at_start = 0;
  int record_at_start = 0;
};

// Applies the options among tokens 1.. to settings and the start flags. A
// letter option is the letter alone, "/T" takes only a number ("/T30",
// "/t1.5") and a rate only digits; any other token after a slash (a part of
// a path written with slashes, "/Temp") changes nothing.
void ApplyOptions(const std::vector<std::string>& tokens, Settings& settings, StartOptions& options);

// The recording rate that "/" followed by digits selects (digits: the text
// after the slash), or 0 when it changes nothing.
uint32_t RateOption(const char* digits);

// Index of the first file argument (not empty, not an option) among
// args[from..arg_count-1], or -1. Start-up looks from 1 (after the program
// path), a command-line play list from the argument after the last file.
int FindFileArgument(const char* const* args, int arg_count, int from);
