#pragma once
// Whole numbers as decimal text. The C++ library's std::to_wstring goes through the C runtime's
// wide printf, which the MinGW runtime implements in 10 KB of its own: this is a dozen lines.
#include <cstdint>
#include <string>

namespace callwright {

inline std::wstring DecimalText(std::int64_t value) {
  wchar_t digits[24];
  wchar_t* end = digits + 24;
  wchar_t* at = end;
  // Negated as unsigned, so that the most negative value has its digits too.
  std::uint64_t rest = value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  do {
    *--at = static_cast<wchar_t>(L'0' + rest % 10);
    rest /= 10;
  } while (rest != 0);
  if (value < 0) *--at = L'-';
  return std::wstring(at, end);
}

}  // namespace callwright
