#include "ui/toolkit/window.h"

#include "ui/toolkit/application.h"
#include "ui/toolkit/control.h"

namespace callwright {

Window::~Window() {
  if (HWND hwnd = hwnd_.Get()) {
    // Messages sent while the window is destroyed must not reach a half-destroyed object.
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
  }
}

void RegisterClassOnce(WNDCLASSEXW wc) {
  wc.cbSize = sizeof(wc);
  wc.hInstance = ::GetModuleHandleW(nullptr);
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof(existing);
  if (!::GetClassInfoExW(wc.hInstance, wc.lpszClassName, &existing)) ::RegisterClassExW(&wc);
}

void Window::Create(const CreateParams& params) {
  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  WNDCLASSEXW wc{};
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = &Window::StaticWindowProc;
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = params.background;
  wc.hIcon = params.icon;
  wc.lpszClassName = params.class_name;
  RegisterClassOnce(wc);
  HWND hwnd = ::CreateWindowExW(params.ex_style, params.class_name, params.caption, params.style, params.x,
                                params.y, params.width, params.height, params.parent, nullptr, instance, this);
  if (!hwnd_) hwnd_.Reset(hwnd);
}

LRESULT Window::HandleMessage(UINT msg, WPARAM wparam, LPARAM lparam) {
  return DefaultHandling(msg, wparam, lparam);
}

LRESULT CALLBACK Window::StaticWindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_NCCREATE) {
    auto* self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->hwnd_.Reset(hwnd);
  }
  auto* self = reinterpret_cast<Window*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return ::DefWindowProcW(hwnd, msg, wparam, lparam);
  if (msg == WM_NCDESTROY) {
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->hwnd_.Release();
    return ::DefWindowProcW(hwnd, msg, wparam, lparam);
  }
  LRESULT result = 0;
  Application::Instance().Guard([&] { result = self->HandleMessage(msg, wparam, lparam); });
  return result;
}

bool ReflectToControl(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  HWND child = nullptr;
  switch (msg) {
    case WM_COMMAND:
      child = reinterpret_cast<HWND>(lparam);
      break;
    case WM_NOTIFY:
      child = reinterpret_cast<NMHDR*>(lparam)->hwndFrom;
      break;
    case WM_DRAWITEM:
      child = reinterpret_cast<DRAWITEMSTRUCT*>(lparam)->hwndItem;
      break;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
      child = reinterpret_cast<HWND>(lparam);
      break;
    default:
      return false;
  }
  Control* control = Control::FromHandle(child);
  return control && control->Reflected(msg, wparam, lparam, result);
}

}  // namespace callwright
