#include "ui/toolkit/control.h"

namespace callwright {

namespace {
constexpr wchar_t kControlProperty[] = L"Callwright.Control";
}

HFONT DefaultFont() {
  static FontHandle font([] {
    LOGFONTW lf{};
    lf.lfHeight = -11;
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = DEFAULT_QUALITY;
    wcscpy_s(lf.lfFaceName, L"Tahoma");
    return ::CreateFontIndirectW(&lf);
  }());
  return font.Get();
}

Control::~Control() {
  if (HWND hwnd = hwnd_.Get()) ::RemovePropW(hwnd, kControlProperty);
}

Control* Control::FromHandle(HWND hwnd) noexcept {
  return hwnd ? static_cast<Control*>(::GetPropW(hwnd, kControlProperty)) : nullptr;
}

void Control::CreateControl(const ControlParams& params) {
  HWND hwnd = ::CreateWindowExW(params.ex_style, params.class_name, params.text,
                                params.style | WS_CHILD | WS_VISIBLE, params.left, params.top, params.width,
                                params.height, params.parent, nullptr, ::GetModuleHandleW(nullptr),
                                params.create_param);
  Attach(hwnd);
  ::SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(DefaultFont()), FALSE);
}

void Control::Attach(HWND hwnd) {
  hwnd_.Reset(hwnd);
  if (hwnd) ::SetPropW(hwnd, kControlProperty, this);
}

void Control::SetBounds(int left, int top, int width, int height) {
  ::SetWindowPos(Handle(), nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Control::SetLeft(int left) {
  ::SetWindowPos(Handle(), nullptr, left, Top(), 0, 0, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE);
}

RECT Control::Bounds() const {
  RECT r{};
  ::GetWindowRect(Handle(), &r);
  ::MapWindowPoints(HWND_DESKTOP, ::GetParent(Handle()), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

int Control::Width() const {
  RECT r = Bounds();
  return r.right - r.left;
}

int Control::Height() const {
  RECT r = Bounds();
  return r.bottom - r.top;
}

bool Control::Reflected(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

}  // namespace callwright
