// The meter's record: its levels and holds (MeterState), the mixer it may
// read levels from and the decoded source of compressed sound. Written in meter/ alone (OwnedMeter); the others read it
// through level_meter and change it through the meter's functions.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include "base/acm_stream_win32.h"
#include "base/meter_state.h"

// The mixer functions, looked up at run time (the mixer is optional).
typedef MMRESULT(WINAPI* MixerOpenFn)(LPHMIXER, UINT, DWORD_PTR, DWORD_PTR, DWORD);
typedef MMRESULT(WINAPI* MixerGetLineInfoFn)(HMIXEROBJ, LPMIXERLINEA, DWORD);
typedef MMRESULT(WINAPI* MixerGetLineControlsFn)(HMIXEROBJ, LPMIXERLINECONTROLSA, DWORD);
typedef MMRESULT(WINAPI* MixerGetControlDetailsFn)(HMIXEROBJ, LPMIXERCONTROLDETAILS, DWORD);
typedef MMRESULT(WINAPI* MixerCloseFn)(HMIXER);

// The decoded level source of a compressed playback
// (meter/decoded_levels_win32.h): its conversion, opened for the run, and
// what it gave since.
struct DecodedSource {
  AcmStream stream;
  bool gave_sound = false;    // some PCM has come out since the open
  DWORD silent_source = 0;    // source bytes converted since the last PCM
  DWORD silent_limit = 0;     // so much with no sound: the stream lost its way
  unsigned channels = 1;
  DWORD frame_bytes = 2;
  DWORD rate = 0;
  unsigned long long frames_out = 0;  // PCM frames converted since the open
};

struct MeterRecord : MeterState {
  HMODULE mixer_library = nullptr;
  HMIXER mixer_handle = nullptr;
  MIXERCONTROLA peak_control = {};
  // Looked up in mixer_library when a compressed playback opens the mixer
  // (the meter reads levels with mixer_get_control_details).
  MixerOpenFn mixer_open = nullptr;
  MixerGetLineInfoFn mixer_get_line_info = nullptr;
  MixerGetLineControlsFn mixer_get_line_controls = nullptr;
  MixerGetControlDetailsFn mixer_get_control_details = nullptr;
  MixerCloseFn mixer_close = nullptr;
  DecodedSource decoded;
};

extern const MeterRecord& level_meter;
MeterRecord& OwnedMeter();
