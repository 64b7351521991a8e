// AppState: the window's and the whole program's state. The transport, the
// current file and the meter keep records of their own (audio/transport_state,
// sound_files/current_file, meter/meter_record). Everything runs on the
// user-interface thread, so no field is locked.
#pragma once
#include <windows.h>
#include <mmsystem.h>

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

// What belongs to the window and the whole program. Written in app/ only
// (OwnedApp, app/owned_app_win32.h); every other folder reads it through app.
struct AppState {
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
  int cell_width = 0, cell_height = 0;
  int ui_scale = 1;
  int dark_background = 0;
  int wave_in_devices = 0;
  DWORD input_formats = 0;  // dwFormats of the wave input device, 0 without one
  double time_limit_margin = 0.0;
  int rate_steps = 0;  // playing rate, -120..120 tenths of a semitone
  Settings settings;
};

extern const AppState& app;
