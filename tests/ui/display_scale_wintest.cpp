// The windows at 100, 125, 150 and 200 % display scale: each one's client size and each control's
// rectangle are the designed (96-dpi) geometry scaled, fonts are made for the scale, every caption
// fits its control, and a DPI change lays a window out exactly as a fresh one at that DPI.
//
// Wine reads the scale (LogPixels) when a process starts, so each scale runs in a second process
// of this test program, started after the value is set.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/gui_win.h"
#include "support/process_win.h"
#include "support/program_windows_fixture_win.h"
#include "support/temp_dir_win.h"
#include "ui/program_windows.h"
#include "ui/toolkit/check_box.h"
#include "ui/toolkit/combo_box.h"
#include "ui/toolkit/dpi.h"
#include "ui/toolkit/group_box.h"
#include "ui/toolkit/label.h"
#include "ui/toolkit/speed_button.h"

namespace callwright {
namespace {

constexpr wchar_t kDpiVariable[] = L"CALLWRIGHT_TEST_DPI";
// Where the run at a scale writes the scale it ran at, so that a run that matched no test is seen.
constexpr wchar_t kReportVariable[] = L"CALLWRIGHT_TEST_DPI_REPORT";
constexpr int kScales[] = {96, 120, 144, 192};

// Tahoma 8 point at each scale.
int ExpectedFontHeight(int dpi) {
  static const std::map<int, int> heights = {{96, -11}, {120, -14}, {144, -16}, {192, -22}};
  return heights.at(dpi);
}

std::string Describe(const RECT& r) {
  std::ostringstream text;
  text << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}";
  return text.str();
}

// A designed rectangle (left, top, right, bottom at 96 dpi) at `dpi`.
RECT Scaled(const RECT& design, int dpi) {
  return {::MulDiv(design.left, dpi, 96), ::MulDiv(design.top, dpi, 96), ::MulDiv(design.right, dpi, 96),
          ::MulDiv(design.bottom, dpi, 96)};
}

bool Near(const RECT& a, const RECT& b) {
  return std::abs(a.left - b.left) <= 1 && std::abs(a.top - b.top) <= 1 && std::abs(a.right - b.right) <= 1 &&
         std::abs(a.bottom - b.bottom) <= 1;
}

struct Placed {
  const char* name;
  const Control* control;
  RECT design;  // in the parent's client area at 96 dpi
};

struct WindowGeometry {
  const char* name;
  Form* form;
  SIZE client;  // at 96 dpi
  std::vector<Placed> controls;
};

// The windows as designed.
std::vector<WindowGeometry> DesignedWindows(TFrmMain& main, TFrmSettings& settings, TFrmInfo& info,
                                            TFrmAbout& about) {
  return {
      {"main",
       &main,
       {494, 293},
       {
           {"Image1", &main.Image1, {0, 0, 494, 252}},
           {"p", &main.p, {0, 252, 494, 293}},
           {"imgbottom", &main.imgbottom, {0, 0, 494, 41}},
           {"lst", &main.lst, {4, 40, 490, 248}},
           {"btnrefresh", &main.btnrefresh, {38, 9, 119, 34}},
           {"btnfol", &main.btnfol, {123, 9, 204, 34}},
           {"btndelete", &main.btndelete, {208, 9, 289, 34}},
           {"btnopen", &main.btnopen, {293, 9, 374, 34}},
           {"edtsearch", &main.edtsearch, {378, 10, 490, 33}},
           {"btnclose", &main.btnclose, {239, 9, 320, 34}},
           {"btnabout", &main.btnabout, {324, 9, 405, 34}},
           {"btnsettings", &main.btnsettings, {409, 9, 490, 34}},
       }},
      {"settings",
       &settings,
       {342, 278},
       {
           {"imgtop", &settings.imgtop, {0, 0, 342, 90}},
           {"GroupBox1", &settings.GroupBox1, {8, 96, 334, 161}},
           {"edtpath", &settings.edtpath, {16, 28, 276, 49}},
           {"btnopen", &settings.btnopen, {282, 27, 313, 49}},
           {"p", &settings.p, {0, 237, 342, 278}},
           {"imgbottom", &settings.imgbottom, {0, 0, 342, 41}},
           {"startup", &settings.startup, {8, 167, 273, 184}},
           {"btnok", &settings.btnok, {131, 9, 212, 34}},
           {"cmbformat", &settings.cmbformat, {8, 208, 334, 229}},
       }},
      {"info",
       &info,
       {258, 133},
       {
           {"p", &info.p, {0, 92, 258, 133}},
           {"imgbottom", &info.imgbottom, {0, 0, 258, 41}},
           {"c", &info.c, {10, 13, 235, 30}},
           {"Memo", &info.Memo, {4, 4, 254, 89}},
       }},
      {"about",
       &about,
       {329, 331},
       {
           {"Panel1", &about.Panel1, {0, 0, 329, 73}},
           {"img", &about.img, {-4, 0, 328, 71}},
           {"memoabout", &about.memoabout, {8, 79, 322, 265}},
           {"pbottom", &about.pbottom, {0, 290, 329, 331}},
           {"imgback", &about.imgback, {0, 0, 329, 41}},
           {"imgyoutube", &about.imgyoutube, {8, 9, 32, 33}},
           {"Image1", &about.Image1, {38, 9, 62, 33}},
           {"Image2", &about.Image2, {68, 9, 92, 33}},
           {"Image3", &about.Image3, {98, 9, 122, 33}},
           {"Image4", &about.Image4, {128, 9, 152, 33}},
           {"SpeedButton2", &about.SpeedButton2, {249, 8, 322, 35}},
       }},
  };
}

// The font a window draws with: the one it was given for a system class, the control's own for ours
// (our classes draw with the font of their DPI and keep none).
HFONT FontOf(HWND hwnd) {
  const auto font = reinterpret_cast<HFONT>(::SendMessageW(hwnd, WM_GETFONT, 0, 0));
  if (font) return font;
  const auto* control = dynamic_cast<const Control*>(Window::FromHandle(hwnd));
  return control ? control->Font() : nullptr;
}

int FontHeightOf(HWND hwnd) {
  const HFONT font = FontOf(hwnd);
  LOGFONTW lf{};
  if (!font || !::GetObjectW(font, sizeof(lf), &lf)) return 0;
  return lf.lfHeight;
}

SIZE TextExtent(HWND hwnd, const std::wstring& text) {
  SIZE size{0, 0};
  HDC dc = ::GetDC(hwnd);
  const HGDIOBJ old = ::SelectObject(dc, FontOf(hwnd));
  ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  ::SelectObject(dc, old);
  ::ReleaseDC(hwnd, dc);
  return size;
}

// Client size, every listed control's rectangle and every control's font at `dpi`.
void ExpectDesignAt(const WindowGeometry& window, int dpi) {
  SCOPED_TRACE(std::string(window.name) + " at " + std::to_string(dpi) + " dpi");
  EXPECT_EQ(window.form->Dpi(), dpi);
  const SIZE client = window.form->PixelClientSize();
  EXPECT_NEAR(client.cx, ::MulDiv(window.client.cx, dpi, 96), 1);
  EXPECT_NEAR(client.cy, ::MulDiv(window.client.cy, dpi, 96), 1);
  for (const Placed& placed : window.controls) {
    const RECT actual = placed.control->PixelBounds();
    const RECT expected = Scaled(placed.design, dpi);
    EXPECT_TRUE(Near(actual, expected)) << placed.name << ": " << Describe(actual) << ", designed "
                                        << Describe(expected);
  }
  LOGFONTW form_font{};
  ASSERT_TRUE(::GetObjectW(DefaultFont(window.form->Dpi()), sizeof(form_font), &form_font));
  EXPECT_EQ(form_font.lfHeight, ExpectedFontHeight(dpi));
  for (HWND child : test::ChildWindows(window.form->Handle())) {
    EXPECT_EQ(FontHeightOf(child), ExpectedFontHeight(dpi)) << test::ClassName(child) << " " << test::WindowText(child);
  }
}

// No caption is cut: what each control draws beside its text fits with the text.
void ExpectCaptionsFit(const WindowGeometry& window, int dpi) {
  SCOPED_TRACE(std::string(window.name) + " at " + std::to_string(dpi) + " dpi");
  for (HWND child : test::ChildWindows(window.form->Handle())) {
    Window* object = Window::FromHandle(child);
    const auto* control = dynamic_cast<Control*>(object);
    if (!control) continue;
    const std::wstring text = control->Text();
    if (text.empty()) continue;
    const int width = control->PixelWidth();
    const int extent = TextExtent(child, text).cx;
    const std::string name(text.begin(), text.end());
    if (const auto* button = dynamic_cast<const SpeedButton*>(control)) {
      EXPECT_LE(button->GlyphPixelSize().cx + ScaleToDpi(4, dpi) + extent, width) << name;
    } else if (dynamic_cast<const CheckBox*>(control)) {
      EXPECT_LE(SystemMetricForDpi(SM_CXMENUCHECK, dpi) + ScaleToDpi(4, dpi) + extent, width) << name;
    } else if (dynamic_cast<const GroupBox*>(control)) {
      EXPECT_LE(ScaleToDpi(16, dpi) + extent, width) << name;
    } else if (dynamic_cast<const Label*>(control)) {
      EXPECT_EQ(extent, width) << name;
      EXPECT_LE(TextExtent(child, text).cy, control->PixelHeight()) << name;
    }
  }
  // Every row of a drop-down fits beside its arrow button, and its label lies clear of it.
  for (HWND child : test::ChildWindows(window.form->Handle())) {
    const auto* combo = dynamic_cast<const ComboBox*>(Window::FromHandle(child));
    if (!combo) continue;
    COMBOBOXINFO info{};
    info.cbSize = sizeof(info);
    ASSERT_TRUE(::GetComboBoxInfo(child, &info));
    const int room = info.rcItem.right - info.rcItem.left;
    for (int row = 0; row < combo->Count(); ++row) {
      const std::wstring item = combo->Item(row);
      EXPECT_LE(TextExtent(child, item).cx + ScaleToDpi(4, dpi), room) << std::string(item.begin(), item.end());
    }
    HWND before = ::GetWindow(child, GW_HWNDPREV);
    if (const auto* label = dynamic_cast<const Label*>(Window::FromHandle(before))) {
      RECT overlap{};
      const RECT field = combo->PixelBounds(), text = label->PixelBounds();
      EXPECT_FALSE(::IntersectRect(&overlap, &field, &text)) << "label clear of its list";
    }
  }
}

struct ChildRects {
  SIZE client;
  std::vector<RECT> rects;
};

ChildRects Layout(const Form& form) {
  ChildRects layout{form.PixelClientSize(), {}};
  for (HWND child : test::ChildWindows(form.Handle())) {
    RECT r{};
    ::GetWindowRect(child, &r);
    ::MapWindowPoints(HWND_DESKTOP, ::GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    layout.rects.push_back(r);
  }
  return layout;
}

// Sends what Windows sends when the window moves to a monitor of another scale: the new DPI and a
// suggested window rectangle (here: one whose client area is the designed one at that scale).
void ChangeDpi(Form& form, int dpi, SIZE design_client) {
  RECT window{};
  ::GetWindowRect(form.Handle(), &window);
  const SIZE client = form.PixelClientSize();
  const int frame_x = (window.right - window.left) - client.cx;
  const int frame_y = (window.bottom - window.top) - client.cy;
  RECT suggested{window.left, window.top, window.left + ::MulDiv(design_client.cx, dpi, 96) + frame_x,
                 window.top + ::MulDiv(design_client.cy, dpi, 96) + frame_y};
  ::SendMessageW(form.Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
}

LRESULT CALLBACK NoMinimumSize(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR, DWORD_PTR) {
  const LRESULT result = ::DefSubclassProc(hwnd, msg, wparam, lparam);
  if (msg == WM_GETMINMAXINFO) reinterpret_cast<MINMAXINFO*>(lparam)->ptMinTrackSize = {0, 0};
  return result;
}

class ScaledWindowsTest : public test::ProgramWindowsTest {
 protected:
  void SetUp() override {
    ProgramWindowsTest::SetUp();
    // The main window's minimum outer size is its designed client area plus the frames of the
    // platform it was designed on, scaled; Wine's frames do not grow with the scale, so the
    // minimum would keep the client area wider than designed.
    ::SetWindowSubclass(main_->Handle(), &NoMinimumSize, 0, 0);
    RECT outer{0, 0, ::MulDiv(494, main_->Dpi(), 96), ::MulDiv(293, main_->Dpi(), 96)};
    ::AdjustWindowRectEx(&outer, WS_OVERLAPPEDWINDOW, FALSE, WS_EX_APPWINDOW);
    ::SetWindowPos(main_->Handle(), nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                   SWP_NOMOVE | SWP_NOZORDER);
  }
  void TearDown() override {
    if (main_) ::RemoveWindowSubclass(main_->Handle(), &NoMinimumSize, 0);
    ProgramWindowsTest::TearDown();
  }
};

// Run by DisplayScale.EveryWindowAtEveryScale in a process started at the scale it names.
TEST_F(ScaledWindowsTest, DISABLED_AtTheScaleOfTheProcess) {
  const wchar_t* wanted = _wgetenv(kDpiVariable);
  ASSERT_NE(wanted, nullptr) << "started without the scale";
  const int dpi = _wtoi(wanted);
  ASSERT_EQ(SystemDpi(), dpi) << "the display scale did not take";
  const std::vector<WindowGeometry> windows = DesignedWindows(*main_, *settings_, *info_, *about_);
  for (const WindowGeometry& window : windows) {
    ExpectDesignAt(window, dpi);
    ExpectCaptionsFit(window, dpi);
    // At 150 % every window fits a 1366 x 768 screen (its task bar taking 40).
    RECT outer{0, 0, ::MulDiv(window.client.cx, 144, 96), ::MulDiv(window.client.cy, 144, 96)};
    AdjustWindowRectForDpi(outer, static_cast<DWORD>(::GetWindowLongPtrW(window.form->Handle(), GWL_STYLE)),
                           static_cast<DWORD>(::GetWindowLongPtrW(window.form->Handle(), GWL_EXSTYLE)), 144);
    EXPECT_LE(outer.right - outer.left, 1366) << window.name;
    EXPECT_LE(outer.bottom - outer.top, 728) << window.name;
  }
  // The list's columns keep their designed proportions.
  const int designed[] = {150, 100, 70, 60, 160};
  for (int column = 0; column < static_cast<int>(std::size(designed)); ++column) {
    EXPECT_NEAR(main_->lst.ColumnWidth(column), ::MulDiv(designed[column], dpi, 96), 1) << column;
  }

  // A DPI change lays each window out as the designed geometry at the new DPI, and going back
  // gives exactly what the window had when it was made.
  for (const WindowGeometry& window : windows) {
    const ChildRects fresh = Layout(*window.form);
    RECT fresh_window{};
    ::GetWindowRect(window.form->Handle(), &fresh_window);
    for (int other : kScales) {
      if (other == dpi) continue;
      ChangeDpi(*window.form, other, window.client);
      ExpectDesignAt(window, other);
      ExpectCaptionsFit(window, other);
      if (window.form == main_) {
        for (int column = 0; column < static_cast<int>(std::size(designed)); ++column) {
          EXPECT_NEAR(main_->lst.ColumnWidth(column), ::MulDiv(designed[column], other, 96), 1) << other;
        }
      }
      ::SendMessageW(window.form->Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&fresh_window));
      const ChildRects back = Layout(*window.form);
      EXPECT_EQ(back.client.cx, fresh.client.cx) << window.name << " back from " << other;
      EXPECT_EQ(back.client.cy, fresh.client.cy) << window.name << " back from " << other;
      ASSERT_EQ(back.rects.size(), fresh.rects.size());
      for (std::size_t i = 0; i < back.rects.size(); ++i) {
        EXPECT_TRUE(::EqualRect(&back.rects[i], &fresh.rects[i]))
            << window.name << " back from " << other << ", control " << i << ": " << Describe(back.rects[i])
            << ", fresh " << Describe(fresh.rects[i]);
      }
      ExpectDesignAt(window, dpi);
    }
  }
  if (const wchar_t* report = _wgetenv(kReportVariable)) {
    std::ofstream(std::filesystem::path(report)) << dpi;
  }
}

// Sets the display scale that processes started from now on get; the old one comes back at the end.
class DisplayScaleSetting {
 public:
  explicit DisplayScaleSetting(int dpi) {
    ::RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                      nullptr, &key_, nullptr);
    DWORD size = sizeof(old_);
    had_ = key_ && ::RegQueryValueExW(key_, L"LogPixels", nullptr, nullptr, reinterpret_cast<BYTE*>(&old_), &size) ==
                       ERROR_SUCCESS;
    const DWORD value = static_cast<DWORD>(dpi);
    set_ = key_ && ::RegSetValueExW(key_, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                                    sizeof(value)) == ERROR_SUCCESS;
  }
  ~DisplayScaleSetting() {
    if (!key_) return;
    if (had_) {
      ::RegSetValueExW(key_, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&old_), sizeof(old_));
    } else {
      ::RegDeleteValueW(key_, L"LogPixels");
    }
    ::RegCloseKey(key_);
  }
  DisplayScaleSetting(const DisplayScaleSetting&) = delete;
  DisplayScaleSetting& operator=(const DisplayScaleSetting&) = delete;
  bool Set() const noexcept { return set_; }

 private:
  HKEY key_ = nullptr;
  DWORD old_ = 0;
  bool had_ = false;
  bool set_ = false;
};

TEST(DisplayScale, EveryWindowAtEveryScale) {
  wchar_t self[MAX_PATH] = {};
  ASSERT_GT(::GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
  const test::TempDir folder;
  const std::filesystem::path report = std::filesystem::path(folder.Path()) / L"scale.txt";
  ASSERT_TRUE(::SetEnvironmentVariableW(kReportVariable, report.wstring().c_str()));
  for (int dpi : kScales) {
    SCOPED_TRACE(std::to_string(dpi) + " dpi");
    std::filesystem::remove(report);
    const DisplayScaleSetting setting(dpi);
    ASSERT_TRUE(setting.Set());
    ASSERT_TRUE(::SetEnvironmentVariableW(kDpiVariable, std::to_wstring(dpi).c_str()));
    test::ChildProcess child(self, {L"--gtest_also_run_disabled_tests",
                                    L"--gtest_filter=ScaledWindowsTest.DISABLED_AtTheScaleOfTheProcess"});
    ASSERT_TRUE(child.Wait(180000));
    EXPECT_EQ(child.ExitCode().value_or(1), 0u) << "the run at this scale failed (its output is above)";
    int ran_at = 0;
    std::ifstream(report) >> ran_at;
    EXPECT_EQ(ran_at, dpi) << "the run at this scale did not get to its end";
  }
  ::SetEnvironmentVariableW(kDpiVariable, nullptr);
  ::SetEnvironmentVariableW(kReportVariable, nullptr);
}

}  // namespace
}  // namespace callwright
