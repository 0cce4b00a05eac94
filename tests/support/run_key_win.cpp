#include "support/run_key_win.h"

#include <gtest/gtest.h>
#include <sddl.h>

#include <algorithm>

namespace callwright::test {

namespace {

// The live redirects, innermost last. RegOverridePredefKey cannot report the current mapping, so
// ending one re-applies the one below it from here.
std::vector<const RedirectedCurrentUser*>& Redirects() {
  static std::vector<const RedirectedCurrentUser*> redirects;
  return redirects;
}

// The real Run values as the outermost redirect found them.
std::map<std::wstring, RegistryValue>& RealRunValues() {
  static std::map<std::wstring, RegistryValue> values;
  return values;
}

std::optional<RegistryValue> QueryValue(HKEY key, const std::wstring& name) {
  RegistryValue value;
  DWORD size = 0;
  if (::RegQueryValueExW(key, name.c_str(), nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  value.data.resize(size);
  if (::RegQueryValueExW(key, name.c_str(), nullptr, &value.type, value.data.data(), &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  value.data.resize(size);
  return value;
}

// The redirected Run key for writing, created when missing; empty without a redirect.
RegKey WritableRunKey(REGSAM access) {
  RegKey key;
  if (!CurrentUserRedirected() ||
      ::RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, REG_OPTION_NON_VOLATILE, access | KEY_WOW64_64KEY,
                        nullptr, key.Put(), nullptr) != ERROR_SUCCESS) {
    key.Release();
  }
  return key;
}

}  // namespace

std::wstring RegistryValue::Text() const {
  std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t));
  if (!text.empty() && text.back() == L'\0') text.pop_back();
  return text;
}

RedirectedCurrentUser::RedirectedCurrentUser(DWORD options) {
  static unsigned counter = 0;
  name_ = L"Software\\CallwrightTestRoot" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
          std::to_wstring(++counter);
  // A handle of the current mapping, which may itself be a redirect.
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, nullptr, 0, KEY_ALL_ACCESS, parent_.Put()) != ERROR_SUCCESS) {
    parent_.Release();
    return;
  }
  if (::RegCreateKeyExW(parent_.Get(), name_.c_str(), 0, nullptr, options, KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr,
                        root_.Put(), nullptr) != ERROR_SUCCESS) {
    root_.Release();
    return;
  }
  const bool outermost = Redirects().empty();
  if (outermost) RealRunValues() = AllRunValues(HKEY_CURRENT_USER);
  redirected_ = ::RegOverridePredefKey(HKEY_CURRENT_USER, root_.Get()) == ERROR_SUCCESS;
  if (redirected_) Redirects().push_back(this);
}

RedirectedCurrentUser::~RedirectedCurrentUser() {
  Restore();
  if (!parent_) return;
  root_.Reset();
  ::RegDeleteTreeW(parent_.Get(), name_.c_str());
  ::RegDeleteKeyW(parent_.Get(), name_.c_str());
}

void RedirectedCurrentUser::Restore() {
  if (!redirected_) return;
  redirected_ = false;
  auto& redirects = Redirects();
  redirects.erase(std::remove(redirects.begin(), redirects.end(), this), redirects.end());
  ::RegOverridePredefKey(HKEY_CURRENT_USER, redirects.empty() ? nullptr : redirects.back()->Root());
  if (redirects.empty()) {
    EXPECT_TRUE(AllRunValues(HKEY_CURRENT_USER) == RealRunValues()) << "the real Run key changed during the test";
  }
}

bool CurrentUserRedirected() { return !Redirects().empty(); }

RegKey OpenRunKey(HKEY user, REGSAM access) {
  RegKey key;
  if (::RegOpenKeyExW(user, kRunKey, 0, access | KEY_WOW64_64KEY, key.Put()) != ERROR_SUCCESS) key.Release();
  return key;
}

std::optional<RegistryValue> ReadRunValue(std::wstring_view name, HKEY user) {
  const RegKey key = OpenRunKey(user, KEY_QUERY_VALUE);
  if (!key) return std::nullopt;
  return QueryValue(key.Get(), std::wstring(name));
}

std::map<std::wstring, RegistryValue> AllRunValues(HKEY user) {
  std::map<std::wstring, RegistryValue> values;
  const RegKey key = OpenRunKey(user, KEY_QUERY_VALUE);
  if (!key) return values;
  std::vector<wchar_t> name(16384);
  for (DWORD index = 0;; ++index) {
    DWORD length = static_cast<DWORD>(name.size());
    if (::RegEnumValueW(key.Get(), index, name.data(), &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      break;
    }
    const std::wstring value_name(name.data(), length);
    values[value_name] = QueryValue(key.Get(), value_name).value_or(RegistryValue{});
  }
  return values;
}

bool WriteRunValue(std::wstring_view name, DWORD type, const void* data, DWORD size) {
  const RegKey key = WritableRunKey(KEY_SET_VALUE);
  return key && ::RegSetValueExW(key.Get(), std::wstring(name).c_str(), 0, type, static_cast<const BYTE*>(data),
                                 size) == ERROR_SUCCESS;
}

bool WriteRunText(std::wstring_view name, std::wstring_view text) {
  const std::wstring terminated(text);
  return WriteRunValue(name, REG_SZ, terminated.c_str(), static_cast<DWORD>((terminated.size() + 1) * sizeof(wchar_t)));
}

bool WriteRunNumber(std::wstring_view name, DWORD number) {
  return WriteRunValue(name, REG_DWORD, &number, sizeof number);
}

bool DeleteRunValue(std::wstring_view name) {
  if (!CurrentUserRedirected()) return false;
  const RegKey key = OpenRunKey(HKEY_CURRENT_USER, KEY_SET_VALUE);
  return key && ::RegDeleteValueW(key.Get(), std::wstring(name).c_str()) == ERROR_SUCCESS;
}

RunKeyWriteLock::RunKeyWriteLock() : key_(WritableRunKey(READ_CONTROL | WRITE_DAC)) {
  if (!key_) return;
  DWORD size = 0;
  ::RegGetKeySecurity(key_.Get(), DACL_SECURITY_INFORMATION, nullptr, &size);
  previous_.resize(size);
  if (size == 0 ||
      ::RegGetKeySecurity(key_.Get(), DACL_SECURITY_INFORMATION, previous_.data(), &size) != ERROR_SUCCESS) {
    previous_.clear();
    return;
  }
  PSECURITY_DESCRIPTOR read_only = nullptr;
  if (::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;KR;;;WD)", SDDL_REVISION_1, &read_only,
                                                             nullptr)) {
    locked_ = ::RegSetKeySecurity(key_.Get(), DACL_SECURITY_INFORMATION, read_only) == ERROR_SUCCESS;
    ::LocalFree(read_only);
  }
}

RunKeyWriteLock::~RunKeyWriteLock() {
  if (locked_) ::RegSetKeySecurity(key_.Get(), DACL_SECURITY_INFORMATION, previous_.data());
}

}  // namespace callwright::test
