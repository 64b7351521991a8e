// Start-up routines and small system helpers used across the program.
#pragma once
#include <windows.h>

#include <cstddef>

bool RegisterMainClass(HINSTANCE instance);
bool InitInstance(HINSTANCE instance, int show);
// Turns the keyboard shortcuts into commands; true when the key was used.
bool FilterKey(HWND window, const MSG& message);
// Reports damage of the run-time heap in boxes captioned caption.
void CheckHeap(const char* caption);
