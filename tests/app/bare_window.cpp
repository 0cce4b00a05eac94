// The yardstick of the start-up benchmark: a Win32 program that only shows one empty window.
#include <windows.h>

namespace {
LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_DESTROY) ::PostQuitMessage(0);
  return ::DefWindowProcW(hwnd, msg, wparam, lparam);
}
}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &WindowProc;
  wc.hInstance = instance;
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = L"BareWindow";
  ::RegisterClassExW(&wc);
  HWND hwnd = ::CreateWindowExW(0, wc.lpszClassName, L"Bare window", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                394, 332, nullptr, nullptr, instance, nullptr);
  ::ShowWindow(hwnd, show);
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return 0;
}
