#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/app_error.h"
#include "core/startup_win.h"
#include "base/handles.h"

namespace callwright {
namespace {

constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

struct RegistryValue {
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
  bool operator==(const RegistryValue&) const = default;
};

RegKey OpenKey(HKEY root, const wchar_t* path, REGSAM access) {
  RegKey key;
  if (::RegOpenKeyExW(root, path, 0, access | KEY_WOW64_64KEY, key.Put()) != ERROR_SUCCESS) key.Release();
  return key;
}

// The value as stored, read without the routines under test; empty optional when missing.
std::optional<RegistryValue> QueryValue(HKEY root, const wchar_t* key_path, const std::wstring& name) {
  const RegKey key = OpenKey(root, key_path, KEY_QUERY_VALUE);
  if (!key) return std::nullopt;
  RegistryValue value;
  DWORD size = 0;
  if (::RegQueryValueExW(key.Get(), name.c_str(), nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  value.data.resize(size);
  if (::RegQueryValueExW(key.Get(), name.c_str(), nullptr, &value.type, value.data.data(), &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  value.data.resize(size);
  return value;
}

void SetValue(const std::wstring& name, DWORD type, const void* data, DWORD size) {
  const RegKey key = OpenKey(HKEY_CURRENT_USER, kRunKey, KEY_SET_VALUE);
  ASSERT_TRUE(key);
  ASSERT_EQ(::RegSetValueExW(key.Get(), name.c_str(), 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
}

std::map<std::wstring, RegistryValue> AllRunValues() {
  std::map<std::wstring, RegistryValue> values;
  const RegKey key = OpenKey(HKEY_CURRENT_USER, kRunKey, KEY_QUERY_VALUE);
  if (!key) return values;
  for (DWORD index = 0;; ++index) {
    wchar_t name[16384];
    DWORD name_length = 16384;
    if (::RegEnumValueW(key.Get(), index, name, &name_length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      break;
    }
    values[std::wstring(name, name_length)] = QueryValue(HKEY_CURRENT_USER, kRunKey, name).value_or(RegistryValue{});
  }
  return values;
}

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

// Works on the prefix's real Run key, under a value name of its own that it always removes: a
// value left there would be started at the next logon.
class StartupTest : public ::testing::Test {
 protected:
  void TearDown() override {
    const RegKey key = OpenKey(HKEY_CURRENT_USER, kRunKey, KEY_SET_VALUE);
    if (key) ::RegDeleteValueW(key.Get(), name_.c_str());
  }
  const std::wstring name_ = L"CallwrightTest" + std::to_wstring(::GetCurrentProcessId());
};

TEST_F(StartupTest, AddWritesTheQuotedPathWithHiddenAndRemoveDeletesIt) {
  const std::wstring exe = L"C:\\Program Files\\Callwright\\Callwright.exe";
  EXPECT_FALSE(IsInStartup(name_));
  AddToStartup(name_, exe);
  EXPECT_TRUE(IsInStartup(name_));
  EXPECT_EQ(QueryValue(HKEY_CURRENT_USER, kRunKey, name_), SzValue(L"\"" + exe + L"\" /hidden"));

  RemoveFromStartup(name_);
  EXPECT_FALSE(IsInStartup(name_));
  EXPECT_FALSE(QueryValue(HKEY_CURRENT_USER, kRunKey, name_).has_value());
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
    SetValue(name_, c.type, c.data, c.size);
    EXPECT_TRUE(IsInStartup(name_)) << c.type;
    AddToStartup(name_, L"Z:\\build\\Callwright.exe");
    EXPECT_EQ(QueryValue(HKEY_CURRENT_USER, kRunKey, name_), SzValue(L"\"Z:\\build\\Callwright.exe\" /hidden"))
        << c.type;
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

// Points this process's HKEY_CURRENT_USER at a scratch key for the lifetime of the object.
class RedirectedCurrentUser {
 public:
  explicit RedirectedCurrentUser(DWORD options)
      : path_(L"Software\\CallwrightTestRoot" + std::to_wstring(::GetCurrentProcessId())) {
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, options, KEY_ALL_ACCESS | KEY_WOW64_64KEY,
                          nullptr, root_.Put(), nullptr) != ERROR_SUCCESS) {
      root_.Release();
      return;
    }
    redirected_ = ::RegOverridePredefKey(HKEY_CURRENT_USER, root_.Get()) == ERROR_SUCCESS;
  }
  ~RedirectedCurrentUser() {
    Restore();
    root_.Reset();
    ::RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
    ::RegDeleteKeyW(HKEY_CURRENT_USER, path_.c_str());
  }
  RedirectedCurrentUser(const RedirectedCurrentUser&) = delete;
  RedirectedCurrentUser& operator=(const RedirectedCurrentUser&) = delete;

  bool Redirected() const { return redirected_; }
  void Restore() {
    if (redirected_) ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    redirected_ = false;
  }
  HKEY Root() const { return root_.Get(); }

 private:
  std::wstring path_;
  RegKey root_;
  bool redirected_ = false;
};

TEST_F(StartupTest, AMissingRunKeyIsCreatedEvenByTheTest) {
  RedirectedCurrentUser user(REG_OPTION_NON_VOLATILE);
  ASSERT_TRUE(user.Redirected());
  ASSERT_FALSE(OpenKey(user.Root(), kRunKey, KEY_QUERY_VALUE));
  EXPECT_FALSE(IsInStartup(name_));
  EXPECT_TRUE(OpenKey(user.Root(), kRunKey, KEY_QUERY_VALUE));

  AddToStartup(name_, L"C:\\a.exe");
  user.Restore();
  EXPECT_EQ(QueryValue(user.Root(), kRunKey, name_), SzValue(L"\"C:\\a.exe\" /hidden"));
  EXPECT_FALSE(QueryValue(HKEY_CURRENT_USER, kRunKey, name_).has_value());
}

TEST_F(StartupTest, RunKeyThatCannotBeOpened) {
  // Below a volatile key no lasting key can be created.
  RedirectedCurrentUser user(REG_OPTION_VOLATILE);
  ASSERT_TRUE(user.Redirected());
  ExpectSetDataError([&] { AddToStartup(name_, L"C:\\a.exe"); }, name_);
  EXPECT_FALSE(IsInStartup(name_));
  RemoveFromStartup(name_);
  EXPECT_FALSE(OpenKey(user.Root(), kRunKey, KEY_QUERY_VALUE));
}

}  // namespace
}  // namespace callwright
