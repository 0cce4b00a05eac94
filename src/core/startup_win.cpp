#include "core/startup_win.h"

#include <windows.h>

#include "base/app_error.h"
#include "base/handles.h"

namespace callwright {

namespace {

constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\run";
// KEY_READ | KEY_WRITE | KEY_WOW64_64KEY: always the 64-bit view.
constexpr REGSAM kRunKeyAccess = 0x2011F;

// Open-or-create; an empty owner when that fails.
RegKey OpenRunKey() {
  RegKey key;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, REG_OPTION_NON_VOLATILE, kRunKeyAccess, nullptr,
                        key.Put(), nullptr) != ERROR_SUCCESS) {
    key.Release();
  }
  return key;
}

// A name with a NUL inside would address another value; an empty one the key's default value.
bool IsUsableName(std::wstring_view name) {
  return !name.empty() && name.find(L'\0') == std::wstring_view::npos;
}

}  // namespace

void AddToStartup(std::wstring_view name, std::wstring_view executable_path) {
  const std::wstring value_name(name);
  const std::wstring data = L"\"" + std::wstring(executable_path) + L"\" /hidden";
  const DWORD size = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
  if (!IsUsableName(name) || executable_path.find(L'\0') != std::wstring_view::npos) {
    throw AppError(L"Failed to set data for '" + value_name + L"'");
  }
  const RegKey key = OpenRunKey();
  if (!key ||
      ::RegSetValueExW(key.Get(), value_name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                       size) != ERROR_SUCCESS) {
    throw AppError(L"Failed to set data for '" + value_name + L"'");
  }
}

void RemoveFromStartup(std::wstring_view name) {
  if (!IsUsableName(name)) return;
  const std::wstring value_name(name);
  const RegKey key = OpenRunKey();
  if (key) ::RegDeleteValueW(key.Get(), value_name.c_str());
}

bool IsInStartup(std::wstring_view name) {
  if (!IsUsableName(name)) return false;
  const std::wstring value_name(name);
  const RegKey key = OpenRunKey();
  if (!key) return false;
  DWORD type = 0;
  DWORD size = 0;
  return ::RegQueryValueExW(key.Get(), value_name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS;
}

}  // namespace callwright
