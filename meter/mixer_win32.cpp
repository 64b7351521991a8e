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

// Writes a notice into the main window with its default colours and font.
void WriteNotice(int x, int y, const char* text) {
  if (!app.main_window) return;
  HDC dc = GetDC(app.main_window);
  TextOutA(dc, x, y, text, static_cast<int>(strlen(text)));
  ReleaseDC(app.main_window, dc);
}

void CloseMixerHandle() {
  MeterRecord& meter = OwnedMeter();
  if (meter.mixer_handle && meter.mixer_close) meter.mixer_close(meter.mixer_handle);
  meter.mixer_handle = nullptr;
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
  MeterRecord& meter = OwnedMeter();
  const int w = app.cell_width, h = app.cell_height;
  HMODULE library = LoadLibraryA("winmm.DLL");
  if (reinterpret_cast<UINT_PTR>(library) < 32) {
    WriteNotice(0, 0, "LoadLibrary Error");
    meter.mixer_library = nullptr;
    return;
  }
  meter.mixer_library = library;
  meter.mixer_open = Find<MixerOpenFn>("mixerOpen");
  meter.mixer_get_line_info = Find<MixerGetLineInfoFn>("mixerGetLineInfoA");
  meter.mixer_get_line_controls = Find<MixerGetLineControlsFn>("mixerGetLineControlsA");
  meter.mixer_get_control_details = Find<MixerGetControlDetailsFn>("mixerGetControlDetailsA");
  meter.mixer_close = Find<MixerCloseFn>("mixerClose");
  const bool found[5] = {meter.mixer_open != nullptr, meter.mixer_get_line_info != nullptr,
                         meter.mixer_get_line_controls != nullptr, meter.mixer_get_control_details != nullptr,
                         meter.mixer_close != nullptr};
  if (!found[0] || !found[1] || !found[2] || !found[3]) {
    for (int i = 0; i < 5; ++i) {
      if (found[i]) continue;
      char text[16];
      // "mixerfuncN" is deliberate: the program's own terse notice, kept as it always was.
      snprintf(text, sizeof text, "mixerfunc%d", i + 1);
      WriteNotice(0, 0, text);
    }
    meter.mixer_handle = nullptr;
    return;
  }

  HMIXER handle = nullptr;
  if (meter.mixer_open(&handle, 0, 0, 0, 0) != MMSYSERR_NOERROR) {
    WriteNotice(0, 0, PickId(IDS_CANT_OPEN_MIXER, ja::kMixerCantOpen));
    meter.mixer_handle = nullptr;
    return;
  }
  meter.mixer_handle = handle;

  MIXERLINEA line = {};
  line.cbStruct = sizeof line;
  line.dwComponentType = MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT;
  if (meter.mixer_get_line_info(reinterpret_cast<HMIXEROBJ>(handle), &line, MIXER_GETLINEINFOF_COMPONENTTYPE) !=
      MMSYSERR_NOERROR) {
    WriteNotice(0, 0, PickId(IDS_CANT_GET_MIXER, ja::kMixerCantGetLine));
    CloseMixerHandle();
    return;
  }

  meter.peak_control = {};
  meter.peak_control.cbStruct = sizeof meter.peak_control;
  MIXERLINECONTROLSA controls = {};
  controls.cbStruct = sizeof controls;
  controls.dwLineID = line.dwLineID;
  controls.dwControlType = MIXERCONTROL_CONTROLTYPE_PEAKMETER;
  controls.cControls = 1;
  controls.cbmxctrl = sizeof meter.peak_control;
  controls.pamxctrl = &meter.peak_control;
  MMRESULT result = meter.mixer_get_line_controls(reinterpret_cast<HMIXEROBJ>(handle), &controls,
                                                MIXER_GETLINECONTROLSF_ONEBYTYPE);
  if (result != MMSYSERR_NOERROR) {
    WriteNotice(w, h, PickId(IDS_CANT_GET_CONTROL, ja::kMixerCantGetControl));
    WriteNotice(w, 4 * h, MixerErrorName(result).text);
    CloseMixerHandle();
  }
}

void CloseMixerMeter() {
  CloseMixerHandle();
  MeterRecord& meter = OwnedMeter();
  if (meter.mixer_library) FreeLibrary(meter.mixer_library);
  meter.mixer_library = nullptr;
  meter.mixer_open = nullptr;
  meter.mixer_get_line_info = nullptr;
  meter.mixer_get_line_controls = nullptr;
  meter.mixer_get_control_details = nullptr;
  meter.mixer_close = nullptr;
}
