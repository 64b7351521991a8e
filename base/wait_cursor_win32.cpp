// The wait cursor while a step keeps the window busy.
#include "base/wait_cursor_win32.h"

WaitCursor::WaitCursor() : previous_(SetCursor(LoadCursor(nullptr, IDC_WAIT))) {}
WaitCursor::~WaitCursor() { SetCursor(previous_); }
