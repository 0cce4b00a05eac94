#pragma once
// What the bare yardstick programs share: one window of a class of their own, and the message loop.
// Header-only, plain Win32: the yardsticks stay as small as a program can be.
#include <windows.h>

namespace bare {

// Registers `class_name` with `procedure` and makes its window (not shown), 394 x 332 like
// Callwright's main window.
inline HWND MakeWindow(HINSTANCE instance, const wchar_t* class_name, const wchar_t* caption, WNDPROC procedure) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = procedure;
  wc.hInstance = instance;
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = class_name;
  ::RegisterClassExW(&wc);
  return ::CreateWindowExW(0, class_name, caption, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 394, 332,
                           nullptr, nullptr, instance, nullptr);
}

inline int RunMessageLoop() {
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return 0;
}

}  // namespace bare
