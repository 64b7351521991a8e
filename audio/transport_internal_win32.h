// Pieces the transport shares with recording and playback only.
#pragma once
#include <windows.h>
#include <mmsystem.h>

// The window timer that drives the display of on-memory runs.
constexpr UINT_PTR kDisplayTimer = 1;
// The window timer that bounds the wait for the buffers of a stopped
// recording: a device that was lost (its sound server gone) never hands them
// back, and the run must end all the same.
constexpr UINT_PTR kStopWaitTimer = 2;
constexpr UINT kStopWaitMs = 3000;
// The window timer that watches a playback for a device that stops handing
// its blocks back (PlaybackStallLimitMs), and its period.
constexpr UINT_PTR kPlayWatchTimer = 3;
constexpr UINT kPlayWatchMs = 1000;
// The window timer that watches a recording for an input that stops
// delivering (RecordStallLimitMs); its period is kPlayWatchMs.
constexpr UINT_PTR kRecordWatchTimer = 4;

// True when header is one of the four wave headers of the main window.
bool IsOwnHeader(const WAVEHDR* header);

void SetPauseButtonText(const char* text);
// The screen saver is held off during a recording; EndRun puts it back.
void SwitchScreenSaverOff();
