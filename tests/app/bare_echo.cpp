// The yardstick of the limits benchmark's command figures: a Win32 program whose window answers
// every WM_COPYDATA by sending the same bytes back to the sender's window, from inside the send,
// as Callwright answers a client's notification with its command.
#include <windows.h>

#include "bare_program.h"

namespace {
LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_COPYDATA) {
    const auto* received = reinterpret_cast<const COPYDATASTRUCT*>(lparam);
    COPYDATASTRUCT answer = *received;
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(reinterpret_cast<HWND>(wparam), WM_COPYDATA, reinterpret_cast<WPARAM>(hwnd),
                          reinterpret_cast<LPARAM>(&answer), SMTO_NORMAL | SMTO_ABORTIFHUNG, 5000, &result);
    return 1;
  }
  if (msg == WM_DESTROY) ::PostQuitMessage(0);
  return ::DefWindowProcW(hwnd, msg, wparam, lparam);
}
}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // Never shown: found by its class and caption.
  bare::MakeWindow(instance, L"BareEcho", L"Bare echo", &WindowProc);
  return bare::RunMessageLoop();
}
