// AppState: the one record of application state, shared by every part of the
// program. Everything runs on the user-interface thread, so no field is locked.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include "base/format_record.h"
#include "base/meter_state.h"
#include "base/run_state.h"
#include "base/settings.h"
#include "base/text_rules.h"

constexpr int MODE_PLAY = 1;
constexpr int MODE_REC = 2;
// The wave blocks (block_header, block_data). On memory, block 0 holds the
// whole sound and block 1 is the monitor block: the input while a recording
// is paused or on standby. A playback on memory queues block 0 alone (in
// pieces) and leaves block 1 empty; the meter reads its window of block 0 at
// each display tick.
constexpr int kBlockCount = 4;
constexpr int kMemoryBlock = 0;
constexpr int kMonitorBlock = 1;
constexpr int MAX_ARGS = 256;

// The mixer function the meter reads levels with, looked up at run time (the
// mixer is optional).
typedef MMRESULT(WINAPI* MixerGetControlDetailsFn)(HMIXEROBJ, LPMIXERCONTROLDETAILS, DWORD);

struct AppState {
  // Start-up, windows and interface.
  HINSTANCE instance = nullptr;
  HWND main_window = nullptr;
  HWND play_button = nullptr, stop_button = nullptr, pause_button = nullptr;
  HMENU main_menu = nullptr;
  WORD windows_version = 0;  // major * 256 + minor
  int japanese_ui = 0;
  int play_at_start = 0;
  int record_at_start = 0;
  char* args[MAX_ARGS] = {};
  int arg_count = 0;
  int next_arg = 0;
  char file_name[NAME_BUFFER_SIZE] = {};  // in the name code page (base/file_names_win32.h)
  int cell_width = 0, cell_height = 0;
  int ui_scale = 1;
  int dark_background = 0;
  int wave_in_devices = 0;
  DWORD input_formats = 0;  // dwFormats of the wave input device, 0 without one
  double time_limit_margin = 0.0;
  int rate_steps = 0;  // playing rate, -120..120 tenths of a semitone
  Settings settings;

  // Transport.
  int mode = 0;
  RunStatus run;  // changed by the transport only
  BufferMode buffer_count = STREAMING;
  HWAVEIN wave_in = nullptr;
  HWAVEOUT wave_out = nullptr;
  HGLOBAL header_handle[kBlockCount] = {};
  WAVEHDR* block_header[kBlockCount] = {};
  char* block_data[kBlockCount] = {};
  int current_block = 0;
  DWORD buffer_size = 0;
  DWORD unit_size = 0;
  short blockalign = 1;
  DWORD BytesPerSec = 0;
  int sample_bits = 0;
  int khz = 0;
  int channels = 0;
  WORD format_tag = 0;
  DWORD played_bytes = 0;
  DWORD run_start_time = 0, pause_time = 0;
  UINT timer_interval = 0;

  // Drive figures of the last measurement, capped at 2^31.
  DWORD free_bytes = 0, disk_bytes = 0, cluster_bytes = 0;

  // The current file.
  HMMIO file_mmio = nullptr;
  MMCKINFO riff_chunk = {};
  MMCKINFO inner_chunk = {};
  DWORD data_total = 0;
  DWORD data_count = 0;
  FormatRecord* pFormat = nullptr;
  WORD format_size = 0;  // bytes of the format record

  // Level meter and mixer level source.
  MeterState meter;
  HMODULE mixer_library = nullptr;
  HMIXER mixer_handle = nullptr;
  MIXERCONTROLA peak_control = {};
  MixerGetControlDetailsFn mixer_get_control_details = nullptr;
};

extern AppState app;

// Recording and not paused: windows must not be moved while samples are being
// captured.
bool IsRecordingLive();
