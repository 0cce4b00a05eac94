#include "support/temp_dir_win.h"

#include <windows.h>

#include <filesystem>
#include <stdexcept>
#include <string>

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

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace callwright::test
