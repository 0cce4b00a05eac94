#include "support/config_file_win.h"

#include <windows.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "core/settings_win.h"
#include "support/temp_dir_win.h"

namespace callwright::test {

namespace {

constexpr wchar_t kSection[] = L"SYSTEM";

void DropCachedCopy(const std::wstring& path) { ::WritePrivateProfileStringW(nullptr, nullptr, nullptr, path.c_str()); }

}  // namespace

std::wstring ReadConfig(const wchar_t* key) {
  const std::wstring path = ConfigFilePath();
  std::vector<wchar_t> value(256);
  for (;;) {
    const DWORD size = static_cast<DWORD>(value.size());
    const DWORD length = ::GetPrivateProfileStringW(kSection, key, L"<missing>", value.data(), size, path.c_str());
    // A value that does not fit comes back cut to size - 1 characters.
    if (length + 1 < size) return std::wstring(value.data(), length);
    value.resize(value.size() * 2);
  }
}

bool WriteConfig(const wchar_t* key, const std::wstring& value) {
  return ::WritePrivateProfileStringW(kSection, key, value.c_str(), ConfigFilePath().c_str()) != FALSE;
}

void RemoveConfig() {
  const std::wstring path = ConfigFilePath();
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      RemoveTree(path);
    } else {
      ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      ::DeleteFileW(path.c_str());
    }
  }
  DropCachedCopy(path);
}

ConfigFileAside::ConfigFileAside()
    : path_(ConfigFilePath()), backup_(path_ + L".saved-" + std::to_wstring(::GetCurrentProcessId())) {
  DropCachedCopy(path_);
  if (!PathExists(path_)) return;
  // Without the move the end would remove the file: better no test at all.
  if (!::MoveFileExW(path_.c_str(), backup_.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    throw std::runtime_error("cannot set config.ini aside, error " + std::to_string(::GetLastError()));
  }
  saved_ = true;
}

ConfigFileAside::~ConfigFileAside() {
  RemoveConfig();
  if (saved_) ::MoveFileExW(backup_.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING);
  DropCachedCopy(path_);
}

}  // namespace callwright::test
