#pragma once
// One arbitrary input through the catalogue's text routines, checked against independent oracles.
// Input: 8 bytes of file size (little endian), 1 byte choosing the separators, then the path as
// UTF-16 code units (little endian).
#include <array>
#include <cstddef>
#include <cstdint>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include "core/catalogue.h"

namespace callwright::fuzz {

// Each check gives an empty text when it holds, otherwise what failed.
inline std::string CheckRow(std::wstring_view path, std::int64_t file_size, const NumberSeparators& separators,
                            const RecordingRow& row) {
  if (row.FileLocation != path) return "file location differs from the path";

  const std::size_t cut = path.find_last_of(L"\\:");
  const std::wstring_view name = cut == std::wstring_view::npos ? path : path.substr(cut + 1);
  // Characters first+1 .. first+count, as far as the name reaches.
  auto piece = [&](std::size_t first, std::size_t count) {
    return first >= name.size() ? std::wstring() : std::wstring(name.substr(first, count));
  };
  if (row.When != piece(0, 2) + L"/" + piece(2, 2) + L"/" + piece(4, 4) + L" at " + piece(9, 2) + L":" +
                      piece(11, 2) + L":" + piece(13, 2)) {
    return "When differs from the name's positions";
  }
  std::wstring_view rest = name;
  for (int i = 0; i < 2; ++i) {
    const std::size_t underscore = rest.find(L'_');
    if (underscore != std::wstring_view::npos) rest = rest.substr(underscore + 1);
  }
  // std::regex_replace removes left to right and never searches the joined text again.
  static const std::wregex kWav(L"\\.wav", std::regex::icase);
  if (row.Partner != std::regex_replace(std::wstring(rest), kWav, L"")) return "Partner differs";

  if (file_size < 0) {
    if (row.Size != L"BUSY") return "negative size not BUSY";
  } else {
    // Oracle: 128-bit rounding half up of size * 100 / 1024^unit.
    static constexpr std::array<std::wstring_view, 4> kUnits = {L" Bytes", L" KB", L" MB", L" GB"};
    std::size_t unit = 0;
    const auto raw_size = static_cast<std::uint64_t>(file_size);
    while (unit < 3 && raw_size >= (std::uint64_t{1} << (10 * (unit + 1)))) ++unit;
    const unsigned __int128 divisor = static_cast<unsigned __int128>(1) << (10 * unit);
    const unsigned __int128 scaled = (static_cast<unsigned __int128>(raw_size) * 200 + divisor) / (2 * divisor);
    const std::wstring& text = row.Size;
    if (!text.ends_with(kUnits[unit])) return "wrong unit";
    const std::wstring_view number = std::wstring_view(text).substr(0, text.size() - kUnits[unit].size());
    const std::wstring decimals = separators.decimal + L"00";
    if (number.size() < decimals.size() + 1 ||
        number.substr(number.size() - decimals.size(), separators.decimal.size()) != separators.decimal) {
      return "no decimal separator before two decimals";
    }
    unsigned __int128 digits = 0;
    std::size_t digit_count = 0;
    for (const wchar_t c : number) {
      if (c >= L'0' && c <= L'9') {
        digits = digits * 10 + static_cast<unsigned>(c - L'0');
        ++digit_count;
      }
    }
    if (digits != scaled) return "size text has the wrong value";
    const std::size_t whole_digits = digit_count - 2;
    const std::size_t groups = (whole_digits + 2) / 3;
    const std::size_t separator_chars = number.size() - digit_count - separators.decimal.size();
    if (separator_chars != (groups - 1) * separators.thousands.size()) return "wrong number of group separators";
  }
  return {};
}

inline std::string CheckSizeText(std::int64_t file_size, const NumberSeparators& separators) {
  // A negative size is its magnitude's text with a sign.
  if (file_size < 0 && file_size != INT64_MIN &&
      FormatFileSize(file_size, separators) != L"-" + FormatFileSize(-file_size, separators)) {
    return "negative size text is not the signed magnitude";
  }
  return {};
}

inline std::string CheckLines(std::wstring_view text, const std::vector<std::wstring>& lines) {
  // Joined with LF, the lines give the text with every break made LF and one final break dropped.
  std::wstring normal;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\r') {
      normal.push_back(L'\n');
      if (i + 1 < text.size() && text[i + 1] == L'\n') ++i;
    } else {
      normal.push_back(text[i]);
    }
  }
  if (!normal.empty() && normal.back() == L'\n') normal.pop_back();
  std::wstring joined;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].find_first_of(L"\r\n") != std::wstring::npos) return "line holds a break";
    if (i != 0) joined.push_back(L'\n');
    joined += lines[i];
  }
  if (joined != normal || text.empty() != lines.empty()) return "lines do not rebuild the text";
  return {};
}

inline std::string CheckCatalogueInput(const std::uint8_t* data, std::size_t size) {
  std::uint64_t raw_size = 0;
  for (std::size_t i = 0; i < 8 && i < size; ++i) raw_size |= std::uint64_t{data[i]} << (8 * i);
  const auto file_size = static_cast<std::int64_t>(raw_size);
  static const std::array<NumberSeparators, 5> kSeparators = {
      {{L".", L","}, {L",", L"."}, {L",", L"\u00A0"}, {L"\u066B", L"\u066C"}, {L"", L""}}};
  const NumberSeparators& separators = kSeparators[size > 8 ? data[8] % kSeparators.size() : 0];
  std::wstring path;
  for (std::size_t i = 9; i + 1 < size; i += 2) path.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));

  std::string problem = CheckRow(path, file_size, separators, MakeRecordingRow(path, file_size, separators));
  if (problem.empty()) problem = CheckSizeText(file_size, separators);
  if (problem.empty()) problem = CheckLines(path, SplitLines(path));
  return problem;
}

}  // namespace callwright::fuzz
