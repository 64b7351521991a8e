// Level measurement of wave blocks and the adaptation of the meter stride.
#include "meter/measure_win32.h"

#include <cstring>

#include "base/app_state_win32.h"
#include "base/ui_text_win32.h"
#include "base/windows_version.h"
#include "meter/decoded_levels_win32.h"
#include "meter/levels.h"
#include "meter/meter_draw_win32.h"
#include "meter/meter_record_win32.h"
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

bool MixerMeterReady() {
  return level_meter.mixer_library && level_meter.mixer_handle && app.windows_version >= kWindows395 && level_meter.mixer_get_control_details;
}

void ShowNoLevel(HDC dc) {
  SetTextColor(dc, RGB(255, 255, 255));
  SetBkColor(dc, RGB(0, 0, 0));
  WriteMixerNotice(dc, PickId(IDS_CANT_DISPLAY_LEVEL, ja::kMixerCantDisplayLevel));
}

void DrawPeaks(HDC dc, ChannelPeaks peaks, bool stereo, DWORD delta) {
  const int h = app.cell_height;
  if (stereo) {
    DrawChannelMeter(dc, LEFT_METER, peaks.left, 14 * h, h, delta);
    DrawChannelMeter(dc, RIGHT_METER, peaks.right, 16 * h, h, delta);
  } else {
    DrawChannelMeter(dc, LEFT_METER, peaks.left, 14 * h, 3 * h, delta);
  }
}

// The levels of the decoded sound, on the 16-bit scale and with the clip
// count of 16-bit PCM. While the decoder has not yet given sound for the
// bytes, the meter keeps what it shows.
void DrawDecodedResult(HDC dc, DecodedResult result, ChannelPeaks peaks, int sample_class) {
  switch (result) {
    case DECODED_LEVELS:
      DrawPeaks(dc, peaks, IsStereoClass(sample_class), DELTA_16BIT);
      if (BlockClips(CLASS_16BIT_STEREO, peaks)) ++OwnedMeter().over_count;
      break;
    case DECODED_PENDING:
      break;
    case DECODED_NONE:
      ShowNoLevel(dc);
      break;
  }
}

// Compressed formats: the levels come from the mixer's peak meter on the
// wave-output line, on the 16-bit scale, where the mixer has one; else from
// the decoded sound.
void MeasureMixerLevels(HDC dc, const char* sound, long bytes, int sample_class) {
  if (!MixerMeterReady()) {
    if (DecodedLevelsOpen()) {
      ChannelPeaks peaks;
      DrawDecodedResult(dc, MeasureDecoded(reinterpret_cast<const uint8_t*>(sound), bytes, peaks), peaks, sample_class);
    } else {
      ShowNoLevel(dc);
    }
    return;
  }
  const bool stereo = IsStereoClass(sample_class);
  LONG values[2] = {0, 0};
  MIXERCONTROLDETAILS details = {};
  details.cbStruct = sizeof details;
  details.dwControlID = level_meter.peak_control.dwControlID;
  details.cChannels = stereo ? 2 : 1;
  details.cbDetails = sizeof(LONG);
  details.paDetails = values;
  if (level_meter.mixer_get_control_details(reinterpret_cast<HMIXEROBJ>(level_meter.mixer_handle), &details,
                                    MIXER_GETCONTROLDETAILSF_VALUE) != MMSYSERR_NOERROR) {
    WriteMixerNotice(dc, PickId(IDS_CANT_GET_LEVEL, ja::kMixerCantGetLevel));
    return;
  }
  ChannelPeaks peaks;
  peaks.left = Magnitude(values[0]);
  peaks.right = Magnitude(values[1]);
  DrawPeaks(dc, peaks, stereo, DELTA_16BIT);
}

}  // namespace

static_assert(sizeof(MIXERCONTROLDETAILS) == 24, "mixer control details record");

void FillSilence(char* data, DWORD bytes, int sample_bits) {
  if (data == nullptr) return;
  memset(data, sample_bits == 16 ? 0 : 128, bytes);
}

void MeasureLevelsOf(HDC dc, const char* sound, long bytes, const MeterRun& run) {
  if (!run.layout.direct) {
    MeasureMixerLevels(dc, sound, bytes, run.sample_class);
    return;
  }
  MeterState& meter = OwnedMeter();
  const int scan_class = ScanClassOf(run.layout);
  meter.meter_stride = LimitStride(meter.meter_stride, run.unit_size, scan_class, run.levelwarning);
  const uint8_t* data = reinterpret_cast<const uint8_t*>(sound);
  ChannelPeaks peaks = ScanPcmPeaks(run.layout, data, bytes, meter.meter_stride);
  DrawPeaks(dc, peaks, IsStereoClass(scan_class), LevelDelta(scan_class));
  if (BlockClips(scan_class, peaks)) ++meter.over_count;
}

bool MetersDecodedSound(const PcmLayout& layout) { return !layout.direct && !MixerMeterReady() && DecodedLevelsOpen(); }

void MeasureDecodedUntil(HDC dc, const char* block, long size, double position_ms, int sample_class) {
  long& metered_end = OwnedMeter().metered_end;
  // At most this much of the block per tick, so that a tick after a long
  // stall does not hold the window up.
  constexpr long kMostPerTick = 64 * DECODED_SOURCE_PIECE;
  constexpr long kPiece = DECODED_SOURCE_PIECE;
  ChannelPeaks peaks;
  DecodedResult result = DECODED_PENDING;
  long done = 0;
  while (metered_end < size && done < kMostPerTick && DecodedMilliseconds() <= position_ms) {
    const long n = size - metered_end < kPiece ? size - metered_end : kPiece;
    ChannelPeaks piece;
    const DecodedResult got = MeasureDecoded(reinterpret_cast<const uint8_t*>(block) + metered_end, n, piece);
    metered_end += n;
    done += n;
    if (got == DECODED_LEVELS) {
      result = DECODED_LEVELS;
      if (piece.left > peaks.left) peaks.left = piece.left;
      if (piece.right > peaks.right) peaks.right = piece.right;
    } else if (got == DECODED_NONE && result != DECODED_LEVELS) {
      result = DECODED_NONE;
    }
  }
  DrawDecodedResult(dc, result, peaks, sample_class);
}

void ForgetMixerNotices() {
  if (MixerMeterReady() || !DecodedLevelsOpen() || !app.main_window) return;
  // The mixer's failure texts stand over the status lines above the meter;
  // the lines are painted afresh.
  RECT above = {0, 0, 0, 13 * app.cell_height};
  RECT client;
  GetClientRect(app.main_window, &client);
  above.right = client.right;
  InvalidateRect(app.main_window, &above, TRUE);
}

void AdaptStride(DWORD start, const StridePeriodInputs& period) {
  MeterState& meter = OwnedMeter();
  DWORD now = timeGetTime();
  int32_t interval = static_cast<int32_t>(start - meter.last_buffer_time);
  int32_t work = static_cast<int32_t>(now - start);
  int t = ExpectedPeriodMs(period);
  // A buffer time too short to be measured in ms leaves the stride alone.
  if (t > 0) meter.meter_stride = AdaptedStride(meter.meter_stride, interval, work, t, period.recording);
  meter.last_buffer_time = start;
}

void ClearMeterHolds() { OwnedMeter().hold_left = OwnedMeter().hold_right = 0; }

void RestartMeterWindow() { OwnedMeter().metered_end = 0; }

void SetMeterStride(uint32_t stride) { OwnedMeter().meter_stride = stride; }

void ResetRunLevels() {
  OwnedMeter().max_level = 0;
  OwnedMeter().over_count = 0;
}
