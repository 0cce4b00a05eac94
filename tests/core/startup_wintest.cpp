#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/app_error.h"
#include "core/startup_win.h"
#include "support/run_key_win.h"
#include "base/handles.h"

namespace callwright {
namespace {

using test::AllRunValues;
using test::ReadRunValue;
using test::RedirectedCurrentUser;
using test::RegistryValue;

RegistryValue SzValue(const std::wstring& text) {
  const BYTE* bytes = reinterpret_cast<const BYTE*>(text.c_str());
  return {REG_SZ, std::vector<BYTE>(bytes, bytes + (text.size() + 1) * sizeof(wchar_t))};
}

template <typename Call>
void ExpectSetDataError(Call call, const std::wstring& name) {
  try {
    call();
    ADD_FAILURE() << "no error";
  } catch (const AppError& error) {
    EXPECT_EQ(error.Message(), L"Failed to set data for '" + name + L"'");
  }
}

// Works on a redirected current user whose Run key already holds another program's value, so
// that a change to anything but the named value shows; the real Run key is never touched.
class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(user_.Redirected());
    ASSERT_TRUE(test::WriteRunText(L"Other", L"\"C:\\Other\\other.exe\" /tray"));
  }
  RedirectedCurrentUser user_;
  const std::wstring name_ = L"CallwrightTest" + std::to_wstring(::GetCurrentProcessId());
};

TEST_F(StartupTest, AddWritesTheQuotedPathWithHiddenAndRemoveDeletesIt) {
  const std::wstring exe = L"C:\\Program Files\\Callwright\\Callwright.exe";
  EXPECT_FALSE(IsInStartup(name_));
  AddToStartup(name_, exe);
  EXPECT_TRUE(IsInStartup(name_));
  EXPECT_EQ(ReadRunValue(name_), SzValue(L"\"" + exe + L"\" /hidden"));

  RemoveFromStartup(name_);
  EXPECT_FALSE(IsInStartup(name_));
  EXPECT_FALSE(ReadRunValue(name_).has_value());
}

TEST_F(StartupTest, AnyValueOfTheNameCountsAndAddReplacesIt) {
  const DWORD number = 1;
  const BYTE binary[] = {1, 2, 3};
  const std::wstring other = L"\"C:\\Other\\other.exe\"";
  const std::wstring expand = L"%SystemRoot%\\notepad.exe";
  struct Case {
    DWORD type;
    const void* data;
    DWORD size;
  } cases[] = {
      {REG_DWORD, &number, sizeof number},
      {REG_BINARY, binary, sizeof binary},
      {REG_SZ, other.c_str(), static_cast<DWORD>((other.size() + 1) * 2)},
      {REG_EXPAND_SZ, expand.c_str(), static_cast<DWORD>((expand.size() + 1) * 2)},
      {REG_SZ, L"", 0},
      {REG_NONE, nullptr, 0},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(test::WriteRunValue(name_, c.type, c.data, c.size));
    EXPECT_TRUE(IsInStartup(name_)) << c.type;
    AddToStartup(name_, L"Z:\\build\\Callwright.exe");
    EXPECT_EQ(ReadRunValue(name_), SzValue(L"\"Z:\\build\\Callwright.exe\" /hidden")) << c.type;
  }
}

TEST_F(StartupTest, RemovingAMissingValueChangesNothing) {
  const auto before = AllRunValues();
  RemoveFromStartup(name_);
  EXPECT_EQ(AllRunValues(), before);
  EXPECT_FALSE(IsInStartup(name_));
}

TEST_F(StartupTest, FailedSetRaisesTheErrorNamingTheValue) {
  // The registry refuses value names above 16383 characters.
  const std::wstring too_long(20000, L'x');
  ExpectSetDataError([&] { AddToStartup(too_long, L"C:\\a.exe"); }, too_long);
  EXPECT_FALSE(IsInStartup(too_long));

  // Names that would address another value (the key's default, or a name cut at a NUL).
  const auto before = AllRunValues();
  ExpectSetDataError([] { AddToStartup(L"", L"C:\\a.exe"); }, L"");
  const std::wstring cut = name_ + std::wstring(L"\0tail", 5);
  ExpectSetDataError([&] { AddToStartup(cut, L"C:\\a.exe"); }, cut);
  EXPECT_FALSE(IsInStartup(cut));
  EXPECT_EQ(AllRunValues(), before);
}

TEST_F(StartupTest, AMissingRunKeyIsCreatedEvenByTheTest) {
  RedirectedCurrentUser user(REG_OPTION_NON_VOLATILE);
  ASSERT_TRUE(user.Redirected());
  ASSERT_FALSE(test::OpenRunKey(user.Root(), KEY_QUERY_VALUE));
  EXPECT_FALSE(IsInStartup(name_));
  EXPECT_TRUE(test::OpenRunKey(user.Root(), KEY_QUERY_VALUE));

  AddToStartup(name_, L"C:\\a.exe");
  user.Restore();
  EXPECT_EQ(ReadRunValue(name_, user.Root()), SzValue(L"\"C:\\a.exe\" /hidden"));
  EXPECT_FALSE(ReadRunValue(name_).has_value());
}

TEST_F(StartupTest, RunKeyThatCannotBeOpened) {
  // Below a volatile key no lasting key can be created.
  RedirectedCurrentUser user(REG_OPTION_VOLATILE);
  ASSERT_TRUE(user.Redirected());
  ExpectSetDataError([&] { AddToStartup(name_, L"C:\\a.exe"); }, name_);
  EXPECT_FALSE(IsInStartup(name_));
  RemoveFromStartup(name_);
  EXPECT_FALSE(test::OpenRunKey(user.Root(), KEY_QUERY_VALUE));
}

}  // namespace
}  // namespace callwright
