// The status lines of the main window and the drawing of the display tick of
// on-memory runs. The callers hand over what the lines show: the meter reads
// neither the transport nor the current file.
#pragma once
#include <windows.h>

#include <cstdint>

#include "meter/current_format.h"
#include "meter/measure_win32.h"
#include "meter/status_text.h"
#include "meter/tick.h"

// What the capacity line shows.
struct CapacityFigures {
  uint32_t BytesPerSec = 0;
  bool recording = false;  // a recording is prepared or running: the free space
  uint64_t free_room = 0;  // the drive's free bytes, uncapped
  uint32_t data_total = 0;
};

// The memory block of an on-memory run as the tick meters it.
struct TickBlock {
  const char* data = nullptr;
  uint32_t data_total = 0;
  uint32_t buffer_size = 0;
  int blockalign = 1;
  uint32_t BytesPerSec = 0;
};

// Shows a new current format on a cleared meter, with the position of no run.
void ShowNewFormat(const CurrentFormat& format);
// The capacity line and the meter's labels of a file just opened or created.
void RefreshCapacity(const CapacityFigures& figures, int sample_class);
void ShowFormatLine(HDC dc, const CurrentFormat& format);
void ShowCapacity(HDC dc, const CapacityFigures& figures);
void ShowPosition(HDC dc, const PositionInputs& in);
// The tick's drawing: the position the transport computed (frame), and the
// levels of the stretch of the memory block it reached. `start`: when the
// tick began (for the stride).
void DrawTick(HDC dc, const TickFrame& frame, const TickBlock& block, const MeterRun& run, DWORD start);
