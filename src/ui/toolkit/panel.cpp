#include "ui/toolkit/panel.h"

#include "ui/toolkit/high_contrast.h"

namespace callwright {

namespace {
constexpr wchar_t kPanelClass[] = L"TPanel";
}

Panel::Panel(HWND parent, int left, int top, int width, int height) {
  CreateOwnControl({.class_name = kPanelClass,
                    .style = WS_CLIPCHILDREN,
                    .ex_style = WS_EX_CONTROLPARENT,
                    .parent = parent,
                    .left = left,
                    .top = top,
                    .width = width,
                    .height = height});
}

Panel::Panel(HWND parent, Align align, int height) : Panel(parent, 0, 0, 0, height) { SetAlign(align); }

void Panel::SetColour(COLORREF colour) {
  colour_ = colour;
  ::InvalidateRect(Handle(), nullptr, TRUE);
}

COLORREF Panel::BackgroundColour() const {
  return colour_ ? ContrastColour(*colour_, COLOR_BTNFACE) : Window::BackgroundColour();
}

LRESULT Panel::HandleMessage(UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_ERASEBKGND:
      FillClient(Handle(), reinterpret_cast<HDC>(wparam), BackgroundColour());
      return 1;
    case WM_SIZE:
      AlignChildren(Handle());
      return 0;
    default:
      return DefaultHandling(msg, wparam, lparam);
  }
}

}  // namespace callwright
