#include "base/system_error_win.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace callwright {
namespace {

TEST(SystemErrorText, TheSystemsTextWithoutItsLineBreakElseTheNumber) {
  for (const DWORD code : {DWORD{ERROR_FILE_NOT_FOUND}, DWORD{ERROR_ACCESS_DENIED}, DWORD{ERROR_TLW_WITH_WSCHILD},
                           DWORD{ERROR_INVALID_WINDOW_HANDLE}}) {
    SCOPED_TRACE(code);
    const std::wstring text = SystemErrorText(code);
    ASSERT_FALSE(text.empty());
    EXPECT_NE(text, L"error " + std::to_wstring(code)) << "the system has a text for this one";
    EXPECT_EQ(text.find_last_of(L"\r\n"), std::wstring::npos);
    EXPECT_NE(text.back(), L' ');
  }
  // Customer codes (bit 29) have no system text.
  for (const DWORD code : {DWORD{0x20001234}, DWORD{0x2000FFFF}}) {
    EXPECT_EQ(SystemErrorText(code), L"error " + std::to_wstring(code));
  }
}

TEST(LastError, NamesWhatFailedAndTheTextOfTheLastError) {
  ::SetLastError(ERROR_FILE_NOT_FOUND);
  const AppError error = LastError(L"Unable to open the file");
  EXPECT_EQ(error.Message(), L"Unable to open the file: " + SystemErrorText(ERROR_FILE_NOT_FOUND));
  ::SetLastError(0x20001234);
  EXPECT_EQ(LastError(L"x").Message(), L"x: error 536875572");
}

}  // namespace
}  // namespace callwright
