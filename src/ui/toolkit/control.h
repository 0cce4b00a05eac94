#pragma once
// Base of the child controls: a place among its siblings, an alignment in the parent, and the
// picture of what lies behind it for controls that look see-through.
#include <windows.h>

#include <string>
#include <string_view>

#include "base/handles.h"
#include "ui/toolkit/accessible.h"
#include "ui/toolkit/dpi.h"
#include "ui/toolkit/window.h"

namespace callwright {

// How a control follows its parent's client area (see AlignChildren).
enum class Align { None, Top, Bottom, Client };

// Geometry: positions and sizes given to and read from a control are at 96 dpi (as the windows are
// designed) and scaled to the DPI of its form; the Pixel functions work in real pixels.
class Control : public Window {
 public:
  // Negative sizes are taken as 0.
  void SetBounds(int left, int top, int width, int height);
  void SetLeft(int left);
  RECT Bounds() const;  // in the parent's client coordinates
  int Left() const { return Bounds().left; }
  int Top() const { return Bounds().top; }
  int Width() const;
  int Height() const;
  void SetPixelBounds(const RECT& bounds);
  RECT PixelBounds() const;
  int PixelWidth() const;
  int PixelHeight() const;

  // The DPI of the form the control lies on.
  int Dpi() const override;
  // A length at 96 dpi at this control's DPI.
  int Scale(int value) const { return ScaleToDpi(value, Dpi()); }
  // The program's font at this control's DPI.
  HFONT Font() const { return DefaultFont(Dpi()); }
  // The form's DPI changed: the control takes the font and its 96-dpi bounds at the new DPI.
  // Controls that hold pictures or sizes of their own extend it.
  virtual void DpiChanged();
  void SetEnabled(bool enabled) { ::EnableWindow(Handle(), enabled ? TRUE : FALSE); }
  bool Enabled() const { return ::IsWindowEnabled(Handle()) != FALSE; }
  void SetVisible(bool visible) { ::ShowWindow(Handle(), visible ? SW_SHOWNA : SW_HIDE); }
  bool Visible() const { return ::IsWindowVisible(Handle()) != FALSE; }
  // Captions of buttons and boxes may mark their access key ("&Refresh": Alt+R); Text() gives the
  // caption as shown, without the marks.
  void SetText(std::wstring_view text);
  std::wstring Text() const;
  std::wstring TextWithAccessKey() const;

  // What a screen reader reads: by default the caption of a control that shows access keys, and
  // the role the system gives the class.
  void SetAccessibleName(std::wstring name) { accessible_name_ = std::move(name); }
  void SetAccessibleRole(AccessibleRole role) noexcept { accessible_role_ = role; }
  std::wstring AccessibleName() const;
  // Repaints at once rather than at the next WM_PAINT.
  void Repaint();

  // Aligned controls follow the parent's client area; the parent re-aligns at once.
  void SetAlign(Align align);
  Align GetAlign() const noexcept { return align_; }
  unsigned CreationIndex() const noexcept { return creation_index_; }

 protected:
  // Buttons and boxes: their captions carry access-key marks.
  virtual bool ShowsAccessKeys() const { return false; }
  virtual AccessibleRole DefaultAccessibleRole() const { return AccessibleRole::None; }
  bool AnswerGetObject(WPARAM wparam, LPARAM lparam, LRESULT& result) override;

  struct ControlParams {
    const wchar_t* class_name;
    const wchar_t* text = L"";
    DWORD style = 0;
    DWORD ex_style = 0;
    HWND parent = nullptr;
    int left = 0, top = 0, width = 0, height = 0;
  };
  // Creates a child window of a system class (WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS are added)
  // in the default font; its messages go through HandleMessage as well. Throws AppError when the
  // window cannot be made.
  void CreateControl(const ControlParams& params);
  // Same for a class of our own, registered on first use.
  void CreateOwnControl(const ControlParams& params, HCURSOR cursor = nullptr);

  // A bitmap of this control's size holding what lies behind it: the picture of the nearest
  // sibling beneath it that paints the backdrop (an image), else the parent's background colour.
  // Lets flat controls look see-through.
  BitmapHandle RenderBackdrop() const;

 private:
  // Moves and sizes the window, unless it is there already.
  void MoveToPixels(const RECT& pixels);
  void PlaceAboveBackdrops();

  Align align_ = Align::None;
  unsigned creation_index_ = 0;
  // The bounds at 96 dpi, as last given; pixels are derived from them.
  RECT design_{};
  std::wstring accessible_name_;
  AccessibleRole accessible_role_ = AccessibleRole::None;
};

// Places the aligned child controls of `parent` in its client area: top-aligned ones from the top
// and bottom-aligned ones from the bottom, each group in creation order, then client-aligned ones
// in what is left, in pixels. Containers call it on WM_SIZE.
void AlignChildren(HWND parent);

// The window's client area filled with a colour, for WM_ERASEBKGND.
void FillClient(HWND hwnd, HDC dc, COLORREF colour);

}  // namespace callwright
