// The yardstick of the limits benchmark's hidden start: a Win32 program that makes one window,
// leaves it hidden and puts one icon with a tooltip into the notification area.
#include <windows.h>
// After windows.h.
#include <shellapi.h>

#include "bare_program.h"

namespace {
constexpr UINT kTrayMessage = WM_APP + 1;
NOTIFYICONDATAW icon_data{};

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_CLOSE) {
    ::Shell_NotifyIconW(NIM_DELETE, &icon_data);
    ::DestroyWindow(hwnd);
    return 0;
  }
  if (msg == WM_DESTROY) ::PostQuitMessage(0);
  return ::DefWindowProcW(hwnd, msg, wparam, lparam);
}
}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  HWND hwnd = bare::MakeWindow(instance, L"BareTray", L"Bare tray", &WindowProc);
  icon_data.cbSize = sizeof(icon_data);
  icon_data.hWnd = hwnd;
  icon_data.uID = 1;
  icon_data.uFlags = NIF_ICON | NIF_MESSAGE | NIF_TIP;
  icon_data.uCallbackMessage = kTrayMessage;
  icon_data.hIcon = ::LoadIconW(nullptr, IDI_APPLICATION);
  lstrcpynW(icon_data.szTip, L"Bare tray", ARRAYSIZE(icon_data.szTip));
  ::Shell_NotifyIconW(NIM_ADD, &icon_data);
  return bare::RunMessageLoop();
}
