#include "ui/toolkit/label.h"

#include <windowsx.h>

#include <algorithm>
#include <string>

#include "base/gdi_scopes.h"
#include "ui/toolkit/high_contrast.h"

namespace callwright {

namespace {
constexpr wchar_t kLabelClass[] = L"TLabel";
}

Label::Label(HWND parent, int left, int top, int height, std::wstring_view caption)
    : Label(parent, left, top, height, caption, false) {}

Label::Label(HWND parent, int left, int top, int height, std::wstring_view caption, bool access_key)
    : design_height_(height), access_key_(access_key) {
  const std::wstring text(caption);
  CreateOwnControl({.class_name = kLabelClass,
                    .text = text.c_str(),
                    .parent = parent,
                    .left = left,
                    .top = top,
                    .width = 0,
                    .height = height});
  FitWidth();
}

void Label::SetCaption(std::wstring_view caption) {
  SetText(caption);
  FitWidth();
  ::InvalidateRect(Handle(), nullptr, TRUE);
}

void Label::DpiChanged() {
  Control::DpiChanged();
  FitWidth();
}

void Label::SetTextColour(COLORREF colour) {
  colour_ = colour;
  ::InvalidateRect(Handle(), nullptr, TRUE);
}

void Label::FitWidth() {
  const std::wstring text = Text();
  SIZE size{0, 0};
  {
    const ClientDc dc(Handle());
    const Selection font(dc.Get(), Font());
    ::GetTextExtentPoint32W(dc.Get(), text.c_str(), static_cast<int>(text.size()), &size);
  }
  const RECT bounds = PixelBounds();
  SetPixelBounds({bounds.left, bounds.top, bounds.left + size.cx, bounds.top + std::max<int>(Scale(design_height_), size.cy)});
}

LRESULT Label::HandleMessage(UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      const PaintScope paint(Handle());
      RECT client{};
      ::GetClientRect(Handle(), &client);
      BitmapHandle canvas = RenderBackdrop();
      DcHandle buffer(::CreateCompatibleDC(paint.Dc()));
      const Selection selected_canvas(buffer.Get(), canvas.Get());
      const Selection selected_font(buffer.Get(), Font());
      ::SetBkMode(buffer.Get(), TRANSPARENT);
      ::SetTextColor(buffer.Get(), colour_ ? ContrastColour(*colour_, COLOR_BTNTEXT) : ::GetSysColor(COLOR_BTNTEXT));
      // The access key's mark taken out rather than DT_HIDEPREFIX, which not every DrawText honours.
      const bool underline = access_key_ && !(::SendMessageW(Handle(), WM_QUERYUISTATE, 0, 0) & UISF_HIDEACCEL);
      const std::wstring text = underline ? TextWithAccessKey() : Text();
      ::DrawTextW(buffer.Get(), text.c_str(), static_cast<int>(text.size()), &client,
                  DT_LEFT | DT_TOP | (underline ? 0u : static_cast<UINT>(DT_NOPREFIX)));
      ::BitBlt(paint.Dc(), 0, 0, client.right, client.bottom, buffer.Get(), 0, 0, SRCCOPY);
      return 0;
    }
    case WM_GETDLGCODE:
      // The dialog manager moves the focus past a static control whose access key is pressed.
      if (access_key_) return DLGC_STATIC;
      break;
    case WM_UPDATEUISTATE: {
      const LRESULT result = DefaultHandling(msg, wparam, lparam);
      if (access_key_) ::InvalidateRect(Handle(), nullptr, FALSE);
      return result;
    }
    default:
      break;
  }
  LRESULT result = 0;
  if (HandleClickMessage(Handle(), msg, wparam, lparam, result)) return result;
  return DefaultHandling(msg, wparam, lparam);
}

}  // namespace callwright
