// The wait cursor for a step that keeps the window busy, in any layer.
#pragma once
#include <windows.h>

// Shows the wait cursor while it lives and puts the previous one back.
class WaitCursor {
 public:
  WaitCursor();
  ~WaitCursor();
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  HCURSOR previous_;
};
