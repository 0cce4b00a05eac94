#include "ui/toolkit/placement.h"

#include <algorithm>

namespace callwright {

POINT CentredPosition(const RECT& over, SIZE size, const RECT& work_area) {
  LONG x = over.left + ((over.right - over.left) - size.cx) / 2;
  LONG y = over.top + ((over.bottom - over.top) - size.cy) / 2;
  x = std::min(x, work_area.right - size.cx);
  y = std::min(y, work_area.bottom - size.cy);
  // Never left of or above the work area, even when the window is larger than it.
  x = std::max(x, work_area.left);
  y = std::max(y, work_area.top);
  return {x, y};
}

RECT MonitorWorkArea(HWND hwnd) {
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  if (::GetMonitorInfoW(::MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &info)) return info.rcWork;
  RECT area{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  return area;
}

void CentreWindow(HWND window, HWND over) {
  RECT own{};
  ::GetWindowRect(window, &own);
  const RECT work_area = MonitorWorkArea(over ? over : window);
  RECT target = work_area;
  if (over) ::GetWindowRect(over, &target);
  const POINT at = CentredPosition(target, {own.right - own.left, own.bottom - own.top}, work_area);
  ::SetWindowPos(window, nullptr, at.x, at.y, 0, 0, SWP_NOZORDER | SWP_NOSIZE | SWP_NOACTIVATE);
}

}  // namespace callwright
