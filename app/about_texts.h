// Texts of the About box.
#pragma once
#include <cstddef>

constexpr char kAboutVersion[] = "TAPEON Version 0.16";

// The compiler that built this program, by name, and its version as a 16-bit
// number: major in the high byte, minor in the low byte, each written as two
// decimal digits in hexadecimal notation (12.2 is 0x1202), so "%x.%02x"
// shows "12.02".
const char* BuildCompilerName();
unsigned BuildCompilerVersion();

// A version number of 0x450..0x45F loses 0x50 and one of 0x460..0x4FF loses
// 0x10 before it is shown; 0x452 is shown as 4.02.
unsigned ReduceCompilerVersion(unsigned version);

// "Made by GCC 12.02" / "GCC 12.02で作成".
void FormatCompilerLine(const char* name, unsigned version, bool japanese, char* out, size_t size);

// "record device= 1  play device= 2" and its Japanese form.
void FormatDeviceCounts(int record_devices, int play_devices, bool japanese, char* out, size_t size);

// The author line, the word size and the free-software note.
const char* AboutAuthorLine(bool japanese);
const char* AboutWordSize(bool japanese);
const char* AboutFreeSoftware(bool japanese);
