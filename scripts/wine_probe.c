/* Small Windows program used by wine_env.sh to prepare and check a Wine prefix.
 *   wine_probe devices  prints "waveout N wavein M" (the wave device counts)
 *   wine_probe warm     opens a window with text and closes it again, so the
 *                       font cache of a new prefix is built before any test
 *   wine_probe fonts    prints the code pages and the OEM fixed font metrics
 */
#include <windows.h>
#include <mmsystem.h>
#include <stdio.h>
#include <string.h>

static LRESULT CALLBACK WarmProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    SelectObject(dc, GetStockObject(OEM_FIXED_FONT));
    TextOutA(dc, 4, 4, "warm", 4);
    EndPaint(window, &paint);
    return 0;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

static int Warm(void) {
  WNDCLASSA window_class;
  memset(&window_class, 0, sizeof window_class);
  window_class.lpfnWndProc = WarmProc;
  window_class.hInstance = GetModuleHandleA(NULL);
  window_class.lpszClassName = "WineProbeWarm";
  window_class.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
  RegisterClassA(&window_class);
  HWND window = CreateWindowExA(0, "WineProbeWarm", "warm", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                NULL, NULL, window_class.hInstance, NULL);
  if (!window) return 1;
  HWND button = CreateWindowExA(0, "BUTTON", "Button", WS_CHILD | WS_VISIBLE, 4, 30, 80, 24, window,
                                NULL, window_class.hInstance, NULL);
  (void)button;
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
  MSG message;
  while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  DestroyWindow(window);
  return 0;
}

int main(int argc, char** argv) {
  const char* what = argc > 1 ? argv[1] : "devices";
  if (strcmp(what, "devices") == 0) {
    printf("waveout %u wavein %u\n", waveOutGetNumDevs(), waveInGetNumDevs());
  } else if (strcmp(what, "warm") == 0) {
    return Warm();
  } else if (strcmp(what, "fonts") == 0) {
    HDC dc = GetDC(NULL);
    SelectObject(dc, GetStockObject(OEM_FIXED_FONT));
    TEXTMETRICA metrics;
    GetTextMetricsA(dc, &metrics);
    printf("acp %u oemcp %u charset %d height %ld ascent %ld width %ld\n", GetACP(), GetOEMCP(),
           metrics.tmCharSet, metrics.tmHeight, metrics.tmAscent, metrics.tmAveCharWidth);
    ReleaseDC(NULL, dc);
  } else {
    fprintf(stderr, "usage: wine_probe devices|warm|fonts\n");
    return 2;
  }
  fflush(stdout);
  return 0;
}
