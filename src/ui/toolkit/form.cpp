#include "ui/toolkit/form.h"

#include <algorithm>
#include <vector>

#include "ui/toolkit/application.h"
#include "ui/toolkit/control.h"
#include "ui/toolkit/high_contrast.h"
#include "ui/toolkit/placement.h"

namespace callwright {

void ShowKeyboardCuesFor(const MSG& msg) {
  WORD cues = 0;
  if (msg.message == WM_SYSKEYDOWN && (msg.wParam == VK_MENU || (msg.lParam & (1 << 29)))) {
    cues = UISF_HIDEACCEL | UISF_HIDEFOCUS;
  } else if (msg.message == WM_KEYDOWN &&
             (msg.wParam == VK_TAB || (msg.wParam >= VK_LEFT && msg.wParam <= VK_DOWN))) {
    cues = UISF_HIDEFOCUS;
  }
  if (!cues || !msg.hwnd) return;
  HWND root = ::GetAncestor(msg.hwnd, GA_ROOT);
  const LRESULT hidden = ::SendMessageW(root, WM_QUERYUISTATE, 0, 0);
  if (hidden & cues) ::SendMessageW(root, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, cues), 0);
}

Form::Form(const FormParams& params)
    : main_form_(params.main_form), escape_closes_(params.escape_closes), min_outer_size_(params.min_outer_size) {
  // The window's DPI is known once it exists (that of the monitor it is on): made at 96 dpi, then
  // sized for its DPI.
  RECT r{0, 0, params.client_width, params.client_height};
  ::AdjustWindowRectEx(&r, params.style, FALSE, params.ex_style);
  CreateParams create;
  create.class_name = params.class_name;
  create.caption = params.caption;
  create.style = params.style | WS_CLIPCHILDREN;
  create.ex_style = params.ex_style | (params.main_form ? WS_EX_APPWINDOW : 0);
  create.width = r.right - r.left;
  create.height = r.bottom - r.top;
  create.x = 0;
  create.y = 0;
  // Every window of the program carries its icon in the title bar unless it asks for another.
  create.icon = params.icon ? params.icon : Application::Instance().Icon();
  create.small_icon = params.icon ? params.small_icon : Application::Instance().SmallIcon();
  // Secondary forms are owned by the hidden application window: no task-bar buttons of their own.
  create.parent = params.main_form ? nullptr : Application::Instance().Handle();
  Create(create);
  dpi_ = WindowDpi(Handle());
  if (dpi_ != kDesignDpi) {
    RECT scaled{0, 0, ScaleToDpi(params.client_width, dpi_), ScaleToDpi(params.client_height, dpi_)};
    AdjustWindowRectForDpi(scaled, create.style, create.ex_style, dpi_);
    ::SetWindowPos(Handle(), nullptr, 0, 0, scaled.right - scaled.left, scaled.bottom - scaled.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  ::SendMessageW(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(DefaultFont(dpi_)), FALSE);
  Application::Instance().AddForm(this);
}

Form::~Form() { Application::Instance().RemoveForm(this); }

void Form::CreationDone() {
  created_ = true;
  // For the form and every control on it.
  ::SendMessageW(Handle(), WM_CHANGEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEACCEL | UISF_HIDEFOCUS), 0);
  AlignChildren(Handle());
  FormResize();
}

SIZE Form::ClientSize() const {
  const SIZE pixels = PixelClientSize();
  return {UnscaleFromDpi(pixels.cx, dpi_), UnscaleFromDpi(pixels.cy, dpi_)};
}

SIZE Form::PixelClientSize() const {
  RECT r{};
  ::GetClientRect(Handle(), &r);
  return {r.right - r.left, r.bottom - r.top};
}

void Form::ApplyDpi(int dpi) {
  dpi_ = dpi;
  ::SendMessageW(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(DefaultFont(dpi_)), FALSE);
  // Every control of the form, containers before what they hold.
  std::vector<HWND> children;
  ::EnumChildWindows(
      Handle(),
      [](HWND child, LPARAM param) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(child);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&children));
  for (HWND child : children) {
    if (auto* control = dynamic_cast<Control*>(FromHandle(child))) control->DpiChanged();
  }
  for (HWND child : children) {
    if (dynamic_cast<Control*>(FromHandle(child))) AlignChildren(child);
  }
  AlignChildren(Handle());
  if (created_) {
    FormDpiChanged();
    FormResize();
  }
}

void Form::CentreForFirstShow() {
  Form* main = Application::Instance().MainForm();
  CentreWindow(Handle(), !main_form_ && main && main != this ? main->Handle() : nullptr);
}

void Form::Show() {
  if (!shown_before_) {
    shown_before_ = true;
    CentreForFirstShow();
  }
  // A minimised form has no way back otherwise: secondary forms have no task-bar button.
  ::ShowWindow(Handle(), ::IsIconic(Handle()) ? SW_RESTORE : SW_SHOW);
  ::SetWindowPos(Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  ::SetForegroundWindow(Handle());
}

void Form::Hide() { ::ShowWindow(Handle(), SW_HIDE); }

void Form::SetAlphaBlend(bool on) {
  const LONG_PTR ex_style = ::GetWindowLongPtrW(Handle(), GWL_EXSTYLE);
  if (on) {
    if (!(ex_style & WS_EX_LAYERED)) ::SetWindowLongPtrW(Handle(), GWL_EXSTYLE, ex_style | WS_EX_LAYERED);
    ::SetLayeredWindowAttributes(Handle(), 0, alpha_, LWA_ALPHA);
  } else if (ex_style & WS_EX_LAYERED) {
    ::SetWindowLongPtrW(Handle(), GWL_EXSTYLE, ex_style & ~static_cast<LONG_PTR>(WS_EX_LAYERED));
    ::RedrawWindow(Handle(), nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN);
  }
}

bool Form::AlphaBlending() const { return (::GetWindowLongPtrW(Handle(), GWL_EXSTYLE) & WS_EX_LAYERED) != 0; }

void Form::SetAlphaBlendValue(BYTE alpha) {
  alpha_ = alpha;
  if (AlphaBlending()) ::SetLayeredWindowAttributes(Handle(), 0, alpha_, LWA_ALPHA);
}

void Form::SetColour(COLORREF colour) {
  colour_ = colour;
  ::RedrawWindow(Handle(), nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

COLORREF Form::BackgroundColour() const {
  return colour_ ? ContrastColour(*colour_, COLOR_BTNFACE) : Window::BackgroundColour();
}

void Form::ShowModal() {
  std::vector<HWND> disabled;
  ::EnumThreadWindows(
      ::GetCurrentThreadId(),
      [](HWND hwnd, LPARAM param) -> BOOL {
        if (::IsWindowVisible(hwnd) && ::IsWindowEnabled(hwnd)) reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&disabled));
  std::erase(disabled, Handle());
  for (HWND hwnd : disabled) ::EnableWindow(hwnd, FALSE);
  Show();
  // Activated at once, not when the display's focus event arrives: the user's first key press
  // already goes to the modal form's first control.
  ::SetActiveWindow(Handle());
  MSG msg;
  bool quit = false;
  while (Visible()) {
    if (::GetMessageW(&msg, nullptr, 0, 0) <= 0) {
      quit = true;
      break;
    }
    ShowKeyboardCuesFor(msg);
    if (!::IsDialogMessageW(Handle(), &msg)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }
  for (HWND hwnd : disabled) ::EnableWindow(hwnd, TRUE);
  if (!disabled.empty() && ::IsWindowVisible(disabled.front())) ::SetActiveWindow(disabled.front());
  if (quit) ::PostQuitMessage(static_cast<int>(msg.wParam));
}

LRESULT Form::HandleMessage(UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_WINDOWPOSCHANGED: {
      const auto* pos = reinterpret_cast<const WINDOWPOS*>(lparam);
      LRESULT result = DefaultHandling(msg, wparam, lparam);  // sends WM_SIZE and WM_MOVE
      if (created_) {
        if (pos->flags & SWP_SHOWWINDOW) FormShow();
        if (pos->flags & SWP_HIDEWINDOW) FormHide();
      }
      return result;
    }
    case WM_ERASEBKGND:
      if (!colour_) return DefaultHandling(msg, wparam, lparam);
      FillClient(Handle(), reinterpret_cast<HDC>(wparam), BackgroundColour());
      return 1;
    case WM_SIZE:
      if (wparam == SIZE_MINIMIZED) return 0;
      AlignChildren(Handle());
      if (created_) FormResize();
      return 0;
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(lparam);
      if (min_outer_size_.cx > 0) info->ptMinTrackSize.x = ScaleToDpi(min_outer_size_.cx, dpi_);
      if (min_outer_size_.cy > 0) info->ptMinTrackSize.y = ScaleToDpi(min_outer_size_.cy, dpi_);
      return 0;
    }
    case WM_DPICHANGED: {
      // The window moved to a monitor of another scale (or the scale changed): the system suggests
      // the window's new place and size.
      ApplyDpi(HIWORD(wparam));
      const auto* suggested = reinterpret_cast<const RECT*>(lparam);
      if (suggested) {
        ::SetWindowPos(Handle(), nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                       suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
      }
      ::RedrawWindow(Handle(), nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN);
      return 0;
    }
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE:
      // A high-contrast theme switched on or off (the system sends both): everything is drawn
      // again in the colours it asks for. Common controls learn of new colours from their parent.
      if (msg == WM_SYSCOLORCHANGE || wparam == SPI_SETHIGHCONTRAST) {
        if (msg == WM_SYSCOLORCHANGE) {
          ::EnumChildWindows(
              Handle(),
              [](HWND child, LPARAM) -> BOOL {
                ::SendMessageW(child, WM_SYSCOLORCHANGE, 0, 0);
                return TRUE;
              },
              0);
        }
        ::RedrawWindow(Handle(), nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN);
      }
      return DefaultHandling(msg, wparam, lparam);
    case WM_CLOSE: {
      bool can_close = true;
      FormCloseQuery(can_close);
      if (can_close) Hide();
      return 0;
    }
    case WM_ACTIVATE:
      // Remember the focused control, to give it the focus back when the form is active again.
      if (LOWORD(wparam) == WA_INACTIVE) {
        HWND focus = ::GetFocus();
        if (focus && ::IsChild(Handle(), focus)) focus_ = focus;
      }
      return DefaultHandling(msg, wparam, lparam);
    case WM_SETFOCUS: {
      HWND target = focus_;
      if (!target || !::IsChild(Handle(), target) || !::IsWindowVisible(target) || !::IsWindowEnabled(target)) {
        target = ::GetNextDlgTabItem(Handle(), nullptr, FALSE);
      }
      if (target && target != Handle()) ::SetFocus(target);
      return 0;
    }
    case WM_QUERYENDSESSION:
      // Nothing of ours is worth keeping a logoff or an installer waiting: no question, no notice.
      return TRUE;
    case WM_ENDSESSION:
      if (wparam) FormEndSession();
      return 0;
    case WM_COMMAND:
      // The dialog manager's Enter and Esc (messages of no control).
      if (LOWORD(wparam) == IDOK && lparam == 0) {
        FormEnterKey();
        return 0;
      }
      if (LOWORD(wparam) == IDCANCEL && lparam == 0 && escape_closes_) {
        Close();
        return 0;
      }
      return DefaultHandling(msg, wparam, lparam);
    case WM_NEXTDLGCTL: {
      // Sent by a multi-line edit for Tab, as in a dialog.
      HWND target = LOWORD(lparam) ? reinterpret_cast<HWND>(wparam)
                                   : ::GetNextDlgTabItem(Handle(), ::GetFocus(), wparam != 0);
      if (target) ::SetFocus(target);
      return 0;
    }
    default:
      return DefaultHandling(msg, wparam, lparam);
  }
}

}  // namespace callwright
