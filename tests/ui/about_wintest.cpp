// The About window, driven through its real windows and timers: the rippling header, the mouse
// drops, the fade-out and the links.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "assets/resource_ids.h"
#include "base/gdi_scopes.h"
#include "support/gui_win.h"
#include "support/pixels_win.h"
#include "ui/about_form.h"
#include "ui/toolkit/application.h"
#include "ui/toolkit/picture.h"
#include "ui/toolkit/shell.h"

namespace callwright {
namespace {

using test::MakeDib;
using test::Pixels;
using test::PumpFor;
using test::PumpUntil;
using test::ReadBitmap;
using test::ReadWindow;

// Stands in for the main window: the About window centres itself over it.
class StandInMainForm : public Form {
 public:
  StandInMainForm()
      : Form({.class_name = L"TAboutTestMainForm", .caption = L"Main", .client_width = 500, .client_height = 400,
              .main_form = true}) {
    CreationDone();
  }
};

Pixels HeaderPicture() {
  const Picture picture = LoadPngResource(IDP_ABOUT_HEADER);
  Pixels pixels{picture.width, picture.height, {}};
  for (std::size_t i = 0; i < picture.bgra.size(); i += 4) {
    pixels.bgr.insert(pixels.bgr.end(), picture.bgra.begin() + i, picture.bgra.begin() + i + 3);
  }
  return pixels;
}

// The smallest rectangle holding every pixel that differs; empty when none does.
RECT ChangedArea(const Pixels& before, const Pixels& after) {
  RECT area{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
  for (int y = 0; y < before.height; ++y) {
    for (int x = 0; x < before.width; ++x) {
      if (std::equal(before.At(x, y), before.At(x, y) + 3, after.At(x, y))) continue;
      area = {std::min<LONG>(area.left, x), std::min<LONG>(area.top, y), std::max<LONG>(area.right, x + 1),
              std::max<LONG>(area.bottom, y + 1)};
    }
  }
  return area.left == INT_MAX ? RECT{} : area;
}

// Pixels a drop at (x, y) can reach in the next frame: one generation spreads it by a cell, and
// the slopes around that displace the pixels next to it.
RECT DropReach(int x, int y) { return {x - 3, y - 3, x + 4, y + 4}; }

std::vector<std::wstring> g_opened;
std::intptr_t RecordOpen(const std::wstring& target) {
  g_opened.push_back(target);
  return 42;  // opened
}

class AboutWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The mouse rests far from the windows, so no move of its own reaches them.
    ::SetCursorPos(1010, 750);
    main_ = std::make_unique<StandInMainForm>();
    ::SetWindowPos(main_->Handle(), nullptr, 60, 40, 520, 440, SWP_NOZORDER | SWP_NOACTIVATE);
    Application::Instance().SetMainForm(main_.get());
    about_ = std::make_unique<TFrmAbout>();
    FrmAbout = about_.get();
    previous_shell_open_ = ShellOpen;
    ShellOpen = &RecordOpen;
    g_opened.clear();
  }

  void TearDown() override {
    ShellOpen = previous_shell_open_;
    FrmAbout = nullptr;
    Application::Instance().SetMainForm(nullptr);
    about_.reset();
    main_.reset();
    PumpFor(10);
  }

  Pixels Frame() const { return ReadBitmap(about_->img.Bitmap()); }

  // Stops the ripple timer and renders until the water is flat again: a flat surface shows the
  // header picture unchanged.
  void Settle() {
    about_->Timer.SetEnabled(false);
    const Pixels header = HeaderPicture();
    int flat_frames = 0;
    for (int i = 0; i < 5000 && flat_frames < 3; ++i) {
      about_->RenderFrame();
      flat_frames = Frame() == header ? flat_frames + 1 : 0;
    }
    ASSERT_EQ(flat_frames, 3) << "the water never came to rest";
  }

  void MouseMove(int x, int y, WPARAM buttons = 0) {
    ::SendMessageW(about_->img.Handle(), WM_MOUSEMOVE, buttons, MAKELPARAM(x, y));
  }

  std::unique_ptr<StandInMainForm> main_;
  std::unique_ptr<TFrmAbout> about_;
  ShellOpenFunction previous_shell_open_ = nullptr;
};

struct Placement {
  const char* name;
  const Control* control;
  HWND parent;
  RECT bounds;  // left, top, right, bottom
};

TEST_F(AboutWindowTest, WindowControlsAndPlacement) {
  TFrmAbout& about = *about_;
  HWND hwnd = about.Handle();
  wchar_t text[64] = {};
  ::GetWindowTextW(hwnd, text, 64);
  EXPECT_STREQ(text, L"About ");
  const SIZE client = about.ClientSize();
  EXPECT_EQ(client.cx, 329);
  EXPECT_EQ(client.cy, 331);
  const LONG_PTR style = ::GetWindowLongPtrW(hwnd, GWL_STYLE);
  EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX), WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX);
  EXPECT_EQ(style & (WS_MAXIMIZEBOX | WS_THICKFRAME), 0);
  EXPECT_FALSE(about.Visible());

  const Placement placements[] = {
      {"Panel1", &about.Panel1, hwnd, {0, 0, 329, 73}},
      {"img", &about.img, about.Panel1.Handle(), {-4, 0, 328, 71}},
      {"memoabout", &about.memoabout, hwnd, {8, 79, 322, 265}},
      {"pbottom", &about.pbottom, hwnd, {0, 290, 329, 331}},
      {"imgback", &about.imgback, about.pbottom.Handle(), {0, 0, 329, 41}},
      {"imgyoutube", &about.imgyoutube, about.pbottom.Handle(), {8, 9, 32, 33}},
      {"Image1", &about.Image1, about.pbottom.Handle(), {38, 9, 62, 33}},
      {"Image2", &about.Image2, about.pbottom.Handle(), {68, 9, 92, 33}},
      {"Image3", &about.Image3, about.pbottom.Handle(), {98, 9, 122, 33}},
      {"Image4", &about.Image4, about.pbottom.Handle(), {128, 9, 152, 33}},
      {"SpeedButton2", &about.SpeedButton2, about.pbottom.Handle(), {249, 8, 322, 35}},
  };
  for (const Placement& p : placements) {
    EXPECT_EQ(::GetParent(p.control->Handle()), p.parent) << p.name;
    const RECT r = p.control->Bounds();
    EXPECT_EQ(r.left, p.bounds.left) << p.name;
    EXPECT_EQ(r.top, p.bounds.top) << p.name;
    EXPECT_EQ(r.right, p.bounds.right) << p.name;
    EXPECT_EQ(r.bottom, p.bounds.bottom) << p.name;
  }
  EXPECT_EQ(::GetParent(about.lsite.Handle()), hwnd);
  EXPECT_EQ(about.lsite.Top(), 271);
  EXPECT_EQ(about.lsite.Height(), 13);
  EXPECT_EQ(about.SpeedButton2.Text(), L"OK");
  EXPECT_EQ(about.Panel1.BackgroundColour(), RGB(34, 41, 54));

  // The header's frames are drawn into a blank 24-bit bottom-up bitmap of the picture's size.
  const Image24 frame = Dib24Pixels(about.img.Bitmap());
  EXPECT_EQ(frame.width, 332);
  EXPECT_EQ(frame.height, 71);
  EXPECT_LT(frame.step, 0);
  EXPECT_EQ(about.img.PictureSize().cx, 332);
  EXPECT_EQ(about.img.PictureSize().cy, 71);

  // The description: read only, flat, scrollable, on the button face, two paragraphs.
  const HWND memo = about.memoabout.Handle();
  EXPECT_TRUE(about.memoabout.ReadOnly());
  EXPECT_NE(::GetWindowLongPtrW(memo, GWL_STYLE) & WS_VSCROLL, 0);
  EXPECT_EQ(::GetWindowLongPtrW(memo, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
  {
    const ClientDc dc(memo);
    const LRESULT brush =
        ::SendMessageW(hwnd, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc.Get()), reinterpret_cast<LPARAM>(memo));
    EXPECT_NE(brush, 0);
    EXPECT_EQ(::GetBkColor(dc.Get()), ::GetSysColor(COLOR_BTNFACE));
  }
  const std::vector<std::wstring> lines = about.memoabout.Lines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_NE(lines[0].find(L".wav"), std::wstring::npos);
  EXPECT_TRUE(lines[1].empty());
  EXPECT_NE(lines[2].find(L"evidence"), std::wstring::npos);

  // Link controls show the hand; the header does not.
  const HCURSOR hand = ::LoadCursorW(nullptr, IDC_HAND);
  for (const Control* link : std::initializer_list<const Control*>{&about.imgyoutube, &about.Image1, &about.Image2,
                                                                   &about.Image3, &about.Image4, &about.lsite}) {
    ::SetCursor(nullptr);
    EXPECT_TRUE(::SendMessageW(link->Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(link->Handle()),
                               MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
    EXPECT_EQ(::GetCursor(), hand);
  }
  ::SetCursor(nullptr);
  ::SendMessageW(about.img.Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(about.img.Handle()),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_NE(::GetCursor(), hand);

  // Created hidden, the water rests; the fade waits for OK.
  EXPECT_FALSE(about.Timer.Enabled());
  EXPECT_EQ(about.Timer.Interval(), 70u);
  EXPECT_FALSE(about.blend.Enabled());
  EXPECT_EQ(about.blend.Interval(), 10u);

  // Shown, it ripples, is centred on the main window, and the site label is drawn in blue.
  about.Show();
  PumpFor(50);
  EXPECT_TRUE(about.Timer.Enabled());
  RECT main_rect{}, about_rect{};
  ::GetWindowRect(main_->Handle(), &main_rect);
  ::GetWindowRect(hwnd, &about_rect);
  EXPECT_NEAR((about_rect.left + about_rect.right) / 2, (main_rect.left + main_rect.right) / 2, 1);
  EXPECT_NEAR((about_rect.top + about_rect.bottom) / 2, (main_rect.top + main_rect.bottom) / 2, 1);
  // The memo's flat border: one dark line round the button face, no sunken edge.
  const Pixels shown_memo = ReadWindow(memo);
  const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
  ASSERT_GT(shown_memo.height, 100);
  const auto is_dark = [&](const std::uint8_t* px) {
    return px[0] + 40 < GetBValue(face) && px[1] + 40 < GetGValue(face) && px[2] + 40 < GetRValue(face);
  };
  const std::uint8_t* inside = shown_memo.At(1, shown_memo.height - 2);
  EXPECT_TRUE(is_dark(shown_memo.At(0, shown_memo.height / 2)));
  EXPECT_TRUE(is_dark(shown_memo.At(shown_memo.width / 2, 0)));
  EXPECT_EQ(RGB(inside[2], inside[1], inside[0]), face);
  const Pixels label = ReadWindow(about.lsite.Handle());
  int blue = 0;
  for (std::size_t i = 0; i + 2 < label.bgr.size(); i += 3) {
    if (label.bgr[i] > 150 && label.bgr[i + 1] < 80 && label.bgr[i + 2] < 80) ++blue;
  }
  EXPECT_GT(blue, 20);
}

TEST_F(AboutWindowTest, SiteLabelIsCentred) {
  struct Case {
    int client_width, label_width, left;
  };
  const Case cases[] = {
      {329, 229, 50},  // 164 - 114
      {329, 230, 49},  // 164 - 115
      {328, 229, 50},  // 164 - 114
      {329, 0, 164},
      {329, 401, -36},  // wider than the window
      {-5, 3, -3},      // halves truncate toward zero: -2 - 1
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CentredLeft(c.client_width, c.label_width), c.left) << c.client_width << " " << c.label_width;
  }

  // The real label, as the window lays it out and after the client area changes.
  TFrmAbout& about = *about_;
  ASSERT_GT(about.lsite.Width(), 100);
  EXPECT_EQ(about.lsite.Left(), 164 - about.lsite.Width() / 2);
  about.lsite.SetCaption(L"A much longer caption for the link label");
  RECT window{};
  ::GetWindowRect(about.Handle(), &window);
  ::SetWindowPos(about.Handle(), nullptr, 0, 0, window.right - window.left + 20, window.bottom - window.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_EQ(about.lsite.Left(), about.ClientSize().cx / 2 - about.lsite.Width() / 2);
  EXPECT_EQ(about.ClientSize().cx, 349);
}

TEST_F(AboutWindowTest, FlatWaterShowsTheHeaderUnchangedAndStillMouseAddsNoDrops) {
  ASSERT_NO_FATAL_FAILURE(Settle());
  const Pixels header = HeaderPicture();
  about_->Show();
  // Showing starts the ripple timer, whose random drops would make the result a matter of luck.
  about_->Timer.SetEnabled(false);
  PumpFor(300);  // the timer is stopped: only a mouse move could disturb the water now
  about_->RenderFrame();
  EXPECT_EQ(Frame(), header);
}

TEST_F(AboutWindowTest, EveryMouseMoveDropsWhereTheMouseIs) {
  struct Case {
    const char* name;
    std::vector<POINT> moves;
    WPARAM buttons;
  };
  const Case cases[] = {
      {"one move", {{100, 30}}, 0},
      {"left button held", {{250, 50}}, MK_LBUTTON},
      {"right button held", {{20, 10}}, MK_RBUTTON},
      {"a trail", {{40, 20}, {160, 35}, {300, 60}}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_NO_FATAL_FAILURE(Settle());
    const Pixels header = HeaderPicture();
    for (const POINT& at : c.moves) MouseMove(at.x, at.y, c.buttons);
    about_->RenderFrame();
    const Pixels frame = Frame();
    // Each drop changes the picture around its point and nowhere else.
    for (const POINT& at : c.moves) {
      const RECT reach = DropReach(at.x, at.y);
      int changed = 0;
      for (int y = reach.top; y < reach.bottom; ++y) {
        for (int x = reach.left; x < reach.right; ++x) {
          changed += std::equal(header.At(x, y), header.At(x, y) + 3, frame.At(x, y)) ? 0 : 1;
        }
      }
      EXPECT_GT(changed, 0) << at.x << "," << at.y;
    }
    for (int y = 0; y < frame.height; ++y) {
      for (int x = 0; x < frame.width; ++x) {
        if (std::equal(header.At(x, y), header.At(x, y) + 3, frame.At(x, y))) continue;
        const bool near_a_drop = std::any_of(c.moves.begin(), c.moves.end(), [&](const POINT& at) {
          const RECT reach = DropReach(at.x, at.y);
          const POINT p{x, y};
          return ::PtInRect(&reach, p) != FALSE;
        });
        ASSERT_TRUE(near_a_drop) << "changed pixel " << x << "," << y;
      }
    }
  }
}

TEST_F(AboutWindowTest, TimerShowsAMouseDropInTheNextFrameAtOnce) {
  ASSERT_NO_FATAL_FAILURE(Settle());
  about_->Show();
  PumpFor(50);
  const Pixels header = HeaderPicture();
  MouseMove(150, 40);
  about_->Timer.SetEnabled(true);
  ASSERT_TRUE(PumpUntil([&] { return !(Frame() == header); }, 2000));
  const RECT changed = ChangedArea(header, Frame());
  const RECT reach = DropReach(150, 40);
  RECT overlap{};
  EXPECT_TRUE(::IntersectRect(&overlap, &changed, &reach));

  // A frame is on screen as soon as it is drawn: nothing is left waiting for a later paint.
  about_->Timer.SetEnabled(false);
  MouseMove(60, 30);
  about_->RenderFrame();
  RECT pending{};
  EXPECT_FALSE(::GetUpdateRect(about_->img.Handle(), &pending, FALSE));
  const Pixels frame = Frame();
  const Pixels screen = ReadWindow(about_->img.Handle());
  ASSERT_EQ(screen.width, frame.width);
  // Columns left of 4 lie outside the panel.
  for (int y = 0; y < frame.height; ++y) {
    for (int x = 4; x < frame.width; ++x) {
      ASSERT_TRUE(std::equal(frame.At(x, y), frame.At(x, y) + 3, screen.At(x, y))) << x << "," << y;
    }
  }
}

TEST_F(AboutWindowTest, TheWaterMovesOnlyWhileTheWindowIsShown) {
  ASSERT_NO_FATAL_FAILURE(Settle());
  const Pixels header = HeaderPicture();
  about_->Show();
  EXPECT_TRUE(about_->Timer.Enabled());
  // The timer's random drops move the water; one falls every sixth tick on average.
  EXPECT_TRUE(PumpUntil([&] { return !(Frame() == header); }, 15000));

  // Hidden by its close box: no more frames.
  about_->Close();
  ASSERT_FALSE(about_->Visible());
  EXPECT_FALSE(about_->Timer.Enabled());
  const Pixels resting = Frame();
  PumpFor(700);
  EXPECT_TRUE(Frame() == resting) << "ten ticks' time without a frame";

  // Shown again it ripples again; the fade after OK stops it with the hide.
  about_->Show();
  EXPECT_TRUE(about_->Timer.Enabled());
  EXPECT_TRUE(PumpUntil([&] { return !(Frame() == resting); }, 15000));
  about_->SpeedButton2.Click();
  ASSERT_TRUE(PumpUntil([&] { return !about_->Visible(); }, 5000));
  EXPECT_FALSE(about_->Timer.Enabled());
}

// The window's opacity as the system holds it; 255 when it is not layered.
struct Opacity {
  bool layered;
  int alpha;
};
Opacity WindowOpacity(HWND hwnd) {
  if (!(::GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_LAYERED)) return {false, 255};
  BYTE alpha = 0;
  DWORD flags = 0;
  if (!::GetLayeredWindowAttributes(hwnd, nullptr, &alpha, &flags) || !(flags & LWA_ALPHA)) return {true, -1};
  return {true, alpha};
}

TEST_F(AboutWindowTest, OkFadesTheWindowOutInFortyOneSteps) {
  enum class Action { None, SecondOk, CloseBox };
  struct Case {
    const char* name;
    Action action;
    std::size_t after_steps;
  };
  const Case cases[] = {
      {"plain fade", Action::None, 0},
      {"a second OK during the fade", Action::SecondOk, 10},
      {"the close box during the fade", Action::CloseBox, 5},
  };
  std::vector<int> expected;
  for (int alpha = 250; alpha > 50; alpha -= 5) expected.push_back(alpha);
  ASSERT_EQ(expected.size(), 40u);  // the 41st step hides the window

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TFrmAbout& about = *about_;
    about.Show();
    PumpFor(20);
    ASSERT_EQ(WindowOpacity(about.Handle()).layered, false);
    about.SpeedButton2.Click();
    EXPECT_TRUE(about.blend.Enabled());
    EXPECT_TRUE(about.Visible());

    // Messages one at a time, so that every step's opacity is seen.
    std::vector<int> seen;
    const ULONGLONG end = ::GetTickCount64() + 10000;
    while (about.blend.Enabled() && ::GetTickCount64() < end) {
      MSG msg;
      if (!::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        continue;
      }
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
      if (!about.blend.Enabled()) break;
      const Opacity now = WindowOpacity(about.Handle());
      if (seen.empty() ? now.alpha == 255 : now.alpha == seen.back()) continue;
      EXPECT_TRUE(now.layered);
      EXPECT_EQ(about.AlphaBlendValue(), now.alpha);
      seen.push_back(now.alpha);
      if (seen.size() == c.after_steps) {
        if (c.action == Action::SecondOk) {
          about.SpeedButton2.Click();
          EXPECT_TRUE(about.Visible());
          EXPECT_EQ(WindowOpacity(about.Handle()).alpha, seen.back());
        } else if (c.action == Action::CloseBox) {
          ::SendMessageW(about.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
          EXPECT_FALSE(about.Visible());  // at once, without waiting for the fade
        }
      }
      // The ripples go on during the fade, as long as the window is shown.
      EXPECT_EQ(about.Timer.Enabled(), about.Visible());
    }
    EXPECT_FALSE(about.blend.Enabled());
    EXPECT_EQ(seen, expected);
    EXPECT_FALSE(about.Visible());
    const Opacity after = WindowOpacity(about.Handle());
    EXPECT_FALSE(after.layered);
    EXPECT_EQ(about.AlphaBlendValue(), 255);

    // Shown again, it is fully opaque and stays so.
    about.Show();
    PumpFor(60);
    EXPECT_TRUE(about.Visible());
    EXPECT_FALSE(WindowOpacity(about.Handle()).layered);
    EXPECT_EQ(about.AlphaBlendValue(), 255);
    about.Hide();
  }
}

TEST_F(AboutWindowTest, CloseBoxHidesAtOnceAndTheAnimationRests) {
  about_->Show();
  PumpFor(20);
  ::SendMessageW(about_->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_FALSE(about_->Visible());
  EXPECT_FALSE(WindowOpacity(about_->Handle()).layered);
  EXPECT_FALSE(about_->blend.Enabled());
  EXPECT_FALSE(about_->Timer.Enabled());
}

TEST_F(AboutWindowTest, EachLinkOpensItsOwnPageOncePerClick) {
  TFrmAbout& about = *about_;
  about.Show();
  PumpFor(20);
  const std::wstring caption = about.lsite.Text();
  const std::size_t dash = caption.find(L" - ");
  ASSERT_NE(dash, std::wstring::npos);
  ASSERT_GT(dash, 0u);
  const std::wstring site = caption.substr(0, dash);

  struct Link {
    const char* name;
    const Control* control;
    std::wstring part_of_page;
  };
  const Link links[] = {
      {"imgyoutube", &about.imgyoutube, L"youtube.com/"},
      {"Image1", &about.Image1, L"twitter.com/"},
      {"Image2", &about.Image2, L"facebook.com/"},
      {"Image3", &about.Image3, L"plus.google.com/"},
      {"Image4", &about.Image4, site + L"/contact"},
      {"lsite", &about.lsite, site},
  };
  std::set<std::wstring> pages;
  for (const Link& link : links) {
    for (int click = 1; click <= 2; ++click) {
      g_opened.clear();
      ::SendMessageW(link.control->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
      ::SendMessageW(link.control->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
      PumpFor(10);
      ASSERT_EQ(g_opened.size(), 1u) << link.name << " click " << click;
      EXPECT_NE(g_opened[0].find(link.part_of_page), std::wstring::npos) << link.name;
      EXPECT_EQ(g_opened[0].rfind(L"https://", 0), 0u) << link.name;
      pages.insert(g_opened[0]);
    }
  }
  EXPECT_EQ(pages.size(), std::size(links));

  // Moving over a link or pressing beside it opens nothing.
  g_opened.clear();
  ::SendMessageW(about.Image2.Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  ::SendMessageW(about.Image2.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  ::SendMessageW(about.Image2.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(40, 5));
  PumpFor(10);
  EXPECT_TRUE(g_opened.empty());
}

TEST(AboutBitmaps, RowsOfTwentyFourBitBitmapsAsTheWaterEffectReadsThem) {
  struct Case {
    const char* name;
    int width, height;  // height < 0: top-down rows
    std::ptrdiff_t step;
    int first_row;  // the row of memory where image row 0 starts
  };
  const Case cases[] = {
      {"bottom-up, rows padded to 4 bytes", 3, 5, -12, 4},
      {"bottom-up, no padding", 4, 2, -12, 1},
      {"top-down", 5, -3, 16, 0},
      {"the header's size", 332, 71, -996, 70},
  };
  for (const Case& c : cases) {
    void* bits = nullptr;
    const BitmapHandle bitmap = MakeDib(c.width, c.height, 24, &bits);
    ASSERT_TRUE(bitmap) << c.name;
    const std::size_t size = static_cast<std::size_t>(std::abs(c.step)) * std::abs(c.height);
    auto* bytes = static_cast<std::uint8_t*>(bits);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7);
    const std::vector<std::uint8_t> before(bytes, bytes + size);
    const Image24 image = Dib24Pixels(bitmap.Get());
    ::GdiFlush();
    EXPECT_TRUE(std::equal(before.begin(), before.end(), bytes)) << c.name << ": pixels changed";
    EXPECT_EQ(image.width, c.width) << c.name;
    EXPECT_EQ(image.height, std::abs(c.height)) << c.name;
    EXPECT_EQ(image.step, c.step) << c.name;
    EXPECT_EQ(image.row0, static_cast<std::uint8_t*>(bits) + c.first_row * std::abs(c.step)) << c.name;
  }

  // Other bitmaps have no 24-bit rows to hand out; ToDib24 copies them into a 24-bit one.
  void* bits = nullptr;
  BitmapHandle dib32 = MakeDib(4, 3, 32, &bits);
  auto* pixels32 = static_cast<std::uint32_t*>(bits);
  for (int i = 0; i < 12; ++i) pixels32[i] = 0x00102030u + static_cast<std::uint32_t>(i);  // rows bottom-up
  EXPECT_EQ(Dib24Pixels(dib32.Get()).row0, nullptr);
  const BitmapHandle device_bitmap(::CreateCompatibleBitmap(ClientDc(nullptr).Get(), 4, 3));
  EXPECT_EQ(Dib24Pixels(device_bitmap.Get()).row0, nullptr);
  EXPECT_EQ(Dib24Pixels(nullptr).row0, nullptr);

  const BitmapHandle copy = ToDib24(std::move(dib32));
  const Image24 image = Dib24Pixels(copy.Get());
  ASSERT_NE(image.row0, nullptr);
  ASSERT_EQ(image.width, 4);
  ASSERT_EQ(image.height, 3);
  ::GdiFlush();
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 4; ++x) {
      const std::uint8_t* px = image.row0 + y * image.step + x * 3;
      const std::uint32_t expected = 0x00102030u + static_cast<std::uint32_t>((2 - y) * 4 + x);
      EXPECT_EQ(px[0], expected & 0xFF) << x << "," << y;
      EXPECT_EQ(px[1], (expected >> 8) & 0xFF) << x << "," << y;
      EXPECT_EQ(px[2], (expected >> 16) & 0xFF) << x << "," << y;
    }
  }
  // A 24-bit one is kept as it is.
  BitmapHandle dib24 = MakeDib(2, 2, 24, &bits);
  const HBITMAP original = dib24.Get();
  EXPECT_EQ(ToDib24(std::move(dib24)).Get(), original);
}

}  // namespace
}  // namespace callwright
