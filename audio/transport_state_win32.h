// The transport's record: the devices, the wave blocks and their sizes, the
// run and its clock. Written in audio/ alone (OwnedTransport); app/ and
// audio/ read it through transport. The layers below are handed what they
// need of it as parameters.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include "base/app_state_win32.h"
#include "base/run_state.h"

struct TransportState {
  int mode = 0;   // 0, MODE_PLAY or MODE_REC
  RunStatus run;  // changed only through its named transitions
  BufferMode buffer_count = STREAMING;
  HWAVEIN wave_in = nullptr;
  HWAVEOUT wave_out = nullptr;
  HGLOBAL header_handle[kBlockCount] = {};
  WAVEHDR* block_header[kBlockCount] = {};
  char* block_data[kBlockCount] = {};
  int current_block = 0;
  DWORD buffer_size = 0;
  DWORD unit_size = 0;
  DWORD played_bytes = 0;
  DWORD run_start_time = 0, pause_time = 0;
  UINT timer_interval = 0;
  // The run's position as the display tick of an on-memory run last
  // computed it, in ms; the recording time limit is judged by it.
  double position_ms = 0.0;
  // The run's moving time limit in seconds (0: none): the setting's at the
  // start of a recording, moved on by EndTime each time it is reached.
  uint32_t time_limit = 0;
};

extern const TransportState& transport;
TransportState& OwnedTransport();

// Recording and not paused: windows must not be moved while samples are being
// captured.
bool IsRecordingLive();
