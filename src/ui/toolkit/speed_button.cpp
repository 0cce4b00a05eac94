#include "ui/toolkit/speed_button.h"

#include <commctrl.h>

#include <string>

#include "base/gdi_scopes.h"

namespace callwright {

namespace {
constexpr int kGlyphSpacing = 4;  // at 96 dpi

// The caption with its access key, the key underlined unless keyboard cues are hidden.
void DrawCaption(HDC dc, const std::wstring& marked, int x, int y, SIZE size, bool disabled, bool hide_key) {
  ::SetBkMode(dc, TRANSPARENT);
  // The marks taken out rather than DT_HIDEPREFIX, which not every DrawText honours.
  const std::wstring caption = hide_key ? WithoutAccessKeyMarks(marked) : marked;
  const UINT format = DT_SINGLELINE | DT_LEFT | DT_TOP | DT_NOCLIP | (hide_key ? DT_NOPREFIX : 0u);
  const int length = static_cast<int>(caption.size());
  if (disabled) {
    // Embossed, as disabled controls of the platform are drawn.
    ::SetTextColor(dc, ::GetSysColor(COLOR_BTNHIGHLIGHT));
    RECT shadow{x + 1, y + 1, x + 1 + size.cx, y + 1 + size.cy};
    ::DrawTextW(dc, caption.c_str(), length, &shadow, format);
    ::SetTextColor(dc, ::GetSysColor(COLOR_BTNSHADOW));
  } else {
    ::SetTextColor(dc, ::GetSysColor(COLOR_BTNTEXT));
  }
  RECT area{x, y, x + size.cx, y + size.cy};
  ::DrawTextW(dc, caption.c_str(), length, &area, format);
}
}  // namespace

SpeedButton::SpeedButton(HWND parent, int left, int top, int width, int height, std::wstring_view caption) {
  const std::wstring text(caption);
  CreateControl({.class_name = WC_BUTTONW,
                 .text = text.c_str(),
                 .style = BS_OWNERDRAW,
                 .parent = parent,
                 .left = left,
                 .top = top,
                 .width = width,
                 .height = height});
}

void SpeedButton::SetGlyph(const Picture& glyph) {
  glyph_id_ = 0;
  glyph_pending_ = false;
  if (glyph.width <= 0 || glyph.height <= 0 ||
      glyph.bgra.size() < static_cast<std::size_t>(glyph.width) * glyph.height * 4) {
    TakeGlyph({});
    return;
  }
  Picture normal = glyph;
  MakeKeyColourTransparent(normal);
  TakeGlyph(normal);
}

void SpeedButton::SetGlyph(int picture_id) {
  TakeGlyph({});
  glyph_id_ = picture_id;
  glyph_pending_ = true;
}

void SpeedButton::LoadPendingGlyph() const {
  if (!glyph_pending_) return;
  glyph_pending_ = false;
  MakeGlyphBitmaps(LoadPngResourceForDpi(glyph_id_, Dpi(), true));
}

void SpeedButton::DpiChanged() {
  Control::DpiChanged();
  if (glyph_id_ != 0) SetGlyph(glyph_id_);
}

void SpeedButton::TakeGlyph(const Picture& normal) {
  MakeGlyphBitmaps(normal);
  ::InvalidateRect(Handle(), nullptr, FALSE);
}

void SpeedButton::MakeGlyphBitmaps(const Picture& normal) const {
  glyph_.Reset();
  glyph_disabled_.Reset();
  glyph_size_ = {0, 0};
  if (normal.width <= 0 || normal.height <= 0) return;
  Picture disabled = normal;
  for (std::size_t i = 0; i + 3 < disabled.bgra.size(); i += 4) {
    std::uint8_t* px = &disabled.bgra[i];
    const int grey = (px[2] * 30 + px[1] * 59 + px[0] * 11) / 100;
    px[0] = px[1] = px[2] = static_cast<std::uint8_t>(140 + grey * 100 / 255);
  }
  glyph_ = MakeBitmap32(normal);
  glyph_disabled_ = MakeBitmap32(disabled);
  glyph_size_ = {normal.width, normal.height};
}

void SpeedButton::Draw(const DRAWITEMSTRUCT& item) {
  const int width = item.rcItem.right - item.rcItem.left;
  const int height = item.rcItem.bottom - item.rcItem.top;
  const bool disabled = (item.itemState & ODS_DISABLED) != 0;
  const bool pressed = !disabled && (item.itemState & ODS_SELECTED) != 0;
  LoadPendingGlyph();

  // Composed off screen on what lies behind the button, so that it looks flat and see-through.
  BitmapHandle canvas = RenderBackdrop();
  DcHandle dc(::CreateCompatibleDC(item.hDC));
  const Selection selected_canvas(dc.Get(), canvas.Get());
  const Selection selected_font(dc.Get(), Font());

  RECT frame{0, 0, width, height};
  if (pressed) {
    ::DrawEdge(dc.Get(), &frame, BDR_SUNKENOUTER, BF_RECT);
  } else if (hot_ && !disabled) {
    ::DrawEdge(dc.Get(), &frame, BDR_RAISEDINNER, BF_RECT);
  }

  const std::wstring caption = TextWithAccessKey();
  SIZE text{0, 0};
  if (!caption.empty()) {
    RECT measured{0, 0, 0, 0};
    ::DrawTextW(dc.Get(), caption.c_str(), static_cast<int>(caption.size()), &measured, DT_SINGLELINE | DT_CALCRECT);
    text = {measured.right - measured.left, measured.bottom - measured.top};
  }
  const LRESULT cues = ::SendMessageW(Handle(), WM_QUERYUISTATE, 0, 0);
  const int glyph_width = glyph_ ? glyph_size_.cx : 0;
  const int gap = glyph_width > 0 && !caption.empty() ? Scale(kGlyphSpacing) : 0;
  const int shift = pressed ? 1 : 0;
  int x = (width - (glyph_width + gap + text.cx)) / 2 + shift;
  if (glyph_) {
    DcHandle source(::CreateCompatibleDC(item.hDC));
    const Selection selected(source.Get(), disabled ? glyph_disabled_.Get() : glyph_.Get());
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    ::AlphaBlend(dc.Get(), x, (height - glyph_size_.cy) / 2 + shift, glyph_size_.cx, glyph_size_.cy, source.Get(), 0, 0,
                 glyph_size_.cx, glyph_size_.cy, blend);
    x += glyph_width + gap;
  }
  if (!caption.empty()) {
    const bool hide_key = (item.itemState & ODS_NOACCEL) != 0 || (cues & UISF_HIDEACCEL) != 0;
    DrawCaption(dc.Get(), caption, x, (height - text.cy) / 2 + shift, text, disabled, hide_key);
  }
  if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT) && !(cues & UISF_HIDEFOCUS)) {
    RECT focus = frame;
    ::InflateRect(&focus, -Scale(3), -Scale(3));
    ::SetTextColor(dc.Get(), ::GetSysColor(COLOR_BTNTEXT));
    ::SetBkColor(dc.Get(), ::GetSysColor(COLOR_BTNFACE));
    ::DrawFocusRect(dc.Get(), &focus);
  }

  ::BitBlt(item.hDC, item.rcItem.left, item.rcItem.top, width, height, dc.Get(), 0, 0, SRCCOPY);
}

bool SpeedButton::HandleReflectedMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  if (msg == WM_DRAWITEM) {
    Draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
    result = TRUE;
    return true;
  }
  if (msg == WM_COMMAND) {
    // An owner-drawn button reports the second click of a double click as BN_DOUBLECLICKED only.
    const UINT code = HIWORD(wparam);
    if ((code == BN_CLICKED || code == BN_DOUBLECLICKED) && Enabled() && OnClick) OnClick();
    result = 0;
    return true;
  }
  return false;
}

LRESULT SpeedButton::HandleMessage(UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_MOUSEMOVE:
      if (!hot_) {
        hot_ = true;
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, Handle(), 0};
        ::TrackMouseEvent(&track);
        ::InvalidateRect(Handle(), nullptr, FALSE);
      }
      break;
    case WM_MOUSELEAVE:
      hot_ = false;
      ::InvalidateRect(Handle(), nullptr, FALSE);
      break;
    case WM_ENABLE:
      hot_ = false;
      break;
    case BM_CLICK:
      if (!Enabled()) return 0;
      break;
    case WM_SETFOCUS:
      focus_before_ = reinterpret_cast<HWND>(wparam);
      break;
    case WM_LBUTTONUP: {
      // A speed button takes no focus: hand it back once the click is done, unless the click moved it.
      const LRESULT result = DefaultHandling(msg, wparam, lparam);
      HWND back = focus_before_;
      if (::GetFocus() == Handle() && back && ::IsWindow(back) && ::IsWindowVisible(back) && ::IsWindowEnabled(back)) {
        ::SetFocus(back);
      }
      return result;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_UPDATEUISTATE: {
      const LRESULT result = DefaultHandling(msg, wparam, lparam);
      ::InvalidateRect(Handle(), nullptr, FALSE);
      return result;
    }
    default:
      break;
  }
  return DefaultHandling(msg, wparam, lparam);
}

}  // namespace callwright
