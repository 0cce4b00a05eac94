#include "ui/toolkit/control.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "ui/toolkit/application.h"
#include "ui/toolkit/image.h"
#include "ui/toolkit/window.h"

namespace callwright {

namespace {
constexpr wchar_t kControlProperty[] = L"Callwright.Control";
unsigned g_next_creation_index = 1;
}  // namespace

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

Control::~Control() { Detach(); }

void Control::Detach() noexcept {
  HWND hwnd = hwnd_.Get();
  if (!hwnd) return;
  // From here on the window's messages no longer reach this (half-destroyed) object.
  if (subclassed_) ::RemoveWindowSubclass(hwnd, &Control::SubclassProc, 0);
  ::RemovePropW(hwnd, kControlProperty);
}

Control* Control::FromHandle(HWND hwnd) noexcept {
  return hwnd ? static_cast<Control*>(::GetPropW(hwnd, kControlProperty)) : nullptr;
}

void Control::CreateControl(const ControlParams& params) {
  HWND hwnd =
      ::CreateWindowExW(params.ex_style, params.class_name, params.text,
                        params.style | WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, params.left, params.top, params.width,
                        params.height, params.parent, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  Attach(hwnd);
  ::SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(DefaultFont()), FALSE);
  PlaceAboveImages();
}

void Control::CreateOwnControl(const ControlParams& params, HCURSOR cursor) {
  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  WNDCLASSEXW wc{};
  wc.lpfnWndProc = &Control::OwnClassProc;
  wc.hCursor = cursor ? cursor : ::LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = params.class_name;
  RegisterClassOnce(wc);
  creation_index_ = g_next_creation_index++;
  // The object is bound at WM_NCCREATE, so it sees its own creation messages.
  HWND hwnd = ::CreateWindowExW(params.ex_style, params.class_name, params.text,
                                params.style | WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, params.left, params.top,
                                params.width, params.height, params.parent, nullptr, instance, this);
  if (hwnd) ::SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(DefaultFont()), FALSE);
  PlaceAboveImages();
}

void Control::PlaceAboveImages() {
  // Images are backgrounds: every new control goes right above the topmost image among its
  // siblings, so windowed controls stay above all images and keep their creation (tab) order,
  // and a later image lies above an earlier one.
  HWND self = Handle();
  if (!self) return;
  HWND topmost_image = nullptr;
  for (HWND sibling = ::GetWindow(self, GW_HWNDFIRST); sibling; sibling = ::GetWindow(sibling, GW_HWNDNEXT)) {
    if (sibling != self && dynamic_cast<Image*>(FromHandle(sibling))) {
      topmost_image = sibling;
      break;
    }
  }
  if (!topmost_image) return;
  HWND insert_after = ::GetWindow(topmost_image, GW_HWNDPREV);
  if (insert_after == self) return;
  ::SetWindowPos(self, insert_after ? insert_after : HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void Control::Attach(HWND hwnd) {
  creation_index_ = g_next_creation_index++;
  hwnd_.Reset(hwnd);
  if (hwnd) ::SetPropW(hwnd, kControlProperty, this);
}

void Control::Subclass() {
  if (!subclassed_ && Handle()) {
    subclassed_ = ::SetWindowSubclass(Handle(), &Control::SubclassProc, 0, 0) != FALSE;
  }
}

LRESULT CALLBACK Control::OwnClassProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_NCCREATE) {
    auto* self = static_cast<Control*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    self->hwnd_.Reset(hwnd);
    ::SetPropW(hwnd, kControlProperty, self);
  }
  Control* self = FromHandle(hwnd);
  if (!self) return ::DefWindowProcW(hwnd, msg, wparam, lparam);
  if (msg == WM_NCDESTROY) {
    // Destroyed with its parent: the object must not destroy the handle again.
    ::RemovePropW(hwnd, kControlProperty);
    self->hwnd_.Release();
    return ::DefWindowProcW(hwnd, msg, wparam, lparam);
  }
  LRESULT result = 0;
  Application::Instance().Guard([&] { result = self->HandleMessage(msg, wparam, lparam); });
  return result;
}

LRESULT CALLBACK Control::SubclassProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR, DWORD_PTR) {
  Control* self = FromHandle(hwnd);
  if (!self) return ::DefSubclassProc(hwnd, msg, wparam, lparam);
  if (msg == WM_NCDESTROY) {
    ::RemoveWindowSubclass(hwnd, &Control::SubclassProc, 0);
    ::RemovePropW(hwnd, kControlProperty);
    self->subclassed_ = false;
    self->hwnd_.Release();
    return ::DefSubclassProc(hwnd, msg, wparam, lparam);
  }
  LRESULT result = 0;
  Application::Instance().Guard([&] { result = self->HandleMessage(msg, wparam, lparam); });
  return result;
}

LRESULT Control::HandleMessage(UINT msg, WPARAM wparam, LPARAM lparam) { return DefaultHandling(msg, wparam, lparam); }

LRESULT Control::DefaultHandling(UINT msg, WPARAM wparam, LPARAM lparam) {
  return subclassed_ ? ::DefSubclassProc(Handle(), msg, wparam, lparam)
                     : ::DefWindowProcW(Handle(), msg, wparam, lparam);
}

void Control::SetBounds(int left, int top, int width, int height) {
  ::SetWindowPos(Handle(), nullptr, left, top, std::max(width, 0), std::max(height, 0), SWP_NOZORDER | SWP_NOACTIVATE);
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

void Control::SetText(std::wstring_view text) { ::SetWindowTextW(Handle(), std::wstring(text).c_str()); }

std::wstring Control::Text() const {
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(Handle())) + 1, L'\0');
  text.resize(static_cast<std::size_t>(::GetWindowTextW(Handle(), text.data(), static_cast<int>(text.size()))));
  return text;
}

void Control::Repaint() {
  ::InvalidateRect(Handle(), nullptr, TRUE);
  ::UpdateWindow(Handle());
}

void Control::SetAlign(Align align) {
  align_ = align;
  AlignChildren(::GetParent(Handle()));
}

bool Control::Reflected(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

BitmapHandle Control::RenderBackdrop() const {
  const RECT bounds = Bounds();
  const int width = std::max<int>(bounds.right - bounds.left, 1);
  const int height = std::max<int>(bounds.bottom - bounds.top, 1);
  DcHandle screen_compatible(::CreateCompatibleDC(nullptr));
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  BitmapHandle bitmap(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap || !screen_compatible) return bitmap;
  HDC dc = screen_compatible.Get();
  HGDIOBJ old = ::SelectObject(dc, bitmap.Get());

  const Control* parent = FromHandle(::GetParent(Handle()));
  const COLORREF colour = parent ? parent->BackgroundColour() : ::GetSysColor(COLOR_BTNFACE);
  BrushHandle brush(::CreateSolidBrush(colour));
  RECT all{0, 0, width, height};
  ::FillRect(dc, &all, brush.Get());

  // The nearest Image beneath this control that overlaps it paints over the colour.
  for (HWND below = ::GetWindow(Handle(), GW_HWNDNEXT); below; below = ::GetWindow(below, GW_HWNDNEXT)) {
    const auto* image = dynamic_cast<const Image*>(FromHandle(below));
    if (!image || !(::GetWindowLongPtrW(below, GWL_STYLE) & WS_VISIBLE)) continue;
    const RECT image_bounds = image->Bounds();
    RECT overlap{};
    if (!::IntersectRect(&overlap, &image_bounds, &bounds)) continue;
    POINT previous{};
    ::SetViewportOrgEx(dc, image_bounds.left - bounds.left, image_bounds.top - bounds.top, &previous);
    image->PaintContent(dc);
    ::SetViewportOrgEx(dc, previous.x, previous.y, nullptr);
    break;
  }
  ::SelectObject(dc, old);
  return bitmap;
}

void AlignChildren(HWND parent) {
  if (!parent) return;
  std::vector<Control*> aligned;
  for (HWND child = ::GetWindow(parent, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    Control* control = Control::FromHandle(child);
    if (control && control->GetAlign() != Align::None) aligned.push_back(control);
  }
  std::sort(aligned.begin(), aligned.end(),
            [](const Control* a, const Control* b) { return a->CreationIndex() < b->CreationIndex(); });
  RECT area{};
  ::GetClientRect(parent, &area);
  const int width = area.right - area.left;
  for (Control* c : aligned) {
    if (c->GetAlign() != Align::Top) continue;
    const int height = c->Height();
    c->SetBounds(area.left, area.top, width, height);
    area.top += height;
  }
  for (Control* c : aligned) {
    if (c->GetAlign() != Align::Bottom) continue;
    const int height = c->Height();
    c->SetBounds(area.left, area.bottom - height, width, height);
    area.bottom -= height;
  }
  for (Control* c : aligned) {
    if (c->GetAlign() == Align::Client) c->SetBounds(area.left, area.top, width, area.bottom - area.top);
  }
}

void FillClient(HWND hwnd, HDC dc, COLORREF colour) {
  RECT r{};
  ::GetClientRect(hwnd, &r);
  BrushHandle brush(::CreateSolidBrush(colour));
  ::FillRect(dc, &r, brush.Get());
}

}  // namespace callwright
