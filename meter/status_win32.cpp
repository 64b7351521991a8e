// The status lines above the meter and the display timer's tick of on-memory
// runs.
#include "meter/status_win32.h"

#include <cstring>

#include "base/app_state_win32.h"
#include "base/ui_text_win32.h"
#include "base/windows_version.h"
#include "meter/measure_win32.h"
#include "meter/meter_draw_win32.h"
#include "meter/status_text.h"
#include "meter/tick.h"
#include "resources/resource_ids.h"

namespace {

int W() { return app.cell_width; }
int H() { return app.cell_height; }

void Write(HDC dc, int x, int y, const StatusText& text) {
  TextOutA(dc, x, y, text.text, static_cast<int>(strlen(text.text)));
}

// The device's position as the portable tick wants it.
TickPosition QueryDevicePosition(DWORD now) {
  const bool recording = app.mode == MODE_REC;
  MMTIME time = {};
  time.wType = TIME_MS;
  // Systems before 4.00 know the shorter record.
  UINT size = app.windows_version >= kWindows400 ? sizeof time : 10;
  MMRESULT result = recording ? waveInGetPosition(app.wave_in, &time, size) : waveOutGetPosition(app.wave_out, &time, size);
  DWORD value = time.wType == TIME_SAMPLES ? time.u.sample : time.wType == TIME_BYTES ? time.u.cb : time.u.ms;
  return ConvertDevicePosition(result == MMSYSERR_NOERROR, time.wType, value, now, app.run_start_time, app.BytesPerSec,
                               app.khz);
}

void Tick(HDC dc, DWORD now, DWORD start) {
  static StalledPositionState stalled;
  const bool recording = app.mode == MODE_REC;
  TickPosition position = QueryDevicePosition(now);
  if (app.windows_version < kWindows312) position.ms = CompensateStalledPosition(stalled, position.ms, now);

  TickInputs in;
  in.recording = recording;
  in.windows_version = app.windows_version;
  in.rate_steps = app.rate_steps;
  in.BytesPerSec = app.BytesPerSec;
  in.khz = app.khz;
  in.blockalign = app.blockalign;
  in.unit_size = app.unit_size;
  in.buffer_size = app.buffer_size;
  in.data_total = app.data_total;
  in.free_bytes = app.free_bytes;
  TickFrame frame = ComputeTickFrame(in, position);
  app.meter.position_ms = frame.position_ms;

  Write(dc, 9 * W(), 7 * H(), FormatTickPositionText(frame.position_ms, app.BytesPerSec));

  // Without a byte rate there is no telling where in the memory block the
  // sound is: the meter waits.
  if (!frame.has_offset || app.block_data[kMemoryBlock] == nullptr) return;
  if (MetersDecodedSound()) {
    // The sound read into the block: the data, up to the block's size.
    const DWORD held = app.data_total < app.buffer_size ? app.data_total : app.buffer_size;
    MeasureDecodedUntil(dc, app.block_data[kMemoryBlock], static_cast<long>(held), app.meter.metered_end,
                        frame.position_ms);
    AdaptStride(start);
    return;
  }
  LevelWindow window = ComputeLevelWindow(frame.offset, app.buffer_size, app.unit_size, app.blockalign,
                                          MeterReadsSamples(), app.meter.metered_end);
  if (!window.measure) return;
  MeasureLevelsOf(dc, app.block_data[kMemoryBlock] + window.start, static_cast<long>(window.end - window.start));
  AdaptStride(start);
  app.meter.metered_end = static_cast<long>(window.end);
}

}  // namespace

void MeterTick(HDC dc, DWORD now) {
  static int reentry_guard = 1;
  DWORD start = timeGetTime();
  if (!app.run.active() || reentry_guard != 1) return;
  ++reentry_guard;
  Tick(dc, now, start);
  --reentry_guard;
}

void ShowFormatLine(HDC dc) {
  Write(dc, W(), 7 * H(), FormatRateText(app.khz));
  Write(dc, W(), 10 * H(), FormatBitsText(app.sample_bits, app.khz, app.format_tag, app.BytesPerSec));
}

void ShowCapacity(HDC dc) {
  Write(dc, 9 * W(), 10 * H(), FormatCapacityText(app.BytesPerSec, app.mode == MODE_REC, app.free_bytes, app.data_total));
}

void ShowPosition(HDC dc) {
  PositionInputs in;
  in.running = app.run.active();
  in.recording = app.mode == MODE_REC;
  in.on_memory = app.buffer_count == ON_MEMORY;
  in.data_count = app.data_count;
  in.played_bytes = app.played_bytes;
  in.run_start_time = app.run_start_time;
  in.pause_time = app.pause_time;
  in.BytesPerSec = app.BytesPerSec;
  in.rate_steps = app.rate_steps;
  Write(dc, 9 * W(), 7 * H(), FormatPositionText(in));
}

void ShowNewFormat() {
  if (!app.main_window) return;
  MainWindowDc dc;
  ClearMeterArea(dc.get());
  ShowFormatLine(dc.get());
  ShowPosition(dc.get());
}

void RefreshCapacity() {
  if (!app.main_window) return;
  MainWindowDc dc;
  ShowCapacity(dc.get());
  DrawMeterLabels(dc.get());  // selects its own font and puts the status font back
}
