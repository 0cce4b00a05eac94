// The program's four windows built in this process as the program builds them.
#include <gtest/gtest.h>
#include <windows.h>

#include "assets/resource_ids.h"
#include "core/settings_win.h"
#include "support/gui_win.h"
#include "support/program_windows_fixture_win.h"
#include "ui/program_windows.h"
#include "ui/toolkit/application.h"

namespace callwright {
namespace {

TEST(ProgramWindows, EveryWindowCarriesTheProgramsIcon) {
  const ProgramWindows windows;
  const HICON icon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_CALLWRIGHT));
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(Application::Instance().Icon(), icon);
  const Form* forms[] = {windows.main.get(), windows.settings.get(), windows.info.get(), windows.about.get()};
  for (const Form* form : forms) {
    wchar_t class_name[64] = {};
    ::GetClassNameW(form->Handle(), class_name, 64);
    EXPECT_EQ(reinterpret_cast<HICON>(::GetClassLongPtrW(form->Handle(), GCLP_HICON)), icon) << class_name;
  }
}

// The program's own start makes the main window first; the other three (and the icon of a start
// that shows the main window) follow once it has shown and painted, and a command that needs one
// of them sooner makes them then, once.
class ProgramStart : public test::ProgramWindowsTest {
 protected:
  void RemakeAsTheProgramStarts() {
    DestroyWindows();
    CreateWindows(ProgramWindows::Making::AsTheProgramStarts);
  }
};

TEST_F(ProgramStart, TheOtherWindowsFollowTheMainWindowsShow) {
  WriteSetting(L"SYSTEM", L"info", L"1");
  RemakeAsTheProgramStarts();
  ASSERT_NE(FrmMain, nullptr);
  EXPECT_EQ(FrmSettings, nullptr);
  EXPECT_EQ(FrmInfo, nullptr);
  EXPECT_EQ(FrmAbout, nullptr);
  EXPECT_FALSE(windows_->tray.has_value()) << "a start that shows the window adds the icon after it";
  main_->Show();
  ASSERT_TRUE(test::PumpUntil([] { return FrmAbout != nullptr; }));
  EXPECT_EQ(FrmSettings, windows_->settings.get());
  EXPECT_EQ(FrmInfo, windows_->info.get());
  EXPECT_TRUE(windows_->tray.has_value());
  // The show read the notice's setting before the notice existed: it is read again for it.
  EXPECT_TRUE(FrmInfo->c.Checked());
}

TEST_F(ProgramStart, ACommandBeforeThemMakesThemAtOnceAndOnlyOnce) {
  RemakeAsTheProgramStarts();
  ASSERT_EQ(FrmSettings, nullptr);
  main_->btnsettingsClick();
  ASSERT_NE(FrmSettings, nullptr);
  EXPECT_TRUE(FrmSettings->Visible());
  const TFrmSettings* made = FrmSettings;
  test::PumpFor(100);
  EXPECT_EQ(FrmSettings, made);
  EXPECT_TRUE(windows_->tray.has_value());
  FrmSettings->Hide();
}

}  // namespace
}  // namespace callwright
