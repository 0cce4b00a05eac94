#pragma once
// Display scale. Every size the windows are laid out with is given at 96 dpi and scaled to the
// DPI of the window it lies in; fonts are made for that DPI. The DPI functions of Windows 10 are
// looked up at run time, so the program still starts on older systems (one DPI for all there).
#include <windows.h>

namespace callwright {

inline constexpr int kDesignDpi = 96;

// `value` (at 96 dpi) at `dpi`, rounded to the nearest pixel.
int ScaleToDpi(int value, int dpi);
// A length in pixels at `dpi` back at 96 dpi.
int UnscaleFromDpi(int value, int dpi);

// The DPI a window is drawn at: GetDpiForWindow, else the screen's.
int WindowDpi(HWND hwnd);
// The screen's (system) DPI.
int SystemDpi();

// Tahoma 8 point for `dpi`: height -11 at 96 dpi scaled, a half rounded down (-11, -14, -16, -22 at
// 96, 120, 144, 192). The fonts live as long as the process.
int DefaultFontHeight(int dpi);
HFONT DefaultFont(int dpi);

// GetSystemMetricsForDpi, else GetSystemMetrics.
int SystemMetricForDpi(int index, int dpi);
// AdjustWindowRectExForDpi, else AdjustWindowRectEx.
void AdjustWindowRectForDpi(RECT& rect, DWORD style, DWORD ex_style, int dpi);

}  // namespace callwright
