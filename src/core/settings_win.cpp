#include "core/settings_win.h"

#include <windows.h>

#include "core/app_error.h"
#include "ui/toolkit/handles.h"

namespace callwright {

namespace {

constexpr DWORD kValueBufferLength = 2048;

// Folder part of a path: up to and including the last "\" or ":".
std::wstring FolderPart(const std::wstring& path) {
  const std::size_t pos = path.find_last_of(L"\\:");
  return pos == std::wstring::npos ? std::wstring() : path.substr(0, pos + 1);
}

// False for texts the file cannot hold as one entry: a NUL would cut them short and a line break
// would start another line (another key) of the file.
bool IsStorable(std::wstring_view text) {
  return text.find_first_of(std::wstring_view(L"\0\r\n", 3)) == std::wstring_view::npos;
}

// A new file starts with a UTF-16 byte-order mark, so that the profile functions keep it in UTF-16
// and folder names outside the ANSI code page survive. False when the file cannot be made.
bool CreateUnicodeFileIfMissing(const std::wstring& file) {
  if (::GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
  const FileHandle handle(
      ::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle) return ::GetLastError() == ERROR_FILE_EXISTS;
  static constexpr unsigned char kByteOrderMark[] = {0xFF, 0xFE};
  DWORD written = 0;
  return ::WriteFile(handle.Get(), kByteOrderMark, sizeof kByteOrderMark, &written, nullptr) &&
         written == sizeof kByteOrderMark;
}

}  // namespace

std::wstring ExecutablePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    // Truncated: try again with room for a long path.
    if (path.size() >= 32768) return {};
    path.resize(path.size() * 2);
  }
}

std::wstring ExecutableFolder() { return FolderPart(ExecutablePath()); }

std::wstring DefaultFolder() { return ExecutableFolder() + L"Records"; }

std::wstring ConfigFilePath() { return ExecutableFolder() + L"config.ini"; }

std::wstring ReadSetting(std::wstring_view section, std::wstring_view key, std::wstring_view default_value) {
  const std::wstring file = ConfigFilePath();
  const std::wstring section_text(section), key_text(key), default_text(default_value);
  if (!IsStorable(section) || !IsStorable(key)) return default_text;
  wchar_t buffer[kValueBufferLength] = {};
  const DWORD length = ::GetPrivateProfileStringW(section_text.c_str(), key_text.c_str(), default_text.c_str(),
                                                  buffer, kValueBufferLength, file.c_str());
  return std::wstring(buffer, length);
}

void WriteSetting(std::wstring_view section, std::wstring_view key, std::wstring_view value) {
  const std::wstring file = ConfigFilePath();
  const std::wstring section_text(section), key_text(key), value_text(value);
  if (!IsStorable(section) || !IsStorable(key) || !IsStorable(value) || !CreateUnicodeFileIfMissing(file) ||
      !::WritePrivateProfileStringW(section_text.c_str(), key_text.c_str(), value_text.c_str(), file.c_str())) {
    throw AppError(L"Unable to write to " + file);
  }
}

}  // namespace callwright
