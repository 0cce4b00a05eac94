#pragma once
// The application object: the program's hidden top-level window (its identity towards the client),
// the hook chain on that window, the program's icon, the message loop with the keyboard handling of
// the program's forms, and the top-level error report.
#include <windows.h>

#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/app_error.h"
#include "base/application_window_win.h"
#include "base/handles.h"
#include "base/message_hooks.h"

namespace callwright {

class Form;

// RegisterApplicationRestart; replaceable so that tests can see the registration.
using RestartRegistration = HRESULT(WINAPI*)(PCWSTR command_line, DWORD flags);
extern RestartRegistration RegisterRestartCall;

class Application : public ApplicationWindow {
 public:
  // The one application object; its hidden window exists from the first call on.
  static Application& Instance();

  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  HWND Handle() const noexcept override;
  HINSTANCE InstanceHandle() const noexcept { return instance_; }
  const std::wstring& Title() const noexcept { return title_; }

  // The program's icon, which every form carries unless it asks for another; set by the program
  // before its first form. With its small version the system need not make one for each form's
  // class (a costly copy of the icon at every registration).
  void SetIcon(HICON icon, HICON small_icon = nullptr) noexcept {
    icon_ = icon;
    small_icon_ = small_icon;
  }
  HICON Icon() const noexcept { return icon_; }
  HICON SmallIcon() const noexcept { return small_icon_; }

  // Hooks on the hidden application window. An error escaping a hook is reported and counts as
  // not consumed.
  int AddMessageHook(MessageHook hook) override;
  void RemoveMessageHook(int id) override;
  std::size_t MessageHookCount() const noexcept { return hooks_.Count(); }

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
  // Ends the process at once (ExitProcess) after the end handlers; nothing else runs first. A close
  // of the hidden application window (WM_CLOSE, SC_CLOSE) ends it so, with exit code 0.
  [[noreturn]] void EndProcess(UINT exit_code);

  // Asks the Restart Manager to start the program again with these arguments after it ended it
  // for an installer or an update. False when the system refused (or the text is too long).
  bool RegisterRestart(const std::wstring& arguments);

  // Starts the main form (see Form::StartUp), then dispatches messages until WM_QUIT.
  int Run();
  // Dispatches every queued message, then returns (for tests and modal loops).
  void ProcessMessages();
  // Dispatches one message as the message loop does: keys of a form's window go through the
  // form's dialog handling first.
  void Dispatch(MSG& msg);

  // The owner of a report no window asked for (an error report, a refusal of the client): the
  // active visible form, else the visible main form, else the hidden application window.
  HWND ReportOwner() const override;

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
    } catch (...) {
      ShowException(UnknownError());
    }
  }

 private:
  class HiddenWindow;

  Application();
  ~Application();

  HINSTANCE instance_ = nullptr;
  std::wstring title_ = L"Callwright";
  // Made after the hook chain and gone before it.
  MessageHookChain hooks_;
  std::unique_ptr<HiddenWindow> window_;
  HICON icon_ = nullptr;
  HICON small_icon_ = nullptr;
  std::vector<std::pair<int, std::function<void()>>> end_handlers_;
  int next_end_handler_id_ = 1;
  Form* main_form_ = nullptr;
  std::vector<Form*> forms_;
};

}  // namespace callwright
