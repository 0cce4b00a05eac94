#pragma once
// Reading and writing whole files past the program's own routines.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace callwright::test {

// The bytes of a file, read while others may read and write it; nothing when it cannot be opened
// (a missing file, a folder).
std::optional<std::string> ReadBytes(const std::wstring& path);

// Creates or replaces the file with exactly these bytes.
bool WriteBytes(const std::wstring& path, std::string_view bytes);

// Creates or replaces a file that holds `content` and is `size` bytes long, or longer when the
// content is; the rest is made by extending the file, which the file system may keep sparse.
bool CreateFileOfSize(const std::wstring& path, std::int64_t size, std::string_view content = {});

}  // namespace callwright::test
