#include "ui/toolkit/control.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "base/dib_win.h"
#include "base/gdi_scopes.h"

namespace callwright {

namespace {
unsigned g_next_creation_index = 1;

RECT BoundsInParent(HWND hwnd) {
  RECT r{};
  ::GetWindowRect(hwnd, &r);
  ::MapWindowPoints(HWND_DESKTOP, ::GetParent(hwnd), reinterpret_cast<POINT*>(&r), 2);
  return r;
}
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

void Control::CreateControl(const ControlParams& params) {
  HWND hwnd =
      ::CreateWindowExW(params.ex_style, params.class_name, params.text,
                        params.style | WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, params.left, params.top, params.width,
                        params.height, params.parent, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  if (!hwnd) ThrowCreationError(params.class_name);
  creation_index_ = g_next_creation_index++;
  Subclass(hwnd);
  ::SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(DefaultFont()), FALSE);
  PlaceAboveBackdrops();
}

void Control::CreateOwnControl(const ControlParams& params, HCURSOR cursor) {
  creation_index_ = g_next_creation_index++;
  Create({.class_name = params.class_name,
          .caption = params.text,
          .style = params.style | WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS,
          .ex_style = params.ex_style,
          .x = params.left,
          .y = params.top,
          .width = params.width,
          .height = params.height,
          .parent = params.parent,
          .class_style = 0,
          .background = nullptr,
          .cursor = cursor});
  ::SendMessageW(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(DefaultFont()), FALSE);
  PlaceAboveBackdrops();
}

void Control::PlaceAboveBackdrops() {
  // Backdrops (images) lie beneath: every new control goes right above the topmost backdrop among
  // its siblings, so windowed controls stay above all of them and keep their creation (tab)
  // order, and a later image lies above an earlier one.
  HWND self = Handle();
  if (!self) return;
  HWND topmost_backdrop = nullptr;
  for (HWND sibling = ::GetWindow(self, GW_HWNDFIRST); sibling; sibling = ::GetWindow(sibling, GW_HWNDNEXT)) {
    const Window* window = FromHandle(sibling);
    if (sibling != self && window && window->PaintsBackdrop()) {
      topmost_backdrop = sibling;
      break;
    }
  }
  if (!topmost_backdrop) return;
  HWND insert_after = ::GetWindow(topmost_backdrop, GW_HWNDPREV);
  if (insert_after == self) return;
  ::SetWindowPos(self, insert_after ? insert_after : HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void Control::SetBounds(int left, int top, int width, int height) {
  ::SetWindowPos(Handle(), nullptr, left, top, std::max(width, 0), std::max(height, 0), SWP_NOZORDER | SWP_NOACTIVATE);
}

void Control::SetLeft(int left) {
  ::SetWindowPos(Handle(), nullptr, left, Top(), 0, 0, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE);
}

RECT Control::Bounds() const { return BoundsInParent(Handle()); }

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

BitmapHandle Control::RenderBackdrop() const {
  const RECT bounds = Bounds();
  const int width = std::max<int>(bounds.right - bounds.left, 1);
  const int height = std::max<int>(bounds.bottom - bounds.top, 1);
  DcHandle screen_compatible(::CreateCompatibleDC(nullptr));
  BitmapHandle bitmap = CreateDibSection(width, -height, 32);
  if (!bitmap || !screen_compatible) return bitmap;
  HDC dc = screen_compatible.Get();
  const Selection selected(dc, bitmap.Get());

  const Window* parent = FromHandle(::GetParent(Handle()));
  const COLORREF colour = parent ? parent->BackgroundColour() : ::GetSysColor(COLOR_BTNFACE);
  BrushHandle brush(::CreateSolidBrush(colour));
  RECT all{0, 0, width, height};
  ::FillRect(dc, &all, brush.Get());

  // The nearest backdrop beneath this control that overlaps it paints over the colour.
  for (HWND below = ::GetWindow(Handle(), GW_HWNDNEXT); below; below = ::GetWindow(below, GW_HWNDNEXT)) {
    const Window* backdrop = FromHandle(below);
    if (!backdrop || !backdrop->PaintsBackdrop() || !(::GetWindowLongPtrW(below, GWL_STYLE) & WS_VISIBLE)) continue;
    const RECT backdrop_bounds = BoundsInParent(below);
    RECT overlap{};
    if (!::IntersectRect(&overlap, &backdrop_bounds, &bounds)) continue;
    const ViewportOrigin origin(dc, backdrop_bounds.left - bounds.left, backdrop_bounds.top - bounds.top);
    backdrop->PaintContent(dc);
    break;
  }
  return bitmap;
}

void AlignChildren(HWND parent) {
  if (!parent) return;
  std::vector<Control*> aligned;
  for (HWND child = ::GetWindow(parent, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    auto* control = dynamic_cast<Control*>(Window::FromHandle(child));
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
