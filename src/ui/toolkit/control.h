#pragma once
// Base of the child controls. Each control object is attached to its HWND as a window property, so
// a container can pass the notifications it receives back to the control that sent them.
#include <windows.h>

#include <string>
#include <string_view>

#include "base/handles.h"

namespace callwright {

// Tahoma 8 point (height -11 at 96 dpi), the font of every window of the program.
HFONT DefaultFont();

// How a control follows its parent's client area (see AlignChildren).
enum class Align { None, Top, Bottom, Client };

class Control {
 public:
  Control() = default;
  virtual ~Control();
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  HWND Handle() const noexcept { return hwnd_.Get(); }
  static Control* FromHandle(HWND hwnd) noexcept;

  // Negative sizes are taken as 0.
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
  bool Visible() const { return ::IsWindowVisible(Handle()) != FALSE; }
  void SetText(std::wstring_view text);
  std::wstring Text() const;
  // Repaints at once rather than at the next WM_PAINT.
  void Repaint();

  // Aligned controls follow the parent's client area; the parent re-aligns at once.
  void SetAlign(Align align);
  Align GetAlign() const noexcept { return align_; }
  unsigned CreationIndex() const noexcept { return creation_index_; }

  // The colour a child of this control lies on.
  virtual COLORREF BackgroundColour() const { return ::GetSysColor(COLOR_BTNFACE); }

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
  };
  // Creates a child window of a system class (WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS are added)
  // in the default font.
  void CreateControl(const ControlParams& params);
  // Same for a class of our own: registered on first use, its messages go to HandleMessage.
  void CreateOwnControl(const ControlParams& params, HCURSOR cursor = nullptr);
  // Routes the messages of a system control through HandleMessage as well.
  void Subclass();

  // For own and subclassed controls; errors go to the application's error report.
  virtual LRESULT HandleMessage(UINT msg, WPARAM wparam, LPARAM lparam);
  LRESULT DefaultHandling(UINT msg, WPARAM wparam, LPARAM lparam);

  // A bitmap of this control's size holding what lies behind it: the picture of an Image beneath
  // it among its siblings, else the parent's background colour. Lets flat controls look see-through.
  BitmapHandle RenderBackdrop() const;

 private:
  static LRESULT CALLBACK OwnClassProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR id, DWORD_PTR data);
  void Attach(HWND hwnd);
  void Detach() noexcept;
  void PlaceAboveImages();

  WindowHandle hwnd_;
  Align align_ = Align::None;
  unsigned creation_index_ = 0;
  bool subclassed_ = false;
};

// Places the aligned child controls of `parent` in its client area: top-aligned ones from the top
// and bottom-aligned ones from the bottom, each group in creation order, then client-aligned ones
// in what is left. Containers call it on WM_SIZE.
void AlignChildren(HWND parent);

// The window's client area filled with a colour, for WM_ERASEBKGND.
void FillClient(HWND hwnd, HDC dc, COLORREF colour);

}  // namespace callwright
