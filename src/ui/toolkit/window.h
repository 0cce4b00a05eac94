#pragma once
// Base of every window the program drives: forms, controls of our own classes, subclassed system
// controls and the hidden application window. The object is bound to its HWND in a table of the
// process, from WM_NCCREATE (own classes) or from Subclass (system controls) until WM_NCDESTROY,
// and every message goes through one dispatcher to HandleMessage. An error escaping a handler goes
// to the application's error report and never crosses the window procedure.
#include <windows.h>

#include <exception>
#include <vector>

#include "base/handles.h"

namespace callwright {

class Window {
 public:
  Window() = default;
  virtual ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  HWND Handle() const noexcept { return hwnd_.Get(); }
  // The object bound to `hwnd`, or null for a window that is not ours.
  static Window* FromHandle(HWND hwnd) noexcept;
  // The objects bound to the children of `parent` (in no particular order): found without asking
  // the window manager for the window tree.
  static std::vector<Window*> BoundChildren(HWND parent);

  // The colour a child of this window lies on.
  virtual COLORREF BackgroundColour() const { return ::GetSysColor(COLOR_BTNFACE); }

  // The DPI the window is laid out and drawn at (see ui/toolkit/dpi.h).
  virtual int Dpi() const;

  // A WM_COMMAND, WM_NOTIFY, WM_DRAWITEM or WM_CTLCOLOR* message from this window that reached its
  // parent; true when handled, with the parent's answer in `result`.
  virtual bool HandleReflectedMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result);

  // True for a window whose picture is what lies behind its see-through siblings; PaintContent
  // then draws that picture, origin at the window's top-left corner.
  virtual bool PaintsBackdrop() const { return false; }
  virtual void PaintContent(HDC /*dc*/) const {}

 protected:
  struct CreateParams {
    const wchar_t* class_name;
    const wchar_t* caption = L"";
    DWORD style = WS_OVERLAPPEDWINDOW;
    DWORD ex_style = 0;
    int x = CW_USEDEFAULT, y = CW_USEDEFAULT, width = CW_USEDEFAULT, height = CW_USEDEFAULT;
    HWND parent = nullptr;
    // For the class, registered on first use.
    UINT class_style = CS_DBLCLKS;
    HBRUSH background = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    HICON icon = nullptr;
    HICON small_icon = nullptr;  // made from `icon` by the system when null
    HCURSOR cursor = nullptr;    // the arrow when null
  };
  // Registers the class on first use and creates the window bound to this object, which sees its
  // creation messages. Throws AppError with the system's reason when the window cannot be made.
  void Create(const CreateParams& params);
  // Takes a window of a system class made by the caller: bound to this object and subclassed, so
  // that its messages go through HandleMessage too.
  void Subclass(HWND hwnd);
  // Right after a CreateWindowExW that returned null: throws AppError with the system's reason.
  [[noreturn]] static void ThrowCreationError(const wchar_t* class_name);

  virtual LRESULT HandleMessage(UINT msg, WPARAM wparam, LPARAM lparam);
  // WM_GETOBJECT before anything else sees it; true with the answer in `result` when answered.
  virtual bool AnswerGetObject(WPARAM /*wparam*/, LPARAM /*lparam*/, LRESULT& /*result*/) { return false; }
  // Passes a child's notification to the child's object (see HandleReflectedMessage), else gives
  // the message to the class's or the subclassed control's own procedure.
  LRESULT DefaultHandling(UINT msg, WPARAM wparam, LPARAM lparam);

 private:
  static LRESULT CALLBACK ClassProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                                       DWORD_PTR data);
  static LRESULT Dispatch(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, bool subclass_proc);
  void Bind(HWND hwnd) noexcept;
  void Unbind() noexcept;
  // Takes the binding of `hwnd` out of the table if it is this object's.
  void Forget(HWND hwnd) noexcept;

  WindowHandle hwnd_;
  bool subclassed_ = false;
};

// Registers `wc` (hInstance and cbSize filled in) unless a class of that name exists already.
void RegisterClassOnce(WNDCLASSEXW wc);

// The application's error report for an error that escaped a message handler; never throws.
void ReportError(const std::exception& error) noexcept;

}  // namespace callwright
