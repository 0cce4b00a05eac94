#pragma once
// Where a window goes when it is centred: over another window (or a work area), on the monitor
// that other window is on.
#include <windows.h>

namespace callwright {

// The top-left corner that centres a window of `size` over `over`, moved inside `work_area` where
// it would stick out; when it is larger than the work area its left and top edges stay inside.
POINT CentredPosition(const RECT& over, SIZE size, const RECT& work_area);

// The work area of the monitor that holds the largest part of `hwnd` (the nearest one when none).
RECT MonitorWorkArea(HWND hwnd);

// Centres `window` over `over` on the monitor of `over`; with no `over`, in the work area of the
// monitor `window` is on.
void CentreWindow(HWND window, HWND over);

}  // namespace callwright
