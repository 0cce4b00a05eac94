#pragma once
// The application object: the program's hidden top-level window (its identity towards the client
// and the owner of its message boxes), the hook chain on that window, the message loop and the
// top-level error report.
#include <windows.h>

#include <exception>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "ui/toolkit/handles.h"

namespace callwright {

class Form;

// One message of the application window as the hooks see it; Result starts at 0.
struct HookMessage {
  UINT Msg;
  WPARAM WParam;
  LPARAM LParam;
  LRESULT Result;
};
// Returns true when it consumed the message; a consumed message gets no further handling.
using MessageHook = std::function<bool(HookMessage&)>;

class Application {
 public:
  // The one application object; its hidden window exists from the first call on.
  static Application& Instance();

  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  HWND Handle() const noexcept { return window_.Get(); }
  HINSTANCE InstanceHandle() const noexcept { return instance_; }
  const std::wstring& Title() const noexcept { return title_; }

  // Hooks run in installation order. Returns an id for UnhookMainWindow.
  int HookMainWindow(MessageHook hook);
  void UnhookMainWindow(int id);
  std::size_t HookCount() const noexcept { return hooks_.size(); }

  // The main form is shown when Run starts and owns the task-bar button.
  void SetMainForm(Form* form) noexcept { main_form_ = form; }
  Form* MainForm() const noexcept { return main_form_; }

  // Handlers that run when EndProcess ends the process, last added first. Returns an id for
  // RemoveEndHandler.
  int AddEndHandler(std::function<void()> handler);
  void RemoveEndHandler(int id);
  // Ends the process at once (ExitProcess) after the end handlers; nothing else runs first.
  [[noreturn]] void EndProcess(UINT exit_code);

  // Shows the main form, then dispatches messages until WM_QUIT.
  int Run();
  // Dispatches every queued message, then returns (for tests and modal loops).
  void ProcessMessages();

  // The top-level error report: a modal stop box with the error text, owned by this window.
  void ShowException(const std::exception& error) noexcept;
  // Runs an event handler; an escaping error ends the handler and is reported.
  template <typename F>
  void Guard(F&& handler) noexcept {
    try {
      handler();
    } catch (const std::exception& error) {
      ShowException(error);
    }
  }

 private:
  Application();
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);

  struct Hook {
    int id;
    MessageHook hook;
  };

  HINSTANCE instance_ = nullptr;
  std::wstring title_ = L"Callwright";
  WindowHandle window_;
  std::vector<Hook> hooks_;
  int next_hook_id_ = 1;
  std::vector<std::pair<int, std::function<void()>>> end_handlers_;
  int next_end_handler_id_ = 1;
  Form* main_form_ = nullptr;
};

}  // namespace callwright
