#include "ui/toolkit/clickable.h"

#include <windowsx.h>

namespace callwright {

bool Clickable::HandleClickMessage(HWND hwnd, UINT msg, WPARAM, LPARAM lparam, LRESULT& result) {
  result = 0;
  switch (msg) {
    case WM_SETCURSOR:
      if (!hand_cursor_ || LOWORD(lparam) != HTCLIENT) return false;
      ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
      result = TRUE;
      return true;
    case WM_LBUTTONDOWN:
      pressed_ = true;
      ::SetCapture(hwnd);
      return true;
    case WM_LBUTTONUP: {
      const bool was_pressed = pressed_;
      pressed_ = false;
      if (::GetCapture() == hwnd) ::ReleaseCapture();
      RECT client{};
      ::GetClientRect(hwnd, &client);
      const POINT at{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
      if (was_pressed && ::PtInRect(&client, at) && OnClick) OnClick();
      return true;
    }
    case WM_CAPTURECHANGED:
      pressed_ = false;
      return true;
    default:
      return false;
  }
}

}  // namespace callwright
