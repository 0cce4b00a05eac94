// The yardstick of the start-up benchmark: a Win32 program that only shows one empty window.
// With the argument "common-controls" it first loads the common controls library (as Callwright
// does through its list view), to tell that library's share of the figures apart.
#include <windows.h>
// After windows.h.
#include <commctrl.h>

#include <string_view>

#include "bare_program.h"

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
  HWND hwnd = bare::MakeWindow(instance, L"BareWindow", L"Bare window", &WindowProc);
  ::ShowWindow(hwnd, show);
  return bare::RunMessageLoop();
}
