#include "ui/toolkit/window.h"

// After windows.h.
#include <commctrl.h>

#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "base/app_error.h"
#include "base/system_error_win.h"
#include "ui/toolkit/dpi.h"

namespace callwright {

namespace {

// The objects bound to their windows. Kept in the process rather than in a window property: a
// property is a round trip to the window manager on some systems (Wine's server), and every
// message of every window looks its object up. Only windows of this process are ever in it, so a
// handle of another process (a notification from another instance, say) finds nothing.
struct BoundWindows {
  std::mutex lock;
  std::unordered_map<HWND, Window*> objects;  // guarded by lock
};

// Never destroyed: windows of objects with static storage may still go at the end of the process.
BoundWindows& Bound() {
  static auto* const bound = new BoundWindows;
  return *bound;
}

// The child a notification comes from, or null for a message that is not one.
HWND NotifyingChild(UINT msg, LPARAM lparam) noexcept {
  switch (msg) {
    case WM_COMMAND:  // lParam 0: a menu or accelerator command
      return reinterpret_cast<HWND>(lparam);
    case WM_NOTIFY:
      return lparam ? reinterpret_cast<const NMHDR*>(lparam)->hwndFrom : nullptr;
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
      return item && item->CtlType != ODT_MENU ? item->hwndItem : nullptr;
    }
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
      return reinterpret_cast<HWND>(lparam);
    default:
      return nullptr;
  }
}
}  // namespace

Window::~Window() {
  // Messages sent while the window is destroyed must not reach a half-destroyed object; the
  // handle's owner destroys the window after this.
  Unbind();
}

Window* Window::FromHandle(HWND hwnd) noexcept {
  if (!hwnd) return nullptr;
  BoundWindows& bound = Bound();
  const std::lock_guard hold(bound.lock);
  const auto found = bound.objects.find(hwnd);
  return found != bound.objects.end() ? found->second : nullptr;
}

std::vector<Window*> Window::BoundChildren(HWND parent) {
  std::vector<Window*> children;
  if (!parent) return children;
  BoundWindows& bound = Bound();
  const std::lock_guard hold(bound.lock);
  for (const auto& [hwnd, object] : bound.objects) {
    if (::GetParent(hwnd) == parent && (::GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD)) children.push_back(object);
  }
  return children;
}

void RegisterClassOnce(WNDCLASSEXW wc) {
  // Asked of the system once per name: the forms and controls register the same few classes again
  // and again.
  static std::mutex lock;
  static std::unordered_set<std::wstring> registered;
  const std::lock_guard hold(lock);
  if (registered.contains(wc.lpszClassName)) return;
  wc.cbSize = sizeof(wc);
  wc.hInstance = ::GetModuleHandleW(nullptr);
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof(existing);
  if (::GetClassInfoExW(wc.hInstance, wc.lpszClassName, &existing) || ::RegisterClassExW(&wc)) {
    registered.insert(wc.lpszClassName);
  }
}

void Window::Create(const CreateParams& params) {
  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  WNDCLASSEXW wc{};
  wc.style = params.class_style;
  wc.lpfnWndProc = &Window::ClassProc;
  wc.hCursor = params.cursor ? params.cursor : ::LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = params.background;
  wc.hIcon = params.icon;
  wc.hIconSm = params.small_icon;
  wc.lpszClassName = params.class_name;
  RegisterClassOnce(wc);
  // Bound at WM_NCCREATE (see ClassProc).
  HWND hwnd = ::CreateWindowExW(params.ex_style, params.class_name, params.caption, params.style, params.x,
                                params.y, params.width, params.height, params.parent, nullptr, instance, this);
  if (!hwnd) ThrowCreationError(params.class_name);
}

void Window::ThrowCreationError(const wchar_t* class_name) {
  // Read before anything else can change it. A creation refused by the window's own WM_CREATE
  // leaves no error: "error 0".
  const DWORD code = ::GetLastError();
  throw AppError(L"Unable to create window " + std::wstring(class_name) + L": " + SystemErrorText(code));
}

void Window::Subclass(HWND hwnd) {
  if (!hwnd) return;
  Bind(hwnd);
  subclassed_ = ::SetWindowSubclass(hwnd, &Window::SubclassProc, 0, 0) != FALSE;
  // Without the subclass nothing would unbind it by WM_NCDESTROY when the window goes with its
  // parent: a plain system control then.
  if (!subclassed_) Forget(hwnd);
}

void Window::Bind(HWND hwnd) noexcept {
  hwnd_.Reset(hwnd);
  try {
    BoundWindows& bound = Bound();
    const std::lock_guard hold(bound.lock);
    bound.objects[hwnd] = this;
  } catch (...) {
    // Out of memory: the window works as a plain one of its class.
  }
}

void Window::Forget(HWND hwnd) noexcept {
  BoundWindows& bound = Bound();
  const std::lock_guard hold(bound.lock);
  const auto found = bound.objects.find(hwnd);
  if (found != bound.objects.end() && found->second == this) bound.objects.erase(found);
}

void Window::Unbind() noexcept {
  HWND hwnd = hwnd_.Get();
  if (!hwnd) return;
  if (subclassed_) ::RemoveWindowSubclass(hwnd, &Window::SubclassProc, 0);
  subclassed_ = false;
  Forget(hwnd);
}

LRESULT CALLBACK Window::ClassProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_NCCREATE) {
    auto* self = static_cast<Window*>(reinterpret_cast<const CREATESTRUCTW*>(lparam)->lpCreateParams);
    if (self) self->Bind(hwnd);
  }
  return Dispatch(hwnd, msg, wparam, lparam, false);
}

LRESULT CALLBACK Window::SubclassProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR, DWORD_PTR) {
  return Dispatch(hwnd, msg, wparam, lparam, true);
}

LRESULT Window::Dispatch(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, bool subclass_proc) {
  Window* self = FromHandle(hwnd);
  if (!self || msg == WM_NCDESTROY) {
    if (self) {
      // Destroyed with its parent, or by the system: the object lets go of the handle, and the
      // binding and the subclass go before WM_NCDESTROY returns.
      self->Unbind();
      self->hwnd_.Release();
    }
    return subclass_proc ? ::DefSubclassProc(hwnd, msg, wparam, lparam) : ::DefWindowProcW(hwnd, msg, wparam, lparam);
  }
  try {
    LRESULT answer = 0;
    if (msg == WM_GETOBJECT && self->AnswerGetObject(wparam, lparam, answer)) return answer;
    return self->HandleMessage(msg, wparam, lparam);
  } catch (const std::exception& error) {
    ReportError(error);
    return 0;
  } catch (...) {
    // Nothing may unwind through the system's code, whatever was thrown.
    ReportError(UnknownError());
    return 0;
  }
}

LRESULT Window::HandleMessage(UINT msg, WPARAM wparam, LPARAM lparam) { return DefaultHandling(msg, wparam, lparam); }

bool Window::HandleReflectedMessage(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

LRESULT Window::DefaultHandling(UINT msg, WPARAM wparam, LPARAM lparam) {
  Window* child = FromHandle(NotifyingChild(msg, lparam));
  LRESULT result = 0;
  if (child && child != this && child->HandleReflectedMessage(msg, wparam, lparam, result)) return result;
  return subclassed_ ? ::DefSubclassProc(Handle(), msg, wparam, lparam)
                     : ::DefWindowProcW(Handle(), msg, wparam, lparam);
}

int Window::Dpi() const { return WindowDpi(Handle()); }

}  // namespace callwright
