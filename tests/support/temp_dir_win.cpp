#include "support/temp_dir_win.h"

#include <windows.h>

#include <filesystem>
#include <stdexcept>
#include <string>

#include "base/handles.h"

namespace callwright::test {

TempDir::TempDir(std::wstring_view prefix) {
  std::error_code error;
  const std::filesystem::path base = std::filesystem::temp_directory_path(error);
  if (error) throw std::runtime_error("no temp folder");
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::wstring name = std::wstring(prefix) + L"-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                              std::to_wstring(::GetTickCount64()) + L"-" + std::to_wstring(++counter);
    std::wstring path = (base / name).wstring();
    if (::CreateDirectoryW(path.c_str(), nullptr)) {
      path_ = std::move(path);
      return;
    }
  }
  throw std::runtime_error("cannot make a temp folder");
}

TempDir::~TempDir() { RemoveTree(path_); }

void RemoveTree(const std::wstring& folder) {
  if (folder.empty()) return;  // "\*" would be the drive's root
  WIN32_FIND_DATAW entry;
  FindHandle search(::FindFirstFileW((folder + L"\\*").c_str(), &entry));
  if (search) {
    do {
      const std::wstring name = entry.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = folder + L"\\" + name;
      ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      const DWORD attributes = entry.dwFileAttributes;
      if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        RemoveTree(path);
      } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        ::RemoveDirectoryW(path.c_str());
      } else {
        ::DeleteFileW(path.c_str());
      }
    } while (::FindNextFileW(search.Get(), &entry));
  }
  search.Reset();
  ::SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
  ::RemoveDirectoryW(folder.c_str());
}

bool PathExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace callwright::test
