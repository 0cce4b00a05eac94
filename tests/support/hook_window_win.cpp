#include "support/hook_window_win.h"

#include <gtest/gtest.h>

#include <exception>
#include <utility>

namespace callwright::test {

namespace {
constexpr wchar_t kClassName[] = L"CallwrightTestHookWindow";
}  // namespace

void HookWindow::RegisterClassOnce() {
  static const bool registered = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &HookWindow::WindowProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = kClassName;
    return ::RegisterClassExW(&wc) != 0;
  }();
  EXPECT_TRUE(registered) << "RegisterClassExW failed";
}

HookWindow::HookWindow() {
  RegisterClassOnce();
  // As the application window: never shown, and with no task-bar button.
  window_.Reset(::CreateWindowExW(WS_EX_TOOLWINDOW, kClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                  ::GetModuleHandleW(nullptr), this));
  EXPECT_TRUE(window_) << "CreateWindowExW failed: " << ::GetLastError();
}

HookWindow::~HookWindow() {
  // The closing messages go to no hook.
  ::SetWindowLongPtrW(window_.Get(), GWLP_USERDATA, 0);
  window_.Reset();
}

int HookWindow::AddMessageHook(MessageHook hook) {
  return hooks_.Add([hook = std::move(hook)](HookMessage& message) {
    try {
      return hook(message);
    } catch (const std::exception& error) {
      ADD_FAILURE() << "a hook threw: " << error.what();
    } catch (...) {
      ADD_FAILURE() << "a hook threw";
    }
    return false;
  });
}

LRESULT CALLBACK HookWindow::WindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  if (auto* self = reinterpret_cast<HookWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA))) {
    HookMessage message{msg, wparam, lparam, 0};
    if (self->hooks_.Dispatch(message)) return message.result;
  }
  return ::DefWindowProcW(hwnd, msg, wparam, lparam);
}

}  // namespace callwright::test
