#include "base/drop_files.h"

namespace callwright {

namespace {

void PutUint32(std::vector<std::byte>& out, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::byte>((value >> (8 * i)) & 0xFF);
}

std::uint32_t GetUint32(const std::vector<std::byte>& in, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value |= static_cast<std::uint32_t>(in[at + i]) << (8 * i);
  return value;
}

void PutUnit(std::vector<std::byte>& out, char16_t unit) {
  out.push_back(static_cast<std::byte>(unit & 0xFF));
  out.push_back(static_cast<std::byte>(unit >> 8));
}

// wchar_t is UTF-16 on Windows and UTF-32 elsewhere; the block is UTF-16 on every platform.
void PutPath(std::vector<std::byte>& out, const std::wstring& path) {
  for (const wchar_t c : path) {
    const auto code = static_cast<std::uint32_t>(c);
    if (code > 0xFFFF && code <= 0x10FFFF) {
      PutUnit(out, static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
      PutUnit(out, static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
    } else {
      PutUnit(out, static_cast<char16_t>(code > 0xFFFF ? 0xFFFD : code));
    }
  }
  PutUnit(out, 0);
}

void AppendUnit(std::wstring& path, char16_t unit, char16_t& pending_high) {
  if constexpr (sizeof(wchar_t) == 2) {
    path.push_back(static_cast<wchar_t>(unit));
  } else {
    if (unit >= 0xD800 && unit < 0xDC00) {
      if (pending_high) path.push_back(static_cast<wchar_t>(0xFFFD));
      pending_high = unit;
      return;
    }
    if (unit >= 0xDC00 && unit < 0xE000 && pending_high) {
      path.push_back(static_cast<wchar_t>(0x10000 + ((pending_high - 0xD800) << 10) + (unit - 0xDC00)));
      pending_high = 0;
      return;
    }
    if (pending_high) path.push_back(static_cast<wchar_t>(0xFFFD));
    pending_high = 0;
    path.push_back(static_cast<wchar_t>(unit));
  }
}

}  // namespace

std::vector<std::byte> DropFilesBlock(const std::vector<std::wstring>& paths) {
  std::vector<std::byte> block(kDropFilesHeaderSize, std::byte{0});
  PutUint32(block, 0, static_cast<std::uint32_t>(kDropFilesHeaderSize));  // pFiles
  PutUint32(block, 16, 1);                                                // fWide
  for (const std::wstring& path : paths) {
    if (path.empty() || path.find(L'\0') != std::wstring::npos) continue;
    PutPath(block, path);
  }
  PutUnit(block, 0);
  return block;
}

std::vector<std::wstring> DropFilesPaths(const std::vector<std::byte>& block) {
  std::vector<std::wstring> paths;
  if (block.size() < kDropFilesHeaderSize || GetUint32(block, 16) == 0) return paths;
  const std::size_t start = GetUint32(block, 0);
  if (start < kDropFilesHeaderSize || start > block.size()) return paths;
  std::wstring path;
  char16_t pending_high = 0;
  for (std::size_t at = start; at + 1 < block.size(); at += 2) {
    const auto unit = static_cast<char16_t>(static_cast<unsigned>(block[at]) | static_cast<unsigned>(block[at + 1]) << 8);
    if (unit != 0) {
      AppendUnit(path, unit, pending_high);
      continue;
    }
    if (pending_high) path.push_back(static_cast<wchar_t>(0xFFFD));
    if (path.empty()) return paths;  // the list's closing NUL
    paths.push_back(std::move(path));
    path.clear();
    pending_high = 0;
  }
  return paths;
}

}  // namespace callwright
