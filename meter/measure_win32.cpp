// Level measurement of wave blocks and the adaptation of the meter stride.
#include "meter/measure_win32.h"

#include <cstring>

#include "base/app_state_win32.h"
#include "base/ui_text_win32.h"
#include "base/windows_version.h"
#include "meter/levels.h"
#include "meter/meter_draw_win32.h"
#include "meter/stride.h"
#include "resources/ja_meter.h"
#include "resources/resource_ids.h"

namespace {

// The magnitude of a mixer reading, without overflow at the most negative value.
uint32_t Magnitude(LONG value) {
  return value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
}

void WriteMixerNotice(HDC dc, const char* text) {
  TextOutA(dc, 3 * app.cell_width, 14 * app.cell_height + app.cell_height / 2, text, static_cast<int>(strlen(text)));
}

// Compressed formats: the levels come from the mixer's peak meter on the
// wave-output line, on the 16-bit scale.
void MeasureMixerLevels(HDC dc) {
  if (!app.mixer_library || !app.mixer_handle || app.windows_version < kWindows395 || !app.mixer_get_control_details) {
    SetTextColor(dc, RGB(255, 255, 255));
    SetBkColor(dc, RGB(0, 0, 0));
    WriteMixerNotice(dc, PickId(IDS_CANT_DISPLAY_LEVEL, ja::kMixerCantDisplayLevel));
    return;
  }
  const bool stereo = IsStereoClass(app.meter.sample_class);
  LONG values[2] = {0, 0};
  MIXERCONTROLDETAILS details = {};
  details.cbStruct = sizeof details;
  details.dwControlID = app.peak_control.dwControlID;
  details.cChannels = stereo ? 2 : 1;
  details.cbDetails = sizeof(LONG);
  details.paDetails = values;
  if (app.mixer_get_control_details(reinterpret_cast<HMIXEROBJ>(app.mixer_handle), &details,
                                    MIXER_GETCONTROLDETAILSF_VALUE) != MMSYSERR_NOERROR) {
    WriteMixerNotice(dc, PickId(IDS_CANT_GET_LEVEL, ja::kMixerCantGetLevel));
    return;
  }
  const int h = app.cell_height;
  if (stereo) {
    DrawChannelMeter(dc, LEFT_METER, Magnitude(values[0]), 14 * h, h, DELTA_16BIT);
    DrawChannelMeter(dc, RIGHT_METER, Magnitude(values[1]), 16 * h, h, DELTA_16BIT);
  } else {
    DrawChannelMeter(dc, LEFT_METER, Magnitude(values[0]), 14 * h, 3 * h, DELTA_16BIT);
  }
}

}  // namespace

static_assert(sizeof(MIXERCONTROLDETAILS) == 24, "mixer control details record");

void FillSilence(int block, DWORD bytes) {
  if (block < 0 || block >= kBlockCount || app.block_data[block] == nullptr) return;
  memset(app.block_data[block], app.sample_bits == 16 ? 0 : 128, bytes);
}

void MeasureLevels(HDC dc, int block, long bytes) {
  const char* data = block >= 0 && block < kBlockCount ? app.block_data[block] : nullptr;
  MeasureLevelsOf(dc, data, bytes);
}

void MeasureLevelsOf(HDC dc, const char* sound, long bytes) {
  if (app.format_tag != WAVE_TAG_PCM) {
    MeasureMixerLevels(dc);
    return;
  }
  MeterState& meter = app.meter;
  meter.meter_stride = LimitStride(meter.meter_stride, app.unit_size, meter.sample_class, app.settings.levelwarning != 0);
  const uint8_t* data = reinterpret_cast<const uint8_t*>(sound);
  ChannelPeaks peaks = ScanPeaks(meter.sample_class, data, bytes, meter.meter_stride);
  const DWORD delta = LevelDelta(meter.sample_class);
  const int h = app.cell_height;
  if (IsStereoClass(meter.sample_class)) {
    DrawChannelMeter(dc, LEFT_METER, peaks.left, 14 * h, h, delta);
    DrawChannelMeter(dc, RIGHT_METER, peaks.right, 16 * h, h, delta);
  } else {
    DrawChannelMeter(dc, LEFT_METER, peaks.left, 14 * h, 3 * h, delta);
  }
  if (BlockClips(meter.sample_class, peaks)) ++meter.over_count;
}

void AdaptStride(DWORD start) {
  MeterState& meter = app.meter;
  DWORD now = timeGetTime();
  int32_t interval = static_cast<int32_t>(start - meter.last_buffer_time);
  int32_t work = static_cast<int32_t>(now - start);
  StridePeriodInputs period;
  period.deltatime = app.settings.deltatime;
  period.khz = app.khz;
  period.recording = app.mode == MODE_REC;
  period.rate_steps = app.rate_steps;
  period.on_memory = app.buffer_count == ON_MEMORY;
  int t = ExpectedPeriodMs(period);
  // A buffer time too short to be measured in ms leaves the stride alone.
  if (t > 0) meter.meter_stride = AdaptedStride(meter.meter_stride, interval, work, t, period.recording);
  meter.last_buffer_time = start;
}
