// The program's four windows built in this process as the program builds them.
#include <gtest/gtest.h>
#include <windows.h>

#include "assets/resource_ids.h"
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

}  // namespace
}  // namespace callwright
