// The meter's record: its levels and holds (MeterState) and the mixer it may
// read levels from. Written in meter/ alone (OwnedMeter); the others read it
// through level_meter and change it through the meter's functions.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include "base/meter_state.h"

// The mixer function the meter reads levels with, looked up at run time (the
// mixer is optional).
typedef MMRESULT(WINAPI* MixerGetControlDetailsFn)(HMIXEROBJ, LPMIXERCONTROLDETAILS, DWORD);

struct MeterRecord : MeterState {
  HMODULE mixer_library = nullptr;
  HMIXER mixer_handle = nullptr;
  MIXERCONTROLA peak_control = {};
  MixerGetControlDetailsFn mixer_get_control_details = nullptr;
};

extern const MeterRecord& level_meter;
MeterRecord& OwnedMeter();
