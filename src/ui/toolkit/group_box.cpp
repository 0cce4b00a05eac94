#include "ui/toolkit/group_box.h"

#include <commctrl.h>

#include <string>

namespace callwright {

GroupBox::GroupBox(HWND parent, int left, int top, int width, int height, std::wstring_view caption) {
  const std::wstring text(caption);
  CreateControl({.class_name = WC_BUTTONW,
                 .text = text.c_str(),
                 .style = BS_GROUPBOX | WS_CLIPCHILDREN,
                 .ex_style = WS_EX_CONTROLPARENT,
                 .parent = parent,
                 .left = left,
                 .top = top,
                 .width = width,
                 .height = height});
}

LRESULT GroupBox::HandleMessage(UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_ERASEBKGND) {
    // The system group box leaves its inside to the parent, which clips its children.
    const Window* parent = FromHandle(::GetParent(Handle()));
    FillClient(Handle(), reinterpret_cast<HDC>(wparam),
               parent ? parent->BackgroundColour() : ::GetSysColor(COLOR_BTNFACE));
    return 1;
  }
  return DefaultHandling(msg, wparam, lparam);
}

}  // namespace callwright
