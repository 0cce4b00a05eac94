#include "ui/about_form.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "assets/resource_ids.h"
#include "base/dib_win.h"
#include "base/gdi_scopes.h"
#include "core/random.h"
#include "ui/toolkit/picture.h"
#include "ui/toolkit/shell.h"

namespace callwright {

TFrmAbout* FrmAbout = nullptr;

namespace {

constexpr COLORREF kHeaderColour = RGB(34, 41, 54);  // the header picture's background
constexpr COLORREF kLinkColour = RGB(0, 0, 255);
constexpr int kIconSize = 24;
constexpr BYTE kFadeStep = 5;
constexpr BYTE kFadeEnd = 50;

constexpr wchar_t kHomePage[] = L"https://callwright.example/";
constexpr wchar_t kContactPage[] = L"https://callwright.example/contact";
constexpr wchar_t kYouTubePage[] = L"https://www.youtube.com/@callwright";
constexpr wchar_t kTwitterPage[] = L"https://twitter.com/callwright";
constexpr wchar_t kFacebookPage[] = L"https://www.facebook.com/callwright";
constexpr wchar_t kGooglePage[] = L"https://plus.google.com/+callwright/posts";
constexpr wchar_t kSiteCaption[] = L"callwright.example - Mara Lindqvist";

// Bottom-up, as the toolkit's bitmaps.
BitmapHandle BlankDib24(int width, int height) { return CreateDibSection(width, height, 24); }

// GetObject reports every DIB section with a positive height, so the row order is found by drawing
// one pixel at the top-left corner and seeing which row of memory it lands in. The pixel is put
// back afterwards. Bottom-up (the usual order) when the bitmap cannot be drawn on.
bool RowsTopDown(HBITMAP bitmap, const std::uint8_t* first, const std::uint8_t* last) {
  DcHandle dc(::CreateCompatibleDC(nullptr));
  if (!dc) return false;
  const Selection selected(dc.Get(), bitmap);
  if (!selected) return false;
  ::GdiFlush();
  const COLORREF saved = ::GetPixel(dc.Get(), 0, 0);
  // Unlike the first pixel of both the first and the last row of memory.
  COLORREF probe = RGB(first[2] ^ 0x80, first[1], first[0]);
  if (probe == RGB(last[2], last[1], last[0])) probe = RGB(first[2], first[1] ^ 0x80, first[0]);
  ::SetPixelV(dc.Get(), 0, 0, probe);
  ::GdiFlush();
  const bool top_down = RGB(first[2], first[1], first[0]) == probe;
  ::SetPixelV(dc.Get(), 0, 0, saved);
  ::GdiFlush();
  return top_down;
}

}  // namespace

int CentredLeft(int client_width, int control_width) { return client_width / 2 - control_width / 2; }

Image24 Dib24Pixels(HBITMAP bitmap) {
  DIBSECTION section{};
  if (!bitmap || ::GetObjectW(bitmap, sizeof(section), &section) != sizeof(section)) return {};
  const BITMAPINFOHEADER& header = section.dsBmih;
  if (header.biBitCount != 24 || header.biCompression != BI_RGB || !section.dsBm.bmBits) return {};
  const int width = section.dsBm.bmWidth;
  const int height = std::abs(section.dsBm.bmHeight);
  if (width <= 0 || height <= 0) return {};
  const std::ptrdiff_t stride = ((static_cast<std::ptrdiff_t>(width) * 24 + 31) / 32) * 4;
  auto* first = static_cast<std::uint8_t*>(section.dsBm.bmBits);
  std::uint8_t* last = first + (height - 1) * stride;
  if (height > 1 && RowsTopDown(bitmap, first, last)) return {width, height, first, stride};
  return {width, height, last, -stride};
}

BitmapHandle ToDib24(BitmapHandle bitmap) {
  if (!bitmap || Dib24Pixels(bitmap.Get()).row0) return bitmap;
  BITMAP info{};
  if (!::GetObjectW(bitmap.Get(), sizeof(info), &info)) return {};
  BitmapHandle copy = BlankDib24(info.bmWidth, std::abs(info.bmHeight));
  if (!copy) return {};
  DcHandle source(::CreateCompatibleDC(nullptr));
  DcHandle target(::CreateCompatibleDC(nullptr));
  {
    const Selection selected_source(source.Get(), bitmap.Get());
    const Selection selected_target(target.Get(), copy.Get());
    ::BitBlt(target.Get(), 0, 0, info.bmWidth, std::abs(info.bmHeight), source.Get(), 0, 0, SRCCOPY);
  }
  return copy;
}

TFrmAbout::TFrmAbout()
    : Form({.class_name = L"TFrmAbout",
            .caption = L"About ",
            .client_width = 329,
            .client_height = 331,
            .style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
            .escape_closes = true}),
      Panel1(Handle(), Align::Top, 73),
      img(Panel1.Handle(), -4, 0, 332, 71),
      memoabout(Handle(), 8, 79, 314, 186, {.read_only = true, .vertical_scroll_bar = true, .flat_border = true}),
      lsite(Handle(), 0, 271, 13, kSiteCaption),
      pbottom(Handle(), Align::Bottom, 41),
      imgback(pbottom.Handle(), 0, 0, 0, 0),
      imgyoutube(pbottom.Handle(), 8, 9, kIconSize, kIconSize),
      Image1(pbottom.Handle(), 38, 9, kIconSize, kIconSize),
      Image2(pbottom.Handle(), 68, 9, kIconSize, kIconSize),
      Image3(pbottom.Handle(), 98, 9, kIconSize, kIconSize),
      Image4(pbottom.Handle(), 128, 9, kIconSize, kIconSize),
      SpeedButton2(pbottom.Handle(), 249, 8, 73, 27, L"&OK"),
      Timer(Handle(), 70, false, [this] { TimerTimer(); }),
      blend(Handle(), 10, false, [this] { blendTimer(); }),
      Water([](int n) { return ProgramRandom()(n); }) {
  Panel1.SetColour(kHeaderColour);
  img.OnMouseMove = [this](int x, int y) { imgMouseMove(x, y); };

  memoabout.SetColour(::GetSysColor(COLOR_BTNFACE));
  memoabout.SetLines({
      L"Callwright is an easy-to-use tool that records the voice conversations you hold with Skype, "
      L"automatically, and keeps every call as a .wav file.",
      L"",
      L"A recording of a call pays off in business, where a verbal agreement is easily misread or "
      L"remembered differently, and it can serve as evidence in legal disputes such as abuse, stalking "
      L"or threats.",
  });

  lsite.SetTextColour(kLinkColour);
  lsite.SetHandCursor(true);
  lsite.OnClick = [this] { lsiteClick(); };

  imgback.SetAlign(Align::Client);
  imgback.SetStretch(true);
  imgback.SetPicture(IDP_ABOUT_BOTTOM);

  struct LinkSetup {
    Image& icon;
    int picture;
    void (TFrmAbout::*click)();
    const wchar_t* name;  // where it leads, for screen readers
  };
  const LinkSetup links[] = {
      {imgyoutube, IDP_ICON_YOUTUBE, &TFrmAbout::imgyoutubeClick, L"Callwright on YouTube"},
      {Image1, IDP_ICON_TWITTER, &TFrmAbout::Image1Click, L"Callwright on Twitter"},
      {Image2, IDP_ICON_FACEBOOK, &TFrmAbout::Image2Click, L"Callwright on Facebook"},
      {Image3, IDP_ICON_GOOGLE, &TFrmAbout::Image3Click, L"Callwright on Google+"},
      {Image4, IDP_ICON_MAIL, &TFrmAbout::Image4Click, L"Contact Callwright"},
  };
  lsite.SetAccessibleName(kSiteCaption);
  lsite.SetAccessibleRole(AccessibleRole::Link);
  for (const LinkSetup& link : links) {
    link.icon.SetAccessibleName(link.name);
    link.icon.SetAccessibleRole(AccessibleRole::Link);
    link.icon.SetPicture(link.picture);
    link.icon.SetHandCursor(true);
    link.icon.OnClick = [this, click = link.click] { (this->*click)(); };
  }

  SpeedButton2.SetGlyph(IDP_ABOUT_OK);
  SpeedButton2.OnClick = [this] { SpeedButton2Click(); };

  FormCreate();
  CreationDone();
}

void TFrmAbout::FormCreate() {
  // The water runs on the header at the window's scale.
  Bmp = ToDib24(MakeBitmap24(LoadPngResourceForDpi(IDP_ABOUT_HEADER, Dpi())));
  BITMAP size{};
  if (!Bmp || !::GetObjectW(Bmp.Get(), sizeof(size), &size)) return;
  img.ClearPicture();
  img.SetBitmap(BlankDib24(size.bmWidth, std::abs(size.bmHeight)));
  Water.SetSize(size.bmWidth, std::abs(size.bmHeight));
  FSourcePixels = Dib24Pixels(Bmp.Get());
}

void TFrmAbout::FormDpiChanged() { FormCreate(); }

void TFrmAbout::TimerTimer() {
  Random& random = ProgramRandom();
  if (random(6) == 1) Water.Blob(-1, -1, 1, 50 + random(500));
  RenderFrame();
}

void TFrmAbout::RenderFrame() {
  // GDI may still be writing to the bitmaps' memory.
  ::GdiFlush();
  if (img.Bitmap() != FFrameBitmap) {
    FFrameBitmap = img.Bitmap();
    FFramePixels = Dib24Pixels(FFrameBitmap);
  }
  // An image smaller than the field (or none) only lets the water advance.
  Water.Render(FSourcePixels, FFramePixels);
  // A hidden picture is painted afresh when it is shown; until then a repaint is wasted work.
  if (img.Visible()) img.Repaint();
}

void TFrmAbout::imgMouseMove(int X, int Y) { Water.Blob(X, Y, 1, 500); }

void TFrmAbout::SpeedButton2Click() { blend.SetEnabled(true); }

void TFrmAbout::FormEnterKey() { SpeedButton2Click(); }

void TFrmAbout::blendTimer() {
  SetAlphaBlend(true);
  const int alpha = std::max(AlphaBlendValue() - kFadeStep, 0);
  SetAlphaBlendValue(static_cast<BYTE>(alpha));
  if (alpha > kFadeEnd) return;
  blend.SetEnabled(false);
  Hide();
  // The next showing is fully opaque.
  SetAlphaBlendValue(255);
  SetAlphaBlend(false);
}

// The water rests while nobody sees it.
void TFrmAbout::FormShow() { Timer.SetEnabled(true); }

void TFrmAbout::FormHide() { Timer.SetEnabled(false); }

void TFrmAbout::FormResize() { lsite.SetLeft(CentredLeft(ClientSize().cx, lsite.Width())); }

void TFrmAbout::imgyoutubeClick() { ShellOpen(kYouTubePage); }
void TFrmAbout::Image1Click() { ShellOpen(kTwitterPage); }
void TFrmAbout::Image2Click() { ShellOpen(kFacebookPage); }
void TFrmAbout::Image3Click() { ShellOpen(kGooglePage); }
void TFrmAbout::Image4Click() { ShellOpen(kContactPage); }
void TFrmAbout::lsiteClick() { ShellOpen(kHomePage); }

}  // namespace callwright
