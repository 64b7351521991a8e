// Sound-activated recording: the detector that finds where each event of
// sound begins and ends, and the pre-roll ring that keeps the sound before
// its onset. Portable.
//
// Frames are counted from arming (frame 0 is the first frame fed). The level
// is judged on windows of rate / 100 frames (10 ms) aligned to that count, not
// to the blocks the device hands back, so the same sound gives the same events
// whatever the block size. A window's level is its peak over all channels.
//
// - Onset: the first window above the start level of a run of `run_ms` worth
//   of consecutive such windows (50 ms: 5 windows). A click shorter than the
//   run starts nothing.
// - The event's file begins `preroll_ms` before the onset, exactly (or at
//   arming when less has passed, or where the previous event ended: events
//   never overlap, so no frame is written twice, in one file or in two).
// - It ends `hang_ms` after the end of the last window above the stop level
//   (a window ending by then continues it; one still open then does not: the
//   end is decided at its own frame, so nothing handed out is taken back,
//   and that window may begin the next event). Any window above the stop level
//   continues the event, a new onset included: sound that fades below the
//   start level but not to silence (the end of a word, a quiet passage) is
//   what people mean to keep, and the stop level below the start level is
//   there for that.
//
// How the recorder drives it, for each block the input device hands back
// (`block_first`: the trigger's frames_fed() before the block):
//   for (size_t taken = 0; taken < frames; ) {
//     TriggerStep step = trigger.Feed(block + taken * frame_bytes, frames - taken);
//     taken += step.frames_taken;
//     if (step.began) ...a new numbered file, when each event has its own
//     BytePieces pieces = ring.Pieces(step.write_first, step.write_end, block, block_first, frames);
//     ...write pieces.data[k], pieces.size[k] bytes, for k < pieces.count, in order
//     if (step.ended) ...close the event's file (or go on in the one file)
//   }
//   ring.Push(block, frames);
// Written so, a file holds exactly the frames [file_start, end) of its event,
// from the ring and the live blocks; one file for all events holds the events
// one after another with the silences left out.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

// PCM as the input device gives it: 8-bit unsigned (silence 128) or 16-bit
// signed little-endian, interleaved. Other widths would be added to
// SampleMagnitude's cases in the .cpp and to IsTriggerFormat.
struct TriggerFormat {
  uint32_t rate = 44100;
  unsigned channels = 2;
  unsigned bytes_per_sample = 2;
  size_t frame_bytes() const { return size_t{channels} * bytes_per_sample; }
};
bool IsTriggerFormat(const TriggerFormat& format);  // 1..8 channels, 1 or 2 bytes, 1000..384000 Hz

// What the user set; the defaults are the program's.
struct TriggerSettings {
  double start_db = -40.0;  // dBFS a window's peak must be above to count toward an onset
  uint32_t run_ms = 50;     // how long it must stay above (whole windows, rounded up)
  double stop_db = -46.0;   // dBFS a window's peak must be above to keep an event going
                            // (by default 6 dB below the start level)
  uint32_t hang_ms = 5000;  // how long an event goes on after its last window above the stop level
  uint32_t preroll_ms = 2000;  // the sound kept before the onset
};

// The settings' ranges. A hand-edited settings file outside them gets the
// defaults: a start level of -90..-1 dBFS, a stop level from -96 dBFS (the
// floor of 16-bit sound) up to the start level, a run of 10 ms to 5 s, a hang
// of 0.1 s (more than a window, so an event outlives its last loud window) to
// 10 min, a pre-roll of up to 30 s.
constexpr uint32_t kMaxPrerollMs = 30000;
bool AreValidTriggerSettings(const TriggerSettings& settings);

// What one call of Feed decided. Each call stops at the frame that makes a
// decision (an onset confirmed, an event ended), so it holds at most one.
struct TriggerStep {
  size_t frames_taken = 0;  // of the frames given; at least one when any were
  bool began = false;       // an onset was confirmed: a new event, from file_start
  bool ended = false;       // the event ended at `end`, the last frame taken
  // The event this step is about (the current one, or the one that ended).
  uint64_t file_start = 0;
  uint64_t onset = 0;
  uint64_t end = 0;  // valid when ended
  // Frames to write now, [write_first, write_end) (empty when equal): at an
  // onset everything from file_start (the pre-roll, from the ring), then what
  // each call adds to the event. Never earlier than what was written before.
  uint64_t write_first = 0;
  uint64_t write_end = 0;
};

class SoundTrigger {
 public:
  // Starts counting at frame 0 with nothing heard. False (not armed) for a
  // format or settings outside their ranges.
  bool Arm(const TriggerSettings& settings, const TriggerFormat& format);

  // Judges the next `frames` whole frames of the armed format (unarmed:
  // takes them all and decides nothing). A stop during an event ends it at
  // frames_fed(): every frame of it up to there was handed out to be written.
  TriggerStep Feed(const uint8_t* data, size_t frames);

  // The frames the pre-roll ring must hold: the pre-roll and the run that
  // confirms an onset, which the ring must still have when it is confirmed.
  uint64_t ring_frames() const { return preroll_frames_ + uint64_t{run_windows_} * window_frames_; }

  uint64_t frames_fed() const { return fed_; }
  bool in_event() const { return in_event_; }
  uint32_t events() const { return events_; }  // events begun since arming
  uint32_t window_frames() const { return window_frames_; }

 private:
  bool JudgeWindow();  // true when it confirms an onset

  bool armed_ = false;
  TriggerFormat format_;
  uint32_t window_frames_ = 441;
  uint32_t run_windows_ = 5;
  uint64_t preroll_frames_ = 0;
  uint64_t hang_frames_ = 0;
  uint32_t start_threshold_ = 0;  // magnitudes (full scale 2^31) above these count
  uint32_t stop_threshold_ = 0;

  uint64_t fed_ = 0;
  uint32_t window_fill_ = 0;  // frames of the current window fed
  uint32_t window_peak_ = 0;
  uint32_t run_ = 0;          // consecutive windows above the start level so far
  bool in_event_ = false;
  uint64_t file_start_ = 0, onset_ = 0;
  uint64_t event_end_ = 0;    // while in an event: when it ends unless a window continues it
  uint64_t written_to_ = 0;   // frames before this were handed out to be written (or never will be)
  uint32_t events_ = 0;
};

// Up to three pieces of bytes, in order: two from the ring (it wraps) and one
// from the live block.
struct BytePieces {
  size_t count = 0;
  const uint8_t* data[3] = {};
  size_t size[3] = {};
  bool ok = false;  // false: frames asked for that neither ring nor block holds
};

// The last frames of the input, in a buffer allocated once at arming and
// never per block.
class PrerollRing {
 public:
  // Room for `frames` frames of `frame_bytes` bytes (the trigger's
  // ring_frames()), empty; the memory of an earlier arming is used again when
  // it is large enough. False when the memory cannot be had. For CD stereo
  // the defaults take 362 KB, the longest pre-roll and run (35 s) 6.2 MB.
  bool Arm(uint64_t frames, size_t frame_bytes);
  // Keeps the block's frames (the last `frames` of them when more).
  void Push(const uint8_t* data, size_t frames);
  // The bytes of frames [first, end), which may begin in the ring (frames
  // pushed before block_first) and go on in the block (frames [block_first,
  // block_first + block_frames) at `block`). Not ok, and nothing handed out,
  // when part of them is in neither.
  BytePieces Pieces(uint64_t first, uint64_t end, const uint8_t* block, uint64_t block_first, size_t block_frames) const;

  uint64_t pushed() const { return pushed_; }  // frames pushed since arming

 private:
  std::unique_ptr<uint8_t[]> bytes_;
  size_t capacity_bytes_ = 0;
  uint64_t capacity_frames_ = 0;
  size_t frame_bytes_ = 0;
  uint64_t pushed_ = 0;
};
