// The mixer's peak meter as level source for compressed playback. The mixer
// functions are looked up at run time, so the program starts without them.
#include "meter/mixer_win32.h"

#include <cstdio>
#include <cstring>

#include "base/app_state_win32.h"
#include "base/ui_text_win32.h"
#include "meter/meter_record_win32.h"
#include "meter/mixer_text.h"
#include "resources/ja_meter.h"
#include "resources/resource_ids.h"

static_assert(sizeof(MIXERLINEA) == 168, "mixer line record");
static_assert(sizeof(MIXERLINECONTROLSA) == 24, "mixer line controls record");
static_assert(sizeof(MIXERCONTROLA) == 148, "mixer control record");

namespace {

// The mixer functions the meter looks up besides the one it reads levels with
// (level_meter.mixer_get_control_details).
typedef MMRESULT(WINAPI* MixerOpenFn)(LPHMIXER, UINT, DWORD_PTR, DWORD_PTR, DWORD);
typedef MMRESULT(WINAPI* MixerGetLineInfoFn)(HMIXEROBJ, LPMIXERLINEA, DWORD);
typedef MMRESULT(WINAPI* MixerGetLineControlsFn)(HMIXEROBJ, LPMIXERLINECONTROLSA, DWORD);
typedef MMRESULT(WINAPI* MixerCloseFn)(HMIXER);
MixerOpenFn mixer_open = nullptr;
MixerGetLineInfoFn mixer_get_line_info = nullptr;
MixerGetLineControlsFn mixer_get_line_controls = nullptr;
MixerCloseFn mixer_close = nullptr;

// Writes a notice into the main window with its default colours and font.
void WriteNotice(int x, int y, const char* text) {
  if (!app.main_window) return;
  HDC dc = GetDC(app.main_window);
  TextOutA(dc, x, y, text, static_cast<int>(strlen(text)));
  ReleaseDC(app.main_window, dc);
}

void CloseMixerHandle() {
  if (level_meter.mixer_handle && mixer_close) mixer_close(level_meter.mixer_handle);
  OwnedMeter().mixer_handle = nullptr;
}

template <class Function>
Function Find(const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(level_meter.mixer_library, name)));
}

}  // namespace

void OpenMixerMeter() {
  // Each compressed playback opens the mixer afresh; the previous handle and
  // library reference go first.
  CloseMixerMeter();
  const int w = app.cell_width, h = app.cell_height;
  HMODULE library = LoadLibraryA("winmm.DLL");
  if (reinterpret_cast<UINT_PTR>(library) < 32) {
    WriteNotice(0, 0, "LoadLibrary Error");
    OwnedMeter().mixer_library = nullptr;
    return;
  }
  OwnedMeter().mixer_library = library;
  mixer_open = Find<MixerOpenFn>("mixerOpen");
  mixer_get_line_info = Find<MixerGetLineInfoFn>("mixerGetLineInfoA");
  mixer_get_line_controls = Find<MixerGetLineControlsFn>("mixerGetLineControlsA");
  OwnedMeter().mixer_get_control_details = Find<MixerGetControlDetailsFn>("mixerGetControlDetailsA");
  mixer_close = Find<MixerCloseFn>("mixerClose");
  const bool found[5] = {mixer_open != nullptr, mixer_get_line_info != nullptr,
                         mixer_get_line_controls != nullptr, level_meter.mixer_get_control_details != nullptr,
                         mixer_close != nullptr};
  if (!found[0] || !found[1] || !found[2] || !found[3]) {
    for (int i = 0; i < 5; ++i) {
      if (found[i]) continue;
      char text[16];
      snprintf(text, sizeof text, "mixerfunc%d", i + 1);
      WriteNotice(0, 0, text);
    }
    OwnedMeter().mixer_handle = nullptr;
    return;
  }

  HMIXER handle = nullptr;
  if (mixer_open(&handle, 0, 0, 0, 0) != MMSYSERR_NOERROR) {
    WriteNotice(0, 0, PickId(IDS_CANT_OPEN_MIXER, ja::kMixerCantOpen));
    OwnedMeter().mixer_handle = nullptr;
    return;
  }
  OwnedMeter().mixer_handle = handle;

  MIXERLINEA line = {};
  line.cbStruct = sizeof line;
  line.dwComponentType = MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT;
  if (mixer_get_line_info(reinterpret_cast<HMIXEROBJ>(handle), &line, MIXER_GETLINEINFOF_COMPONENTTYPE) !=
      MMSYSERR_NOERROR) {
    WriteNotice(0, 0, PickId(IDS_CANT_GET_MIXER, ja::kMixerCantGetLine));
    CloseMixerHandle();
    return;
  }

  OwnedMeter().peak_control = {};
  OwnedMeter().peak_control.cbStruct = sizeof level_meter.peak_control;
  MIXERLINECONTROLSA controls = {};
  controls.cbStruct = sizeof controls;
  controls.dwLineID = line.dwLineID;
  controls.dwControlType = MIXERCONTROL_CONTROLTYPE_PEAKMETER;
  controls.cControls = 1;
  controls.cbmxctrl = sizeof level_meter.peak_control;
  controls.pamxctrl = &OwnedMeter().peak_control;
  MMRESULT result = mixer_get_line_controls(reinterpret_cast<HMIXEROBJ>(handle), &controls,
                                                MIXER_GETLINECONTROLSF_ONEBYTYPE);
  if (result != MMSYSERR_NOERROR) {
    WriteNotice(w, h, PickId(IDS_CANT_GET_CONTROL, ja::kMixerCantGetControl));
    WriteNotice(w, 4 * h, MixerErrorName(result).text);
    CloseMixerHandle();
  }
}

void CloseMixerMeter() {
  CloseMixerHandle();
  if (level_meter.mixer_library) FreeLibrary(level_meter.mixer_library);
  OwnedMeter().mixer_library = nullptr;
  mixer_open = nullptr;
  mixer_get_line_info = nullptr;
  mixer_get_line_controls = nullptr;
  OwnedMeter().mixer_get_control_details = nullptr;
  mixer_close = nullptr;
}
