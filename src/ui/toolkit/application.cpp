#include "ui/toolkit/application.h"

#include <commctrl.h>
#include <ole2.h>

#include <algorithm>

#include "base/app_error.h"
#include "ui/toolkit/form.h"
#include "ui/toolkit/window.h"

namespace callwright {

namespace {
constexpr wchar_t kAppWindowClass[] = L"TApplication";
// Set before the window exists, so that messages sent during its creation never re-enter the
// function-local static that is still being constructed.
Application* g_application = nullptr;
}  // namespace

// The program's identity towards the client: a real top-level window, never shown (broadcasts do
// not reach message-only windows), whose messages go through the hook chain first.
class Application::HiddenWindow : public Window {
 public:
  HiddenWindow(const std::wstring& title, MessageHookChain& hooks) : hooks_(hooks) {
    Create({.class_name = kAppWindowClass,
            .caption = title.c_str(),
            .style = WS_POPUP,
            .ex_style = WS_EX_TOOLWINDOW,
            .x = 0,
            .y = 0,
            .width = 0,
            .height = 0,
            .class_style = 0,
            .background = nullptr});
  }

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wparam, LPARAM lparam) override {
    HookMessage message{msg, wparam, lparam, 0};
    if (hooks_.Dispatch(message)) return message.result;
    // The client link, the notification icon and the owned boxes hang on this window: it is never
    // destroyed before the process ends. Being closed (as taskkill without /F closes every
    // top-level window of a process) ends the program in order instead.
    if (msg == WM_CLOSE || (msg == WM_SYSCOMMAND && (wparam & 0xFFF0) == SC_CLOSE)) {
      g_application->EndProcess(0);
    }
    return DefaultHandling(msg, wparam, lparam);
  }

 private:
  MessageHookChain& hooks_;
};

Application& Application::Instance() {
  static Application application;
  return application;
}

Application::Application() : instance_(::GetModuleHandleW(nullptr)) {
  g_application = this;
  // Once for the GUI thread and the whole run: the shell's folder dialog and the programs that
  // ShellExecuteW starts for a file (e.g. the default .wav player) need an OLE apartment.
  ::OleInitialize(nullptr);
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&controls);

  window_ = std::make_unique<HiddenWindow>(title_, hooks_);
}

Application::~Application() = default;

HWND Application::Handle() const noexcept { return window_ ? window_->Handle() : nullptr; }

int Application::AddMessageHook(MessageHook hook) {
  return hooks_.Add([this, hook = std::move(hook)](HookMessage& message) {
    bool consumed = false;
    Guard([&] { consumed = hook(message); });
    return consumed;
  });
}

void Application::RemoveMessageHook(int id) { hooks_.Remove(id); }

int Application::AddEndHandler(std::function<void()> handler) {
  end_handlers_.emplace_back(next_end_handler_id_, std::move(handler));
  return next_end_handler_id_++;
}

void Application::RemoveEndHandler(int id) {
  std::erase_if(end_handlers_, [id](const auto& h) { return h.first == id; });
}

void Application::EndProcess(UINT exit_code) {
  const auto handlers = end_handlers_;
  for (auto it = handlers.rbegin(); it != handlers.rend(); ++it) {
    try {
      it->second();
    } catch (...) {
      // The process ends all the same.
    }
  }
  ::ExitProcess(exit_code);
}

RestartRegistration RegisterRestartCall = &::RegisterApplicationRestart;

bool Application::RegisterRestart(const std::wstring& arguments) {
  // Not after a crash or a hang, nor at a restart of the system (the autostart entry is for that):
  // only when an installer or an update ended the program through the Restart Manager.
  constexpr DWORD kOnlyAfterAnUpdate = RESTART_NO_CRASH | RESTART_NO_HANG | RESTART_NO_REBOOT;
  if (arguments.size() >= RESTART_MAX_CMD_LINE) return false;
  return SUCCEEDED(RegisterRestartCall(arguments.c_str(), kOnlyAfterAnUpdate));
}

void Application::AddForm(Form* form) { forms_.push_back(form); }

void Application::RemoveForm(Form* form) noexcept { std::erase(forms_, form); }

Form* Application::FindForm(HWND hwnd) const noexcept {
  if (!hwnd) return nullptr;
  const auto found = std::find_if(forms_.begin(), forms_.end(), [hwnd](Form* f) { return f->Handle() == hwnd; });
  return found != forms_.end() ? *found : nullptr;
}

void Application::Dispatch(MSG& msg) {
  // Forms are plain windows, not dialogs: the dialog manager is what makes Tab, Shift+Tab, Space,
  // Enter and Esc work in them.
  if (msg.hwnd && msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) {
    HWND root = ::GetAncestor(msg.hwnd, GA_ROOT);
    if (Form* form = FindForm(root)) {
      ShowKeyboardCuesFor(msg);
      if ((msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) && form->HandleShortcut(msg)) return;
      if (::IsDialogMessageW(root, &msg)) return;
    }
  }
  ::TranslateMessage(&msg);
  ::DispatchMessageW(&msg);
}

int Application::Run() {
  if (main_form_) Guard([&] { main_form_->StartUp(); });
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) Dispatch(msg);
  return static_cast<int>(msg.wParam);
}

void Application::ProcessMessages() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    Dispatch(msg);
  }
}

HWND Application::ReportOwner() const {
  Form* active = FindForm(::GetActiveWindow());
  if (active && active->Visible()) return active->Handle();
  if (main_form_ && main_form_->Visible()) return main_form_->Handle();
  return Handle();
}

void ReportError(const std::exception& error) noexcept {
  // While the application is being made, its hidden window's first messages come before Instance()
  // has returned (asking it then would start its making again): the pointer that its constructor
  // sets first reaches it. Before any application exists, Instance() makes one to report through.
  if (g_application) {
    g_application->ShowException(error);
  } else {
    Application::Instance().ShowException(error);
  }
}

void Application::ShowException(const std::exception& error) noexcept {
  try {
    std::wstring text;
    if (const auto* app_error = dynamic_cast<const AppError*>(&error)) {
      text = app_error->Message();
    } else {
      const char* what = error.what();
      text.assign(what, what + std::char_traits<char>::length(what));
    }
    // It may come from a timer or the client while another program is in front.
    ::MessageBoxW(ReportOwner(), ErrorReportText(text).c_str(), title_.c_str(),
                  MB_OK | MB_ICONSTOP | MB_SETFOREGROUND);
  } catch (...) {
    // Reporting must never throw into a window procedure.
  }
}

}  // namespace callwright
