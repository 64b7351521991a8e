// The name of a wave format tag as the detail dialog shows it.
#pragma once
#include <windows.h>

#include <string>

// The program's own name for the tag; otherwise the name an installed codec
// gives through the audio compression manager; otherwise "unknown".
std::string FormatTagName(WORD tag);
