#pragma once
// A stand-in for the program's hidden application window, for tests of the client link without the
// application object: a real hidden top-level window (broadcasts reach it) with a real hook chain.
#include <windows.h>

#include <cstddef>

#include "base/application_window_win.h"
#include "base/handles.h"
#include "base/message_hooks.h"

namespace callwright::test {

class HookWindow final : public ApplicationWindow {
 public:
  HookWindow();
  ~HookWindow();
  HookWindow(const HookWindow&) = delete;
  HookWindow& operator=(const HookWindow&) = delete;

  HWND Handle() const noexcept override { return window_.Get(); }
  // Reports go to this window itself, as the application's do while no form is visible.
  HWND ReportOwner() const override { return window_.Get(); }
  // A hook that throws fails the running test; the error never crosses the window procedure.
  int AddMessageHook(MessageHook hook) override;
  void RemoveMessageHook(int id) override { hooks_.Remove(id); }
  std::size_t Count() const noexcept { return hooks_.Count(); }

 private:
  static void RegisterClassOnce();
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);

  MessageHookChain hooks_;
  WindowHandle window_;
};

}  // namespace callwright::test
