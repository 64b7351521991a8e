// Pieces the transport shares with recording and playback only.
#pragma once
#include <windows.h>
#include <mmsystem.h>

// The window timer that drives the display of on-memory runs.
constexpr UINT_PTR kDisplayTimer = 1;

// The wait cursor while it lives.
class WaitCursor {
 public:
  WaitCursor();
  ~WaitCursor();
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  HCURSOR previous_;
};

// False, after a message, when the window could not make its four wave headers.
bool HeaderBlocksReady();
// True when header is one of the four wave headers of the main window.
bool IsOwnHeader(const WAVEHDR* header);

void SetPauseButtonText(const char* text);
// The screen saver is held off during a recording and put back at its end.
void SwitchScreenSaverOff();
void RestoreScreenSaver();

// Closes the current file without closing its chunks.
void CloseCurrentFile();
// Resets and closes a wave device, unpreparing every header still prepared
// for it first, so no data area is freed while the device can use it.
void CloseInputDevice();
void CloseOutputDevice();
