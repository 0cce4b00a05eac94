#include "support/files_win.h"

#include <windows.h>

#include "base/handles.h"

namespace callwright::test {

std::optional<std::string> ReadBytes(const std::wstring& path) {
  const FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
  if (!file) return std::nullopt;
  std::string bytes;
  char buffer[4096];
  DWORD read = 0;
  for (;;) {
    if (!::ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr)) return std::nullopt;
    if (read == 0) return bytes;
    bytes.append(buffer, read);
  }
}

bool WriteBytes(const std::wstring& path, std::string_view bytes) {
  return CreateFileOfSize(path, static_cast<std::int64_t>(bytes.size()), bytes);
}

bool CreateFileOfSize(const std::wstring& path, std::int64_t size, std::string_view content) {
  const FileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                      nullptr));
  if (!file) return false;
  const auto content_size = static_cast<std::int64_t>(content.size());
  while (!content.empty()) {
    const DWORD chunk = content.size() > 0x40000000 ? 0x40000000 : static_cast<DWORD>(content.size());
    DWORD written = 0;
    if (!::WriteFile(file.Get(), content.data(), chunk, &written, nullptr) || written == 0) return false;
    content.remove_prefix(written);
  }
  if (size <= content_size) return true;
  LARGE_INTEGER end;
  end.QuadPart = size;
  return ::SetFilePointerEx(file.Get(), end, nullptr, FILE_BEGIN) && ::SetEndOfFile(file.Get());
}

}  // namespace callwright::test
