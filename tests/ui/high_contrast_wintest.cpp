// High contrast: with a high-contrast theme on, every window's text sits on the system colours
// instead of the gradient strips, and a switch while the windows are open repaints them.
//
// The system's answer is overridden (a system that cannot switch the theme always says off); the
// colours are read back from the screen.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/gui_win.h"
#include "support/pixels_win.h"
#include "support/program_windows_fixture_win.h"
#include "support/run_key_win.h"
#include "ui/about_form.h"
#include "ui/info_form.h"
#include "ui/main_form.h"
#include "ui/settings_form.h"
#include "ui/toolkit/high_contrast.h"

namespace callwright {
namespace {

using test::PumpFor;

// A control that shows text, the system colour it should sit on in high contrast, and the colour of
// the text. `on_strip`: drawn over a gradient strip when high contrast is off (the main window's
// top row sits on the background picture's plateau, which may match the system's face colour).
struct TextCase {
  const char* name;
  HWND hwnd;
  int background;
  int text;
  bool on_strip;
};

struct WindowCase {
  const char* name;
  Form* form;
  std::vector<TextCase> controls;
};

// The share of the control's client area on screen in `colour`, and whether some pixel is close
// to `ink` (text, anti-aliased or not).
struct Reading {
  double share = 0;
  bool has_ink = false;
};

Reading ReadColours(HWND hwnd, COLORREF colour, COLORREF ink) {
  const test::Pixels pixels = test::ReadWindow(hwnd);
  Reading reading;
  int matching = 0;
  for (int y = 0; y < pixels.height; ++y) {
    for (int x = 0; x < pixels.width; ++x) {
      const COLORREF c = pixels.Colour(x, y);
      matching += c == colour ? 1 : 0;
      const int distance = std::abs(GetRValue(c) - GetRValue(ink)) + std::abs(GetGValue(c) - GetGValue(ink)) +
                           std::abs(GetBValue(c) - GetBValue(ink));
      reading.has_ink = reading.has_ink || distance <= 96;
    }
  }
  const int total = pixels.width * pixels.height;
  reading.share = total > 0 ? static_cast<double>(matching) / total : 0;
  return reading;
}

class HighContrastTest : public test::ProgramWindowsTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(user_.Redirected());
    ProgramWindowsTest::SetUp();
  }
  void TearDown() override {
    OverrideHighContrast(std::nullopt);
    ProgramWindowsTest::TearDown();
  }

  std::vector<WindowCase> Windows() const {
    return {
        {"main",
         main_,
         {
             {"Refresh", main_->btnrefresh.Handle(), COLOR_BTNFACE, COLOR_BTNTEXT, false},
             {"Browse", main_->btnfol.Handle(), COLOR_BTNFACE, COLOR_BTNTEXT, false},
             {"Delete", main_->btndelete.Handle(), COLOR_BTNFACE, COLOR_BTNTEXT, false},
             {"Open", main_->btnopen.Handle(), COLOR_BTNFACE, COLOR_BTNTEXT, false},
             {"Close", main_->btnclose.Handle(), COLOR_BTNFACE, COLOR_BTNTEXT, true},
             {"About", main_->btnabout.Handle(), COLOR_BTNFACE, COLOR_BTNTEXT, true},
             {"Settings", main_->btnsettings.Handle(), COLOR_BTNFACE, COLOR_BTNTEXT, true},
         }},
        {"settings",
         settings_,
         {
             {"Start with Windows", settings_->startup.Handle(), COLOR_BTNFACE, COLOR_BTNTEXT, false},
             {"format label", settings_->lblformat.Handle(), COLOR_BTNFACE, COLOR_BTNTEXT, false},
             {"format", settings_->cmbformat.Handle(), COLOR_WINDOW, COLOR_WINDOWTEXT, false},
             {"OK", settings_->btnok.Handle(), COLOR_BTNFACE, COLOR_BTNTEXT, true},
         }},
        {"info",
         info_,
         {
             {"notice switch", info_->c.Handle(), COLOR_BTNFACE, COLOR_BTNTEXT, true},
             {"notice text", info_->Memo.Handle(), COLOR_WINDOW, COLOR_WINDOWTEXT, false},
         }},
        {"about",
         about_,
         {
             {"site link", about_->lsite.Handle(), COLOR_BTNFACE, COLOR_BTNTEXT, false},
             {"About text", about_->memoabout.Handle(), COLOR_WINDOW, COLOR_WINDOWTEXT, false},
             {"OK", about_->SpeedButton2.Handle(), COLOR_BTNFACE, COLOR_BTNTEXT, true},
         }},
    };
  }

  test::RedirectedCurrentUser user_;
};

void ExpectOnSystemColours(const WindowCase& window, const char* when) {
  for (const TextCase& c : window.controls) {
    SCOPED_TRACE(std::string(window.name) + ": " + c.name + ", " + when);
    // A disabled button's caption is embossed in the shadow colour.
    const int text = ::IsWindowEnabled(c.hwnd) ? c.text : COLOR_BTNSHADOW;
    const Reading reading = ReadColours(c.hwnd, ::GetSysColor(c.background), ::GetSysColor(text));
    EXPECT_GT(reading.share, 0.5) << "on the system colour";
    EXPECT_TRUE(reading.has_ink) << "text in the system's text colour";
  }
}

void ExpectOnStrips(const WindowCase& window, const char* when) {
  for (const TextCase& c : window.controls) {
    if (!c.on_strip) continue;
    SCOPED_TRACE(std::string(window.name) + ": " + c.name + ", " + when);
    EXPECT_LT(ReadColours(c.hwnd, ::GetSysColor(c.background), ::GetSysColor(c.text)).share, 0.5)
        << "on its strip";
  }
}

TEST_F(HighContrastTest, TextSitsOnTheSystemColoursInEveryWindow) {
  OverrideHighContrast(true);
  for (const WindowCase& window : Windows()) {
    window.form->Show();
    PumpFor(300);
    ExpectOnSystemColours(window, "shown in high contrast");
    window.form->Hide();
    PumpFor(10);
  }
}

// Switched while open, the windows repaint: on WM_SETTINGCHANGE for high contrast as on
// WM_SYSCOLORCHANGE, both of which the system sends.
TEST_F(HighContrastTest, ASwitchWhileOpenRepaints) {
  OverrideHighContrast(false);
  for (const WindowCase& window : Windows()) {
    window.form->Show();
    PumpFor(300);
    ExpectOnStrips(window, "before the switch");

    OverrideHighContrast(true);
    ::SendMessageW(window.form->Handle(), WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
    PumpFor(300);
    ExpectOnSystemColours(window, "after WM_SETTINGCHANGE");

    OverrideHighContrast(false);
    ::SendMessageW(window.form->Handle(), WM_SYSCOLORCHANGE, 0, 0);
    PumpFor(300);
    ExpectOnStrips(window, "after switching back with WM_SYSCOLORCHANGE");

    window.form->Hide();
    PumpFor(10);
  }
}

TEST(ContrastColour, IsTheDesignedColourUnlessHighContrastIsOn) {
  constexpr COLORREF kRow = RGB(249, 247, 244);
  OverrideHighContrast(false);
  EXPECT_EQ(ContrastColour(kRow, COLOR_WINDOW), kRow);
  OverrideHighContrast(true);
  EXPECT_EQ(ContrastColour(kRow, COLOR_WINDOW), ::GetSysColor(COLOR_WINDOW));
  OverrideHighContrast(std::nullopt);
  HIGHCONTRASTW contrast{};
  contrast.cbSize = sizeof contrast;
  ASSERT_TRUE(::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0));
  EXPECT_EQ(HighContrastOn(), (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0) << "the system's answer again";
}

}  // namespace
}  // namespace callwright
