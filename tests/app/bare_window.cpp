// The yardstick of the start-up benchmark: a Win32 program that only shows one empty window.
// With the argument "common-controls" it first loads the common controls library (as Callwright
// does through its list view), to tell that library's share of the figures apart.
#include <windows.h>
// After windows.h.
#include <commctrl.h>

#include <string_view>

namespace {
LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_DESTROY) ::PostQuitMessage(0);
  return ::DefWindowProcW(hwnd, msg, wparam, lparam);
}
}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR command_line, int show) {
  if (std::wstring_view(command_line) == L"common-controls") {
    using InitFunction = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    if (HMODULE library = ::LoadLibraryW(L"comctl32.dll")) {
      const auto init =
          reinterpret_cast<InitFunction>(reinterpret_cast<void*>(::GetProcAddress(library, "InitCommonControlsEx")));
      const INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
      if (init) init(&controls);
    }
  }
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
