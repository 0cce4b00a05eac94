#pragma once
// A fresh folder under the temporary folder, removed with everything in it at the end of its life.
#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "base/handles.h"

namespace callwright::core_test {

// Removes a folder tree, read-only entries included.
inline void RemoveTree(const std::wstring& folder) {
  WIN32_FIND_DATAW entry;
  FindHandle search(::FindFirstFileW((folder + L"\\*").c_str(), &entry));
  if (search) {
    do {
      const std::wstring name = entry.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = folder + L"\\" + name;
      ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        ::DeleteFileW(path.c_str());
      }
    } while (::FindNextFileW(search.Get(), &entry));
  }
  search.Reset();
  ::RemoveDirectoryW(folder.c_str());
}

inline bool PathExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Creates (or replaces) a file of `size` bytes; larger sizes are made by extending the file, which
// the file system may keep sparse.
inline bool CreateFileOfSize(const std::wstring& path, std::int64_t size, std::string_view content = {}) {
  const FileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                      nullptr));
  if (!file) return false;
  if (!content.empty()) {
    DWORD written = 0;
    if (!::WriteFile(file.Get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr)) return false;
  }
  if (size > static_cast<std::int64_t>(content.size())) {
    LARGE_INTEGER end;
    end.QuadPart = size;
    if (!::SetFilePointerEx(file.Get(), end, nullptr, FILE_BEGIN) || !::SetEndOfFile(file.Get())) return false;
  }
  return true;
}

class ScratchFolder {
 public:
  ScratchFolder() {
    wchar_t temp[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH + 1, temp);
    static unsigned counter = 0;
    for (;;) {
      path_ = std::wstring(temp) + L"callwright-core-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
              std::to_wstring(++counter);
      if (::CreateDirectoryW(path_.c_str(), nullptr)) break;
      if (::GetLastError() != ERROR_ALREADY_EXISTS) {
        path_.clear();
        break;
      }
    }
  }
  ~ScratchFolder() {
    if (!path_.empty()) RemoveTree(path_);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  // Without trailing separator; empty when the folder could not be made.
  const std::wstring& Path() const { return path_; }
  std::wstring operator/(std::wstring_view name) const { return path_ + L"\\" + std::wstring(name); }

 private:
  std::wstring path_;
};

}  // namespace callwright::core_test
