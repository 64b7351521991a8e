// Texts and arithmetic of the Option dialog: the playing-rate texts, the
// display-timing list, the recording time that a memory size holds and the
// layout of the controls that follow the system metrics.
#pragma once
#include <cstddef>
#include <cstdint>

// The playing rate in tenths of a semitone; 120 steps are one octave.
constexpr int RATE_STEPS_MIN = -120;
constexpr int RATE_STEPS_MAX = 120;

// Scroll-bar actions, with the values the system gives them.
enum RateScrollCode {
  RATE_LINE_LEFT = 0,
  RATE_LINE_RIGHT = 1,
  RATE_PAGE_LEFT = 2,
  RATE_PAGE_RIGHT = 3,
  RATE_THUMB_POSITION = 4,
  RATE_THUMB_TRACK = 5,
};

// The rate position after one scroll-bar action, kept within -120..120.
// Other actions (end of scroll, top, bottom) leave it unchanged.
int ScrollRateSteps(int steps, int code, int thumb);

// "100.0%": the playing rate in percent.
void FormatRatePercent(int steps, char* out, size_t size);

// The pitch change in semitones: " +0.5" (English), " -1.5半音" (Japanese),
// and, with the level report on in Japanese, below one semitone spelled out
// as "-0点5半音".
void FormatRatePitch(int steps, bool japanese, bool levelwarning, char* out, size_t size);

// One entry of the display-timing list.
struct DeltaTimeEntry {
  uint32_t deltatime;
  const char* english;
  const char* japanese;
  const char* japanese_spelled;  // used with the level report on
};
constexpr int DELTA_TIME_ENTRIES = 7;
const DeltaTimeEntry& DeltaTimeAt(int index);
const char* DeltaTimeLabel(int index, bool japanese, bool levelwarning);
// List position of a display timing, or -1 when it is none of the seven.
int DeltaTimeIndex(uint32_t deltatime);

// The decimal value of the memory-size field: atoi of at most 3 characters,
// so letters give 0.
int ParseMemSize(const char* text);

// The line under the memory size: how long a recording in the recording
// format fits into megabytes, e.g. "44kHz 16bit Stereo : 89 sec". A format
// with no rate, no channels or fewer than 8 bits gets a plain notice instead.
void FormatMemoryTime(int megabytes, uint32_t rec_freq, int rec_channel, int rec_bits, bool japanese,
                      char* out, size_t size);

// Where the display-timing list and the "Smth" box go for the current
// metrics. char_width is the pixel width of one character of the dialog
// (4 horizontal dialog units), arrow_metric the
// system's scroll-arrow width. The list gets room for seven characters and
// its arrow; when the arrow is wider than four characters the list reaches
// into the "Smth" box's place, and the box moves to the peak-hold row.
struct OptionLayout {
  int list_width;                    // pixels
  int list_height;                   // dialog units
  int smooth_x, smooth_y, smooth_width, smooth_height;  // dialog units
};
OptionLayout ComputeOptionLayout(int arrow_metric, int char_width);
