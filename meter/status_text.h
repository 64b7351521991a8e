// The texts of the status lines above the meter: sample rate, bit depth or bit
// rate, position, and total size or free space.
#pragma once
#include <cstddef>
#include <cstdint>

// A status text, always terminated.
struct StatusText {
  char text[96];
};

// What a new wave format puts into the display fields.
struct DisplayFormat {
  uint32_t BytesPerSec = 0;
  int16_t blockalign = 0;
  int khz = 0;
  int sample_bits = 0;
  uint16_t format_tag = 0;
  int sample_class = 0;
  int channels = 0;  // as the format says (the meter shows two at most)
};
// bits_per_sample is 0 for a record too short to hold it.
DisplayFormat MakeDisplayFormat(uint16_t format_tag, uint16_t channels, uint32_t samples_per_sec,
                                uint32_t avg_bytes_per_sec, uint16_t block_align, uint16_t bits_per_sample);

// "%2d kHz  ".
StatusText FormatRateText(int khz);
// The bit depth, or for compressed formats the bit rate.
StatusText FormatBitsText(int sample_bits, int khz, uint16_t format_tag, uint32_t BytesPerSec);

struct PositionInputs {
  bool running = false;
  bool recording = false;   // mode is MODE_REC
  bool on_memory = false;   // buffer_count is ON_MEMORY
  uint32_t data_count = 0;
  uint32_t played_bytes = 0;
  uint32_t run_start_time = 0;
  uint32_t pause_time = 0;
  uint32_t BytesPerSec = 0;
  int rate_steps = 0;       // the playing rate, in tenths of a semitone
};
// The position line drawn by ShowPosition. Playback shows time in the file.
StatusText FormatPositionText(const PositionInputs& in);

// The position line of the timer tick, from a position in ms.
StatusText FormatTickPositionText(double position_ms, uint32_t BytesPerSec);

// The capacity line: free space while a recording is prepared or running, the
// file's size otherwise. The free space is the drive's whole room (a series
// of files fills it): in KB up to 7 digits, then in MB, then in GB, and its
// time in seconds up to 6 digits, then in minutes, then in hours, so that the
// line keeps its width.
StatusText FormatCapacityText(uint32_t BytesPerSec, bool recording, uint64_t free_room, uint32_t data_total);

// The dropouts of the recording under way, shown at the right end of the file
// name line once there is one: the count and the time the frames lost last
// ("Dropouts 2: 51 ms"; the count alone without frames or a rate, or when
// both do not fit); at most kDropoutStatusCells characters (a double-byte
// character takes two).
constexpr size_t kDropoutStatusCells = 20;
StatusText FormatDropoutStatus(uint32_t count, uint64_t frames, uint32_t frames_per_second, bool japanese);
