// AppState: the one record of application state, shared by every part of the
// program. Everything runs on the user-interface thread, so no field is locked.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include "base/format_record.h"
#include "base/meter_state.h"
#include "base/run_state.h"
#include "base/settings.h"

constexpr int MODE_PLAY = 1;
constexpr int MODE_REC = 2;
constexpr int ON_MEMORY = 1;
constexpr int STREAMING = 4;
constexpr int MAX_ARGS = 256;

// Mixer functions looked up at run time (the mixer is optional).
typedef MMRESULT(WINAPI* MixerOpenFn)(LPHMIXER, UINT, DWORD_PTR, DWORD_PTR, DWORD);
typedef MMRESULT(WINAPI* MixerGetLineInfoFn)(HMIXEROBJ, LPMIXERLINEA, DWORD);
typedef MMRESULT(WINAPI* MixerGetLineControlsFn)(HMIXEROBJ, LPMIXERLINECONTROLSA, DWORD);
typedef MMRESULT(WINAPI* MixerGetControlDetailsFn)(HMIXEROBJ, LPMIXERCONTROLDETAILS, DWORD);
typedef MMRESULT(WINAPI* MixerCloseFn)(HMIXER);

struct AppState {
  // Start-up, windows and interface.
  HINSTANCE instance = nullptr;
  HWND main_window = nullptr;
  HWND play_button = nullptr, stop_button = nullptr, pause_button = nullptr;
  HMENU main_menu = nullptr, system_menu = nullptr;
  WORD windows_version = 0;  // major * 256 + minor
  int japanese_ui = 0;
  int force_english = 0;
  int play_at_start = 0;
  int record_at_start = 0;
  char* args[MAX_ARGS] = {};
  int arg_count = 0;
  int next_arg = 0;
  char file_name[MAX_PATH] = {};
  char file_title[256] = {};
  int cell_width = 0, cell_height = 0;
  int ui_scale = 1;
  int half_ascent = 0;
  int dark_background = 0;
  HFONT button_font = nullptr;
  int wave_in_devices = 0;
  DWORD input_formats = 0;  // dwFormats of the wave input device, 0 without one
  double time_limit_margin = 0.0;
  int rate_steps = 0;  // playing rate, -120..120 tenths of a semitone
  void (*recreate_controls)(HWND dialog) = nullptr;
  WNDPROC button_procs[3] = {};  // former procedures of the subclassed buttons
  Settings settings;

  // Transport.
  int mode = 0;
  RunStatus run;  // changed by the transport only
  int buffer_count = STREAMING;
  HWAVEIN wave_in = nullptr;
  HWAVEOUT wave_out = nullptr;
  HGLOBAL header_handle[4] = {};
  WAVEHDR* block_header[4] = {};
  HGLOBAL data_handle[4] = {};
  char* block_data[4] = {};
  DWORD block_length[4] = {};
  int current_block = 0;
  DWORD buffer_size = 0;
  DWORD unit_size = 0;
  short blockalign = 1;
  DWORD BytesPerSec = 0;
  int sample_bits = 0;
  int khz = 0;
  WORD format_tag = 0;
  DWORD played_bytes = 0;
  DWORD run_start_time = 0, pause_time = 0;
  UINT timer_interval = 0;
  int saved_screensaver = 0;
  DWORD pacing_mark = 0;
  double record_mark_ms = 0.0;  // position_ms at the last on-memory estimate

  // Drive figures of the last measurement, capped at 2^31.
  DWORD free_bytes = 0, disk_bytes = 0, cluster_bytes = 0;
  char record_drive[3] = {};

  // The current file.
  HMMIO file_mmio = nullptr;
  MMCKINFO riff_chunk = {};
  MMCKINFO inner_chunk = {};
  DWORD data_total = 0;
  DWORD data_count = 0;
  HLOCAL hFormat = nullptr;
  FormatRecord* pFormat = nullptr;
  WORD format_size = 0;  // bytes of the format record

  // Level meter and mixer level source.
  MeterState meter;
  HMODULE mixer_library = nullptr;
  HMIXER mixer_handle = nullptr;
  MIXERCONTROLA peak_control = {};
  MixerOpenFn mixer_open = nullptr;
  MixerGetLineInfoFn mixer_get_line_info = nullptr;
  MixerGetLineControlsFn mixer_get_line_controls = nullptr;
  MixerGetControlDetailsFn mixer_get_control_details = nullptr;
  MixerCloseFn mixer_close = nullptr;
};

extern AppState app;

// Recording and not paused: windows must not be moved while samples are being
// captured.
bool IsRecordingLive();
