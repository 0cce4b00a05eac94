#pragma once
// Base of the child controls. Each control object is attached to its HWND as a window property, so
// a container can pass the notifications it receives back to the control that sent them.
#include <windows.h>

#include "ui/toolkit/handles.h"

namespace callwright {

// Tahoma 8 point (height -11 at 96 dpi), the font of every window of the program.
HFONT DefaultFont();

class Control {
 public:
  Control() = default;
  virtual ~Control();
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  HWND Handle() const noexcept { return hwnd_.Get(); }
  static Control* FromHandle(HWND hwnd) noexcept;

  void SetBounds(int left, int top, int width, int height);
  void SetLeft(int left);
  RECT Bounds() const;  // in the parent's client coordinates
  int Left() const { return Bounds().left; }
  int Top() const { return Bounds().top; }
  int Width() const;
  int Height() const;
  void SetEnabled(bool enabled) { ::EnableWindow(Handle(), enabled ? TRUE : FALSE); }
  bool Enabled() const { return ::IsWindowEnabled(Handle()) != FALSE; }
  void SetVisible(bool visible) { ::ShowWindow(Handle(), visible ? SW_SHOWNA : SW_HIDE); }

  // A notification from this control that reached its container; true when handled.
  virtual bool Reflected(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result);

 protected:
  struct ControlParams {
    const wchar_t* class_name;
    const wchar_t* text = L"";
    DWORD style = 0;
    DWORD ex_style = 0;
    HWND parent = nullptr;
    int left = 0, top = 0, width = 0, height = 0;
    void* create_param = nullptr;
  };
  // Creates the child window (WS_CHILD | WS_VISIBLE are added) in the default font.
  void CreateControl(const ControlParams& params);
  // For controls whose window procedure is our own (see Window): attaches an existing handle.
  void Attach(HWND hwnd);

 private:
  WindowHandle hwnd_;
};

}  // namespace callwright
