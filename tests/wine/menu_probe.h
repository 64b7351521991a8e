// Request blocks shared by the driver and menu_probe.dll. The driver writes one
// into TAPEON's memory, starts the probe's function there on a thread of its
// own, and reads the block back. Wine does not let one process read another's
// menus, so the reading has to happen inside the program; what the program
// hands to the wave device can likewise only be seen from inside.
#pragma once
#include <cstdint>

namespace menu_probe {

constexpr uint32_t kMenuBar = 0;     // GetMenu(window)
constexpr uint32_t kSystemMenu = 1;  // GetSystemMenu(window, FALSE)
constexpr uint32_t kMaxItems = 96;
constexpr uint32_t kTextBytes = 128;
constexpr uint32_t kNoMenu = 0xFFFFFFFFu;  // thread result when the window has no such menu

struct Item {
  int32_t level;     // 0 for the items of the menu itself, 1 inside their popups, ...
  int32_t position;  // position inside its own menu
  uint32_t id;       // command id; 0xFFFFFFFF for a popup
  uint32_t state;    // MF_GRAYED, MF_DISABLED, MF_CHECKED, MF_POPUP, MF_SEPARATOR, ...
  char text[kTextBytes];  // the item's text as the program set it (ANSI bytes)
};

struct Request {
  uint32_t window;  // the window whose menu is read
  uint32_t which;   // kMenuBar or kSystemMenu
  uint32_t count;   // items written
  Item items[kMaxItems];
};

// WatchPlayback: from then on, the bytes of every buffer the program hands to
// waveOutWrite (and the device accepts) are appended to the file at `path`, in
// the order of the calls. The thread result is 1 when the watch is in place.
// StallPlayback (same request, unused): from then on every buffer is taken
// with success and never reaches the device nor comes back, as with a device
// that stops.
constexpr uint32_t kPathBytes = 260;
struct WatchRequest {
  char path[kPathBytes];
  uint32_t window;  // WatchRecording: the program's main window
  // WatchPlayback, when not empty: one WriteTime record per buffer handed
  // over, for a look at how early the program keeps the device fed.
  char timing_path[kPathBytes];
};
struct WriteTime {
  uint32_t milliseconds;  // timeGetTime() when the program called waveOutWrite
  uint32_t bytes;         // the buffer's length
};

// WatchRecording: from then on, the bytes of every buffer the wave input
// device gives back to the window (MM_WIM_DATA, dwBytesRecorded of them) are
// appended to the file at `path`, before the program sees them. The thread
// result is 1 when the watch is in place.

// ProvideMixer: from then on the program's run-time look-ups of the mixer
// functions (GetProcAddress of "mixerOpen" and the four others) find the
// probe's own mixer: device 0 with a wave-output line whose peak meter
// control reads the two values given (the first channel's, the second's).
// The thread result is 1 when the look-up is taken over.
struct MixerRequest {
  int32_t left;
  int32_t right;
};

// MeasureTexts: every visible direct child of `window` that shows its text as
// a label (static text, push button, check box, radio button, group box),
// with the pixels the text takes in the control's own font and the pixels
// the control has for it once the system has drawn its box or frame. The
// thread result is the number of controls written.
constexpr uint32_t kMaxControls = 64;
struct TextFit {
  int32_t id;
  int32_t needed;     // width of the text on one line
  int32_t available;  // width the control gives its text
  int32_t fits;       // 1 when the text is shown whole (wrapped within the height, for a wrapping static)
  char text[kTextBytes];
};
struct MeasureRequest {
  uint32_t window;
  uint32_t count;
  TextFit controls[kMaxControls];
};

}  // namespace menu_probe
