// The transport's record: what the current file is prepared for, the main
// window's four wave headers, and the run record, everything one play or
// record run keeps. Written in audio/ alone (OwnedTransport, OwnedRun); app/
// and audio/ read it through transport. The layers below are handed what
// they need of it as parameters.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "audio/dropouts.h"
#include "base/acm_stream_win32.h"
#include "base/app_state_win32.h"
#include "base/run_state.h"
#include "meter/tick.h"
#include "sound_files/wide_pcm.h"

// Who shows the level report at the end of a run (when levelwarning is on).
enum class RunReport {
  kNone,        // a start that failed, a write that failed
  kWindow,      // the run ended or was stopped: a box owned by the main window
  kNoOwner,     // the main window is closing
};

// What differs between the ways a run ends. EndRun takes the same steps in the
// same order for every one of them; this says only which of them apply.
struct RunEnding {
  // Recording: what the blocks still in the input device captured (handed
  // back by a stop's reset, or kept by a lost device) is written, oldest
  // first. Not after a write fell short: nothing more goes to that file.
  bool write_held_blocks = true;
  // The file is repaired once closed (an on-memory write fell short).
  bool repair = false;
  // A run of the command line's play list goes on to its next file.
  bool next_in_play_list = false;
  // The program ends after the run (the main window closes, or a recording
  // started from the command line reached its time limit): no box the user
  // did not ask for may keep it (the dropouts, with the level report off).
  bool program_ends = false;
  RunReport report = RunReport::kWindow;
};

// The watch for a device that stops: a playback's output that hands no block
// back, a recording's input that delivers nothing. When the device last
// showed it was working (a block back, its position moved, the run started,
// paused or continued), its position then, how long it may go without.
struct DeviceWatch {
  DWORD last_sign_of_life = 0;
  uint64_t last_position = 0;
  DWORD stall_limit_ms = 0;
  // Recording: the watch has started the input again since its last sign
  // of life.
  bool restarted = false;
};

// What only a recording keeps.
struct RecordingRun {
  // How the run ends when the blocks come back after a stop: as a stop,
  // unless the stop was a start that failed.
  RunEnding pending_ending;
  // A recording started from the command line reached its time limit: the
  // stop it asked for ends the program.
  bool stop_ends_program = false;
  // The block handler is running (a message box inside it lets messages
  // through).
  int handler_depth = 0;
  // position_ms of the display tick at the last on-memory estimate.
  double record_mark_ms = 0.0;
  // Bytes recorded, in all the files of the run (its time limit).
  uint64_t recorded_bytes = 0;
  // What the input lost (restarted by each pause and continue).
  DropoutCounter dropouts;
};

// On-memory playback of a format the wave mapper converts hands the memory
// block over in pieces (audio/memory_pieces_win32.h).
struct MemoryPieces {
  bool active = false;
  DWORD total_bytes = 0;
  DWORD next_offset = 0;  // the first byte not yet handed over
  DWORD piece_bytes = 0;
  int in_flight = 0;
};

// A playback that converts its file itself (audio/converted_output_win32.h).
struct ConvertedOutput {
  // The PCM of one block, for as long as the device holds it.
  struct Slot {
    uint8_t* data = nullptr;
    size_t capacity = 0;
    size_t used = 0;
    const WAVEHDR* header = nullptr;  // the header last prepared with it
  };
  bool converting = false;
  std::unique_ptr<AcmStream> stream;
  // Wide PCM is narrowed here instead, sample by sample (valid while it is).
  PcmNarrowing narrowing;
  Slot slots[kBlockCount];
};

// What only a playback keeps.
struct PlaybackRun {
  // Data bytes queued in each block.
  DWORD block_length[kBlockCount] = {};
  // What the output device is opened with: the file's format record at the
  // playing rate, and the steps a device may need (48000 -> 44100 Hz, mono on
  // old systems). The file's record stays as it was read.
  std::vector<uint8_t> device_record;
  MemoryPieces pieces;
  ConvertedOutput converted;
};

// What the display tick of an on-memory run keeps between its ticks.
struct RunDisplay {
  // The device's last position, for systems whose position stands still
  // between its steps (before 3.12).
  StalledPositionState stalled;
  // A tick is being drawn (a tick never runs inside another).
  int tick_depth = 0;
};

// One play or record run, from its start to its end: made whole when a run
// starts (BeginRunRecord), cleared whole when it ends (EndRun), so nothing of
// a run outlives it and nothing of it is reset anywhere else. Its state, the
// RunStatus it is, changes only through the named transitions. State a run
// will gain (a timed or sound-activated start with its pre-roll ring, the
// devices it was started on) belongs here too.
struct RunRecord : RunStatus {
  BufferMode buffer_count = STREAMING;
  HWAVEIN wave_in = nullptr;
  HWAVEOUT wave_out = nullptr;
  // The data areas of the blocks, and their global handles.
  char* block_data[kBlockCount] = {};
  HGLOBAL data_handle[kBlockCount] = {};
  int current_block = 0;
  DWORD buffer_size = 0;
  DWORD unit_size = 0;
  // What on-memory pieces of the run's format are cut into.
  uint32_t piece_align = 1;
  // Blocks handed to the device and not yet back. A recording whose blocks
  // are all back (after a failed re-queue) must still end on a stop; a
  // playback whose file was shorter than its data chunk said ends when the
  // last queued block is back.
  int queued_blocks = 0;
  // The pause before a block is handled (recording) or refilled (playback),
  // fixed for the run (0: none), and when the last one ended.
  DWORD pacing_wait = 0;
  DWORD pacing_mark = 0;
  DWORD played_bytes = 0;
  DWORD run_start_time = 0, pause_time = 0;
  UINT timer_interval = 0;
  // The run's position as the display tick of an on-memory run last
  // computed it, in ms; the recording time limit is judged by it.
  double position_ms = 0.0;
  // The run's moving time limit in seconds (0: none): the setting's at the
  // start of a recording, moved on by EndTime each time it is reached.
  uint32_t time_limit = 0;
  // What the start took, which EndRun gives back: the idle controls
  // (SetIdleControls(false)), and the screen saver with its state before.
  bool idle_controls_off = false;
  bool screensaver_switched_off = false;
  BOOL saved_screensaver = FALSE;
  DeviceWatch watch;
  RecordingRun recording;
  PlaybackRun playback;
  RunDisplay display;
};

struct TransportState {
  int mode = 0;  // what the current file is prepared for: 0, MODE_PLAY or MODE_REC
  // The main window's four wave headers: made when it is created, freed when
  // it is destroyed (a run only points them at its data areas).
  HGLOBAL header_handle[kBlockCount] = {};
  WAVEHDR* block_header[kBlockCount] = {};
  RunRecord run;
};

extern const TransportState& transport;
TransportState& OwnedTransport();
// The run record alone (OwnedTransport().run).
RunRecord& OwnedRun();

// Recording and not paused: windows must not be moved while samples are being
// captured.
bool IsRecordingLive();
