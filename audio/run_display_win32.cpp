#include "audio/run_display_win32.h"

#include "audio/transport_state_win32.h"
#include "base/app_state_win32.h"
#include "base/windows_version.h"
#include "meter/meter_draw_win32.h"
#include "meter/tick.h"
#include "sound_files/current_file_win32.h"

namespace {

// The device's position as the portable tick wants it.
TickPosition QueryDevicePosition(DWORD now) {
  const RunRecord& run = transport.run;
  const bool recording = transport.mode == MODE_REC;
  MMTIME time = {};
  time.wType = TIME_MS;
  // Systems before 4.00 know the shorter record.
  UINT size = app.windows_version >= kWindows400 ? sizeof time : 10;
  MMRESULT result = recording ? waveInGetPosition(run.wave_in, &time, size) : waveOutGetPosition(run.wave_out, &time, size);
  DWORD value = time.wType == TIME_SAMPLES ? time.u.sample : time.wType == TIME_BYTES ? time.u.cb : time.u.ms;
  return ConvertDevicePosition(result == MMSYSERR_NOERROR, time.wType, value, now, run.run_start_time,
                               current_file.format.BytesPerSec, current_file.format.rate);
}

void Tick(HDC dc, DWORD now, DWORD start) {
  RunRecord& run = OwnedRun();
  const CurrentFormat& format = current_file.format;
  TickPosition position = QueryDevicePosition(now);
  if (app.windows_version < kWindows312) position.ms = CompensateStalledPosition(run.display.stalled, position.ms, now);

  TickInputs in;
  in.recording = transport.mode == MODE_REC;
  in.windows_version = app.windows_version;
  in.rate_steps = app.rate_steps;
  in.BytesPerSec = format.BytesPerSec;
  in.rate = format.rate;
  in.blockalign = format.blockalign;
  in.unit_size = run.unit_size;
  in.buffer_size = run.buffer_size;
  in.data_total = current_file.data_total;
  in.free_bytes = current_file.free_bytes;
  const TickFrame frame = ComputeTickFrame(in, position);
  run.position_ms = frame.position_ms;

  TickBlock block;
  block.data = run.block_data[kMemoryBlock];
  block.data_total = current_file.data_total;
  block.buffer_size = run.buffer_size;
  block.blockalign = format.blockalign;
  block.BytesPerSec = format.BytesPerSec;
  DrawTick(dc, frame, block, MeterRunNow(), start);
}

}  // namespace

MeterRun MeterRunNow() {
  const CurrentFormat& format = current_file.format;
  MeterRun run;
  run.layout = format.layout;
  run.sample_class = format.sample_class;
  run.unit_size = transport.run.unit_size;
  run.levelwarning = app.settings.levelwarning != 0;
  run.period.deltatime = app.settings.deltatime;
  run.period.rate = format.rate;
  run.period.recording = transport.mode == MODE_REC;
  run.period.rate_steps = app.rate_steps;
  run.period.on_memory = transport.run.buffer_count == ON_MEMORY;
  return run;
}

PositionInputs PositionNow() {
  const RunRecord& run = transport.run;
  PositionInputs in;
  in.running = run.active();
  in.recording = transport.mode == MODE_REC;
  in.on_memory = run.buffer_count == ON_MEMORY;
  in.data_count = current_file.data_count;
  in.played_bytes = run.played_bytes;
  in.run_start_time = run.run_start_time;
  in.pause_time = run.pause_time;
  in.BytesPerSec = current_file.format.BytesPerSec;
  in.rate_steps = app.rate_steps;
  return in;
}

CapacityFigures CapacityNow() {
  CapacityFigures figures;
  figures.BytesPerSec = current_file.format.BytesPerSec;
  figures.recording = transport.mode == MODE_REC;
  figures.free_room = current_file.free_room;
  figures.data_total = current_file.data_total;
  return figures;
}

void MeasureBlock(HDC dc, int block, long bytes) {
  const char* data = block >= 0 && block < kBlockCount ? transport.run.block_data[block] : nullptr;
  MeasureLevelsOf(dc, data, bytes, MeterRunNow());
}

void FillBlockSilence(int block, DWORD bytes) {
  if (block < 0 || block >= kBlockCount) return;
  FillSilence(transport.run.block_data[block], bytes, current_file.format.sample_bits);
}

void AdaptRunStride(DWORD start) { AdaptStride(start, MeterRunNow().period); }

void ShowRunPosition(HDC dc) { ShowPosition(dc, PositionNow()); }

void DrawRunLabels(HDC dc) {
  if (transport.mode != 0) DrawMeterLabels(dc, current_file.format.sample_class);
}

const DropoutTally& LiveDropouts() {
  static const DropoutTally none;
  const RunRecord& run = transport.run;
  return transport.mode == MODE_REC && run.active() ? run.recording.dropouts.tally() : none;
}

void RedrawNameLine() {
  if (app.main_window) PostMessageA(app.main_window, kNameLineMessage, 0, 0);
}

void RunDisplayTick(HDC dc, DWORD now) {
  RunRecord& run = OwnedRun();
  DWORD start = timeGetTime();
  if (!run.active() || run.display.tick_depth != 0) return;
  ++run.display.tick_depth;
  Tick(dc, now, start);
  --run.display.tick_depth;
}
