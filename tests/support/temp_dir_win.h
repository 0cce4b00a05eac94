#pragma once
// A fresh folder under the user's temp folder, removed with everything in it at the end, and the
// removal of folder trees that tests make read-only.
#include <string>
#include <string_view>

namespace callwright::test {

class TempDir {
 public:
  // Throws std::runtime_error when no folder can be made.
  explicit TempDir(std::wstring_view prefix = L"callwright-test");
  ~TempDir();  // removes the tree, read-only entries included
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // Without a trailing separator.
  const std::wstring& Path() const noexcept { return path_; }
  std::wstring Join(std::wstring_view name) const { return path_ + L"\\" + std::wstring(name); }

 private:
  std::wstring path_;
};

// Removes a folder and everything in it, read-only files and folders included. A link inside
// (junction or symbolic link) is removed itself; what it points at is left alone.
void RemoveTree(const std::wstring& folder);

bool PathExists(const std::wstring& path);

}  // namespace callwright::test
