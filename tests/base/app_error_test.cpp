#include <gtest/gtest.h>

#include "base/app_error.h"

namespace callwright {
namespace {

TEST(ErrorReportText, AppendsFullStopUnlessLastCharacterIsStopOrLower) {
  struct Case {
    const wchar_t* text;
    const wchar_t* shown;
  } cases[] = {
      {L"Unable to write to C:\\a\\config.ini", L"Unable to write to C:\\a\\config.ini."},
      {L"Done.", L"Done."},
      {L"Failed to set data for 'Callwright'", L"Failed to set data for 'Callwright'"},  // ' is below .
      {L"ends in space ", L"ends in space "},
      {L"ends in dash-", L"ends in dash-"},
      {L"ends in slash/", L"ends in slash/."},
      {L"", L"."},
  };
  for (const Case& c : cases) EXPECT_EQ(ErrorReportText(c.text), c.shown) << c.text;
}

}  // namespace
}  // namespace callwright
