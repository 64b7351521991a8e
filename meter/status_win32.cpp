// The status lines above the meter and the display timer's tick of on-memory
// runs.
#include "meter/status_win32.h"

#include <cstring>

#include "base/app_state_win32.h"
#include "base/ui_text_win32.h"
#include "base/windows_version.h"
#include "meter/measure_win32.h"
#include "meter/meter_draw_win32.h"
#include "meter/meter_record_win32.h"
#include "meter/status_text.h"
#include "meter/tick.h"
#include "resources/resource_ids.h"

namespace {

int W() { return app.cell_width; }
int H() { return app.cell_height; }

void Write(HDC dc, int x, int y, const StatusText& text) {
  TextOutA(dc, x, y, text.text, static_cast<int>(strlen(text.text)));
}

}  // namespace

void DrawTick(HDC dc, const TickFrame& frame, const TickBlock& block, const MeterRun& run, DWORD start) {
  Write(dc, 9 * W(), 7 * H(), FormatTickPositionText(frame.position_ms, block.BytesPerSec));

  // Without a byte rate there is no telling where in the memory block the
  // sound is: the meter waits.
  if (!frame.has_offset || block.data == nullptr) return;
  if (MetersDecodedSound(run.layout)) {
    // The sound read into the block: the data, up to the block's size.
    const DWORD held = block.data_total < block.buffer_size ? block.data_total : block.buffer_size;
    MeasureDecodedUntil(dc, block.data, static_cast<long>(held), frame.position_ms, run.sample_class);
    AdaptStride(start, run.period);
    return;
  }
  MeterRecord& meter = OwnedMeter();
  LevelWindow window = ComputeLevelWindow(frame.offset, block.buffer_size, run.unit_size, block.blockalign,
                                          run.layout.direct, meter.metered_end);
  if (!window.measure) return;
  MeasureLevelsOf(dc, block.data + window.start, static_cast<long>(window.end - window.start), run);
  AdaptStride(start, run.period);
  meter.metered_end = static_cast<long>(window.end);
}

void ShowFormatLine(HDC dc, const CurrentFormat& format) {
  Write(dc, W(), 7 * H(), FormatRateText(format.khz));
  Write(dc, W(), 10 * H(), FormatBitsText(format.sample_bits, format.khz, format.format_tag, format.BytesPerSec));
}

void ShowCapacity(HDC dc, const CapacityFigures& figures) {
  Write(dc, 9 * W(), 10 * H(),
        FormatCapacityText(figures.BytesPerSec, figures.recording, figures.free_room, figures.data_total));
}

void ShowPosition(HDC dc, const PositionInputs& in) { Write(dc, 9 * W(), 7 * H(), FormatPositionText(in)); }

void ShowNewFormat(const CurrentFormat& format) {
  if (!app.main_window) return;
  MainWindowDc dc;
  ClearMeterArea(dc.get());
  ShowFormatLine(dc.get(), format);
  // A format is taken while no run is under way.
  ShowPosition(dc.get(), PositionInputs{});
}

void RefreshCapacity(const CapacityFigures& figures, int sample_class) {
  if (!app.main_window) return;
  MainWindowDc dc;
  ShowCapacity(dc.get(), figures);
  DrawMeterLabels(dc.get(), sample_class);  // selects its own font and puts the status font back
}
