#include "ui/toolkit/check_box.h"

#include <commctrl.h>

#include <string>
#include <utility>

#include "ui/toolkit/high_contrast.h"

namespace callwright {

CheckBox::CheckBox(HWND parent, int left, int top, int width, int height, std::wstring_view caption) {
  const std::wstring text(caption);
  CreateControl({.class_name = WC_BUTTONW,
                 .text = text.c_str(),
                 .style = BS_AUTOCHECKBOX | WS_TABSTOP,
                 .parent = parent,
                 .left = left,
                 .top = top,
                 .width = width,
                 .height = height});
}

void CheckBox::SetChecked(bool checked) {
  if (checked == checked_) return;
  checked_ = checked;
  ::SendMessageW(Handle(), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  if (OnClick) OnClick();
}

bool CheckBox::HandleReflectedMessage(UINT msg, WPARAM wparam, LPARAM, LRESULT& result) {
  if (msg == WM_COMMAND) {
    if (HIWORD(wparam) == BN_CLICKED) {
      // The box has toggled itself already; only a real change counts.
      const bool now = ::SendMessageW(Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED;
      if (now != checked_) {
        checked_ = now;
        if (OnClick) OnClick();
      }
    }
    result = 0;
    return true;
  }
  if (msg == WM_CTLCOLORSTATIC || msg == WM_CTLCOLORBTN) {
    const SIZE size{PixelWidth(), PixelHeight()};
    const bool contrast = HighContrastOn();
    if (!backdrop_ || size.cx != backdrop_size_.cx || size.cy != backdrop_size_.cy || contrast != backdrop_contrast_) {
      BitmapHandle picture = RenderBackdrop();
      backdrop_.Reset(::CreatePatternBrush(picture.Get()));
      backdrop_picture_ = std::move(picture);
      backdrop_size_ = size;
      backdrop_contrast_ = contrast;
    }
    HDC dc = reinterpret_cast<HDC>(wparam);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ::GetSysColor(COLOR_BTNTEXT));
    result = reinterpret_cast<LRESULT>(backdrop_.Get());
    return true;
  }
  return false;
}

}  // namespace callwright
