// Arithmetic of the transport: buffer sizes, the on-memory choice, pacing
// waits, initial meter strides, the playing rate, the recording limits and the
// clock corrections of pause and continue. Portable: the Win32 engine feeds it
// the values it reads from the transport's record and the devices.
#pragma once
#include <cstddef>
#include <cstdint>

#include "base/format_record.h"
#include "base/playing_rate.h"
#include "base/run_state.h"
#include "base/windows_version.h"
#include "sound_files/wave_create.h"

constexpr uint32_t SMALL_DRIVE_LIMIT = 0x163E00;  // drives this small record and play on memory
constexpr uint32_t END_MARK = 0x10000000;         // user-word bit of the last block with data
constexpr uint32_t PAUSED_MARK = 0x20000000;      // user-word bit of an input block queued while paused
constexpr uint32_t kMinimumDeltatime = 8;         // shorter buffers cannot be kept up with
// Twice the longest timing the Option dialog offers (32768): a buffer lasts at
// most 8.2 s (5.9 s at 11025 Hz), so a recording's time limit, checked as
// buffers come back, is never later than that, and four buffers of CD sound
// take 4 MiB. Larger values (67108864 asked for four buffers of 1 GiB) are
// refused as shorter ones are.
constexpr uint32_t kMaximumDeltatime = 65536;

// ON_MEMORY when the setting asks for it or the drive is very small, else
// STREAMING.
BufferMode ChooseBufferCount(int on_mem_setting, uint32_t disk_bytes);

// Why a run cannot be sized.
enum class SizingRefusal {
  kNone,
  kFormat,        // zero block size, or no byte rate at all: the data cannot be cut into blocks
  kDeltatime,     // deltatime outside kMinimumDeltatime..kMaximumDeltatime, or buffers too large
  kNoRoom,        // an on-memory block of 0 bytes (empty file or full drive)
};

struct BufferSizingInput {
  uint16_t format_tag = 1;
  uint32_t samples_per_sec = 0;
  uint32_t avg_bytes_per_sec = 0;
  uint16_t format_block_align = 0;  // nBlockAlign of the format record
  int32_t mpeg_block_size = -1;     // nBlockSize of the Layer-3 extension, -1 when the record has none
  bool shift_down = false;          // key states that tune the MPEG block size
  bool control_down = false;
  BufferMode buffer_count = STREAMING;
  uint32_t deltatime = 4096;
  uint32_t data_total = 0;
  int mem_size = 15;                // MB
  unsigned windows_version = 0;
  int16_t blockalign = 1;           // nBlockAlign, signed as the current format keeps it
  bool recording = false;
};

struct BufferSizing {
  uint32_t unit_size = 0;
  uint32_t buffer_size = 0;
  int16_t blockalign = 1;
  // What on-memory pieces of a converted format are cut into, as streaming
  // buffers are: an MPEG stream's frame block (nBlockSize), any other
  // format's block.
  uint32_t piece_align = 1;
  SizingRefusal refusal = SizingRefusal::kNone;
};

// Bytes of sound per deltatime period (one display unit).
uint32_t ComputeUnitSize(uint32_t avg_bytes_per_sec, uint32_t samples_per_sec, uint32_t deltatime);
BufferSizing ComputeBufferSizing(const BufferSizingInput& in);

// One buffer's duration in ms: deltatime / 8 (integer) in the 8000 Hz family,
// deltatime / 11.025 in the 11025 Hz family (In11025Family of the rate).
double BufferPeriodMs(uint32_t deltatime, uint32_t rate);
// Recording: 78 % of a buffer, capped at 400 ms, halved below 100 ms.
uint32_t RecordPacingWait(uint32_t deltatime, uint32_t rate);
// Playback: 88 % of a buffer at the playing rate, capped at 400 ms, two
// thirds of that when it is short (113 ms, or 50 ms before Windows 3.95).
uint32_t PlayPacingWait(uint32_t deltatime, uint32_t rate, int rate_steps, unsigned windows_version);
// The handlers wait only for waits above 33 ms.
inline bool WorthPacing(uint32_t wait_ms) { return wait_ms > 33; }

// How long a playback may go without a sign of life from the device (a block
// handed back, its position moved) before it counts as stalled (a device
// that was lost, or a codec that lost its way): four times what one block on
// the device (`block_bytes`: a buffer, or a piece of the memory block) lasts
// at the playing rate, and 10 s more for a busy machine. bytes_per_sec is
// what the device consumes; 0 (a stream without a byte rate) counts as the
// slowest compressed stream, 8 kbit/s.
uint32_t PlaybackStallLimitMs(uint32_t block_bytes, uint32_t bytes_per_sec, int rate_steps);
// How long a recording's input may go without a sign of life (a block handed
// back, its position moved) before it counts as stopped: four times what one
// block (`block_bytes`) takes to fill, and 4 s more for a busy machine.
uint32_t RecordStallLimitMs(uint32_t block_bytes, uint32_t bytes_per_sec);

// Period of the display timer of on-memory runs.
uint32_t DisplayTimerInterval(uint32_t deltatime, uint32_t rate);

// Meter stride at the start of a recording, by sample rate and channels.
uint32_t InitialRecordStride(uint32_t samples_per_sec, int channels, bool on_memory);

// Costs in ms measured while the first playback block was read and queued.
struct FirstBlockCosts {
  uint32_t read = 0, prepare = 0, other = 0, write = 0, meter = 0;
};
// Meter stride at the start of a streaming playback: the meter may take what
// is left of 99 % of a buffer's playing time after the other costs.
uint32_t InitialPlayStride(uint32_t deltatime, uint32_t rate, int rate_steps, const FirstBlockCosts& costs);

// The format handed to the output device at a playing rate.
struct PlayFormat {
  uint16_t format_tag = 1;
  uint32_t samples_per_sec = 0;
  uint32_t avg_bytes_per_sec = 0;
  uint16_t block_align = 0;
};
// Applies the rate (and the halved byte rate of MPEG Layer-3). False, with the
// format untouched, for a block-coded format (tags 113 to 115) whose block
// size is 0.
bool ApplyPlayingRate(PlayFormat& format, int rate_steps);

// The recording time limit, one rule for both modes: reached once the
// recording has lasted time_limit seconds (0: no limit), plus the margin the
// display clock of old systems needs. A recording started from the command
// line then stops and ends the program; any other pauses and the limit moves
// on. One that is paused already (the block kept after a Pause crossed the
// limit) is not paused again, which would continue it: the limit only moves on.
enum class TimeLimitAction { kNone, kPause, kMoveOn, kStopAndExit };
TimeLimitAction TimeLimitActionAt(double recorded_ms, uint32_t time_limit, double margin, bool record_at_start,
                                  bool paused);
// How long `bytes` of sound last, in ms; 0 without a byte rate.
double RecordedMs(uint64_t bytes, uint32_t bytes_per_sec);

// On-memory recording whose memory block came back empty: bytes recorded since
// mark_ms according to the position, as whole blocks.
uint32_t EstimateRecordedBytes(double position_ms, double mark_ms, uint32_t bytes_per_sec, int16_t blockalign);

// run_start_time after continuing a paused on-memory playback: the paused time
// is skipped (280 ms more before Windows 3.95).
uint32_t ResumePlayStartTime(uint32_t now, uint32_t run_start_time, uint32_t pause_time, unsigned windows_version);
// run_start_time after continuing a paused on-memory recording: now minus the
// duration already written. bytes_per_sec must not be 0.
uint32_t ResumeRecordStartTime(uint32_t now, uint32_t data_total, uint32_t buffer_size, uint32_t bytes_per_sec);

// A recording file with nothing after its 44-byte header.
bool IsEmptyRecordingFile(int64_t size);

// Block user words: index in the low 16 bits, END_MARK on the last block of a
// playback. An input block carries PAUSED_MARK when it was queued while the run
// was paused or on standby: what it captures is not kept, even when it comes
// back after Cont (a reset hands back every queued block at once).
inline uint32_t MakeUserWord(int index, bool last) { return static_cast<uint32_t>(index) | (last ? END_MARK : 0); }
inline uint32_t MakeInputUserWord(int index, bool paused) {
  return static_cast<uint32_t>(index) | (paused ? PAUSED_MARK : 0);
}
inline int BlockIndexOf(uint32_t user_word) { return static_cast<int>(user_word & 0xFFFF); }
inline bool IsLastBlock(uint32_t user_word) { return (user_word & END_MARK) != 0; }
inline bool IsPausedBlock(uint32_t user_word) { return (user_word & PAUSED_MARK) != 0; }

// The position line of an on-memory playback at its end.
void FormatMemoryPlayPosition(char* out, size_t size, int16_t blockalign, uint32_t buffer_size,
                              uint32_t bytes_per_sec);
