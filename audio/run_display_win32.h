// What the transport hands the meter and the status lines: the layers below
// read no transport state, so every measurement, tick and status line (the
// dropouts on the file name line too) gets its figures from here.
#pragma once
#include <windows.h>

#include "base/dropout_tally.h"
#include "meter/measure_win32.h"
#include "meter/status_win32.h"

// Posted to the main window when the file name line changes during a
// recording: the next file of its series, a dropout counted, the end of a run
// that counted some. The window draws the line again.
constexpr UINT kNameLineMessage = WM_APP + 2;

// The current run's figures for the meter and the status lines.
MeterRun MeterRunNow();
PositionInputs PositionNow();
CapacityFigures CapacityNow();

// Measures and draws the levels of the first bytes of wave block `block`.
void MeasureBlock(HDC dc, int block, long bytes);
// Fills wave block `block` with the silence of the current format.
void FillBlockSilence(int block, DWORD bytes);
// Adapts the meter's stride after a handler that began at `start`.
void AdaptRunStride(DWORD start);
void ShowRunPosition(HDC dc);
// The meter's labels, once a file is open.
void DrawRunLabels(HDC dc);
// The dropouts the file name line shows: those of the recording under way
// (none otherwise).
const DropoutTally& LiveDropouts();
// The file name line changed (kNameLineMessage).
void RedrawNameLine();
// The display timer's tick of an on-memory run: the device position is read
// and becomes the run's position (transport.position_ms, which the recording
// time limit is judged by); the meter draws it and the levels it reached.
void RunDisplayTick(HDC dc, DWORD now);
