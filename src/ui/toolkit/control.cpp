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

int DpiOf(HWND hwnd) {
  const Window* window = Window::FromHandle(hwnd);
  return window ? window->Dpi() : WindowDpi(hwnd);
}

RECT DesignRect(int left, int top, int width, int height) {
  return {left, top, left + std::max(width, 0), top + std::max(height, 0)};
}

// Position and size are scaled on their own, so that equal sizes stay equal wherever they lie.
RECT ScaleRect(const RECT& design, int dpi) {
  const int left = ScaleToDpi(design.left, dpi);
  const int top = ScaleToDpi(design.top, dpi);
  return {left, top, left + ScaleToDpi(design.right - design.left, dpi),
          top + ScaleToDpi(design.bottom - design.top, dpi)};
}

RECT UnscaleRect(const RECT& pixels, int dpi) {
  const int left = UnscaleFromDpi(pixels.left, dpi);
  const int top = UnscaleFromDpi(pixels.top, dpi);
  return {left, top, left + UnscaleFromDpi(pixels.right - pixels.left, dpi),
          top + UnscaleFromDpi(pixels.bottom - pixels.top, dpi)};
}
}  // namespace

void Control::CreateControl(const ControlParams& params) {
  const int dpi = DpiOf(params.parent);
  design_ = DesignRect(params.left, params.top, params.width, params.height);
  const RECT pixels = ScaleRect(design_, dpi);
  HWND hwnd = ::CreateWindowExW(params.ex_style, params.class_name, params.text,
                                params.style | WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, pixels.left, pixels.top,
                                pixels.right - pixels.left, pixels.bottom - pixels.top, params.parent, nullptr,
                                ::GetModuleHandleW(nullptr), nullptr);
  if (!hwnd) ThrowCreationError(params.class_name);
  creation_index_ = g_next_creation_index++;
  Subclass(hwnd);
  ::SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(DefaultFont(dpi)), FALSE);
  PlaceAboveBackdrops();
}

void Control::CreateOwnControl(const ControlParams& params, HCURSOR cursor) {
  const int dpi = DpiOf(params.parent);
  design_ = DesignRect(params.left, params.top, params.width, params.height);
  const RECT pixels = ScaleRect(design_, dpi);
  creation_index_ = g_next_creation_index++;
  Create({.class_name = params.class_name,
          .caption = params.text,
          .style = params.style | WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS,
          .ex_style = params.ex_style,
          .x = pixels.left,
          .y = pixels.top,
          .width = pixels.right - pixels.left,
          .height = pixels.bottom - pixels.top,
          .parent = params.parent,
          .class_style = 0,
          .background = nullptr,
          .cursor = cursor});
  ::SendMessageW(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(DefaultFont(dpi)), FALSE);
  PlaceAboveBackdrops();
}

int Control::Dpi() const {
  const Window* root = FromHandle(::GetAncestor(Handle(), GA_ROOT));
  return root && root != this ? root->Dpi() : WindowDpi(Handle());
}

void Control::DpiChanged() {
  const int dpi = Dpi();
  ::SendMessageW(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(DefaultFont(dpi)), FALSE);
  const RECT pixels = ScaleRect(design_, dpi);
  ::SetWindowPos(Handle(), nullptr, pixels.left, pixels.top, pixels.right - pixels.left, pixels.bottom - pixels.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  ::InvalidateRect(Handle(), nullptr, TRUE);
}

void Control::PlaceAboveBackdrops() {
  // Backdrops (images) lie beneath: every new control goes right above the topmost backdrop among
  // its siblings, so windowed controls stay above all of them and keep their creation (tab)
  // order, and a later image lies above an earlier one. That topmost backdrop is therefore the one
  // made last.
  HWND self = Handle();
  if (!self) return;
  const Control* topmost_backdrop = nullptr;
  for (Window* sibling : BoundChildren(::GetParent(self))) {
    const auto* control = dynamic_cast<const Control*>(sibling);
    if (!control || control == this || !control->PaintsBackdrop()) continue;
    if (!topmost_backdrop || control->CreationIndex() > topmost_backdrop->CreationIndex()) topmost_backdrop = control;
  }
  if (!topmost_backdrop) return;
  HWND insert_after = ::GetWindow(topmost_backdrop->Handle(), GW_HWNDPREV);
  if (insert_after == self) return;
  ::SetWindowPos(self, insert_after ? insert_after : HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void Control::SetBounds(int left, int top, int width, int height) {
  design_ = DesignRect(left, top, width, height);
  MoveToPixels(ScaleRect(design_, Dpi()));
}

void Control::MoveToPixels(const RECT& pixels) {
  // Layouts and aligning run at every resize: a control already in place is not moved again.
  const RECT now = PixelBounds();
  if (::EqualRect(&pixels, &now)) return;
  ::SetWindowPos(Handle(), nullptr, pixels.left, pixels.top, pixels.right - pixels.left, pixels.bottom - pixels.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void Control::SetLeft(int left) {
  // Only the position changes: a size set in pixels (e.g. a text's width) stays exact.
  const int width = design_.right - design_.left;
  design_.left = left;
  design_.right = left + width;
  const RECT now = PixelBounds();
  if (now.left == Scale(left)) return;
  ::SetWindowPos(Handle(), nullptr, Scale(left), now.top, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE);
}

// What the control shows, read back: the pixels are the truth, and a length scaled up comes back
// as it was given.
RECT Control::Bounds() const { return UnscaleRect(PixelBounds(), Dpi()); }

int Control::Width() const {
  RECT r = Bounds();
  return r.right - r.left;
}

int Control::Height() const {
  RECT r = Bounds();
  return r.bottom - r.top;
}

void Control::SetPixelBounds(const RECT& bounds) {
  const int width = std::max<int>(bounds.right - bounds.left, 0);
  const int height = std::max<int>(bounds.bottom - bounds.top, 0);
  const RECT pixels{bounds.left, bounds.top, bounds.left + width, bounds.top + height};
  design_ = UnscaleRect(pixels, Dpi());
  MoveToPixels(pixels);
}

RECT Control::PixelBounds() const { return BoundsInParent(Handle()); }

int Control::PixelWidth() const {
  const RECT r = PixelBounds();
  return r.right - r.left;
}

int Control::PixelHeight() const {
  const RECT r = PixelBounds();
  return r.bottom - r.top;
}

void Control::SetText(std::wstring_view text) { ::SetWindowTextW(Handle(), std::wstring(text).c_str()); }

std::wstring Control::TextWithAccessKey() const {
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(Handle())) + 1, L'\0');
  text.resize(static_cast<std::size_t>(::GetWindowTextW(Handle(), text.data(), static_cast<int>(text.size()))));
  return text;
}

std::wstring Control::Text() const {
  return ShowsAccessKeys() ? WithoutAccessKeyMarks(TextWithAccessKey()) : TextWithAccessKey();
}

std::wstring Control::AccessibleName() const {
  if (!accessible_name_.empty()) return accessible_name_;
  return ShowsAccessKeys() ? Text() : std::wstring();
}

bool Control::AnswerGetObject(WPARAM wparam, LPARAM lparam, LRESULT& result) {
  const AccessibleRole role = accessible_role_ != AccessibleRole::None ? accessible_role_ : DefaultAccessibleRole();
  result = AnswerAccessibleObject(Handle(), wparam, lparam, AccessibleName(), role);
  return result != 0;
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
  const RECT bounds = PixelBounds();
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
  for (Window* child : Window::BoundChildren(parent)) {
    auto* control = dynamic_cast<Control*>(child);
    if (control && control->GetAlign() != Align::None) aligned.push_back(control);
  }
  std::sort(aligned.begin(), aligned.end(),
            [](const Control* a, const Control* b) { return a->CreationIndex() < b->CreationIndex(); });
  RECT area{};
  ::GetClientRect(parent, &area);
  const int width = area.right - area.left;
  for (Control* c : aligned) {
    if (c->GetAlign() != Align::Top) continue;
    const int height = c->PixelHeight();
    c->SetPixelBounds({area.left, area.top, area.left + width, area.top + height});
    area.top += height;
  }
  for (Control* c : aligned) {
    if (c->GetAlign() != Align::Bottom) continue;
    const int height = c->PixelHeight();
    c->SetPixelBounds({area.left, area.bottom - height, area.left + width, area.bottom});
    area.bottom -= height;
  }
  for (Control* c : aligned) {
    if (c->GetAlign() == Align::Client) {
      c->SetPixelBounds({area.left, area.top, area.left + width, std::max(area.bottom, area.top)});
    }
  }
}

void FillClient(HWND hwnd, HDC dc, COLORREF colour) {
  RECT r{};
  ::GetClientRect(hwnd, &r);
  BrushHandle brush(::CreateSolidBrush(colour));
  ::FillRect(dc, &r, brush.Get());
}

}  // namespace callwright
