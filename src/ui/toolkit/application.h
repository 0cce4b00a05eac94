#pragma once
// The application object: the program's hidden top-level window (its identity towards the client),
// the hook chain on that window, the message loop with the keyboard handling of the program's
// forms, and the top-level error report.
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

  // The main form is started when Run starts and owns the task-bar button.
  void SetMainForm(Form* form) noexcept { main_form_ = form; }
  Form* MainForm() const noexcept { return main_form_; }

  // Forms register themselves, so that the message loop gives them dialog keys (Tab, Esc...).
  void AddForm(Form* form);
  void RemoveForm(Form* form) noexcept;
  // The form whose window is `hwnd`, or null.
  Form* FindForm(HWND hwnd) const noexcept;

  // Handlers that run when EndProcess ends the process, last added first. Returns an id for
  // RemoveEndHandler.
  int AddEndHandler(std::function<void()> handler);
  void RemoveEndHandler(int id);
  // Ends the process at once (ExitProcess) after the end handlers; nothing else runs first.
  [[noreturn]] void EndProcess(UINT exit_code);

  // Starts the main form (see Form::StartUp), then dispatches messages until WM_QUIT.
  int Run();
  // Dispatches every queued message, then returns (for tests and modal loops).
  void ProcessMessages();
  // Dispatches one message as the message loop does: keys of a form's window go through the
  // form's dialog handling first.
  void Dispatch(MSG& msg);

  // The owner of a report no window asked for (an error report, a refusal of the client): the
  // active visible form, else the visible main form, else the hidden application window.
  HWND ReportOwner() const;

  // The top-level error report: a modal stop box with the error text, owned by ReportOwner and
  // brought to the foreground.
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
  std::vector<Form*> forms_;
};

}  // namespace callwright
