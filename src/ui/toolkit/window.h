#pragma once
// Base of every window of our own class: binds the object to its HWND once, at WM_NCCREATE, and
// routes messages to HandleMessage. An error escaping a handler goes to the application's error
// report and never crosses the window procedure.
#include <windows.h>

#include <string>

#include "base/handles.h"

namespace callwright {

class Window {
 public:
  Window() = default;
  virtual ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  HWND Handle() const noexcept { return hwnd_.Get(); }

 protected:
  struct CreateParams {
    const wchar_t* class_name;
    const wchar_t* caption = L"";
    DWORD style = WS_OVERLAPPEDWINDOW;
    DWORD ex_style = 0;
    int x = CW_USEDEFAULT, y = CW_USEDEFAULT, width = CW_USEDEFAULT, height = CW_USEDEFAULT;
    HWND parent = nullptr;
    HBRUSH background = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    HICON icon = nullptr;
  };
  // Registers the class on first use and creates the window bound to this object.
  void Create(const CreateParams& params);

  virtual LRESULT HandleMessage(UINT msg, WPARAM wparam, LPARAM lparam);
  LRESULT DefaultHandling(UINT msg, WPARAM wparam, LPARAM lparam) {
    return ::DefWindowProcW(Handle(), msg, wparam, lparam);
  }

 private:
  static LRESULT CALLBACK StaticWindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
  WindowHandle hwnd_;
};

// Registers `wc` (hInstance and cbSize filled in) unless a class of that name exists already.
void RegisterClassOnce(WNDCLASSEXW wc);

// Passes WM_COMMAND, WM_NOTIFY, WM_DRAWITEM and WM_CTLCOLOR* of a child control back to the
// control object (see Control). Returns true when a control took the message.
bool ReflectToControl(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result);

}  // namespace callwright
