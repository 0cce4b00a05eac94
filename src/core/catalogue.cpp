#include "core/catalogue.h"

#include <algorithm>
#include <array>

#include "base/decimal.h"

namespace callwright {

namespace {

constexpr std::array<const wchar_t*, 4> kUnits = {L" Bytes", L" KB", L" MB", L" GB"};

// Decimal digits of `value` with `separator` between groups of three.
std::wstring GroupedDigits(std::uint64_t value, const std::wstring& separator) {
  const std::wstring digits = DecimalText(value);
  std::wstring out;
  out.reserve(digits.size() + (digits.size() / 3) * separator.size());
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i != 0 && (digits.size() - i) % 3 == 0) out += separator;
    out.push_back(digits[i]);
  }
  return out;
}

// Characters `first`..`last` (counted from 1) of `name`, as far as they exist.
std::wstring_view CharacterRange(std::wstring_view name, std::size_t first, std::size_t last) {
  if (first > name.size()) return {};
  return name.substr(first - 1, last - first + 1);  // substr clips at the end
}

wchar_t AsciiUpper(wchar_t c) { return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

// `tag` (in capitals) stands at `pos`, in any letter case.
bool MatchesAt(std::wstring_view text, std::size_t pos, std::wstring_view tag) {
  if (pos > text.size() || text.size() - pos < tag.size()) return false;
  for (std::size_t i = 0; i < tag.size(); ++i) {
    if (AsciiUpper(text[pos + i]) != tag[i]) return false;
  }
  return true;
}

bool MatchesWavAt(std::wstring_view text, std::size_t pos) { return MatchesAt(text, pos, L".WAV"); }

// A converted recording's extension at the end of the name: its length, else 0.
std::size_t ConvertedExtension(std::wstring_view name) {
  for (std::wstring_view extension : {std::wstring_view(L".FLAC"), std::wstring_view(L".OPUS")}) {
    if (name.size() >= extension.size() && MatchesAt(name, name.size() - extension.size(), extension)) {
      return extension.size();
    }
  }
  return 0;
}

// Everything after the first "_"; the whole text when there is none.
std::wstring_view AfterFirstUnderscore(std::wstring_view text) {
  const std::size_t pos = text.find(L'_');
  return pos == std::wstring_view::npos ? text : text.substr(pos + 1);
}

std::wstring PartnerFromName(std::wstring_view name) {
  // A converted recording's partner is the one its WAV had.
  name.remove_suffix(ConvertedExtension(name));
  const std::wstring_view rest = AfterFirstUnderscore(AfterFirstUnderscore(name));
  // One left-to-right pass: text joined up by a removal is not searched again.
  std::wstring partner;
  partner.reserve(rest.size());
  std::size_t pos = 0;
  while (pos < rest.size()) {
    if (MatchesWavAt(rest, pos)) {
      pos += 4;
    } else {
      partner.push_back(rest[pos++]);
    }
  }
  return partner;
}

}  // namespace

std::wstring FormatFileSize(std::int64_t size, const NumberSeparators& separators) {
  // Negative sizes never come from a file; they are written with a sign rather than wrapped.
  const bool negative = size < 0;
  const std::uint64_t magnitude =
      negative ? static_cast<std::uint64_t>(-(size + 1)) + 1 : static_cast<std::uint64_t>(size);

  // Sizes of 1024^4 and more stay in " GB", with a longer integer part.
  std::size_t unit = 0;
  std::uint64_t divisor = 1;
  while (unit + 1 < kUnits.size() && magnitude >= divisor * 1024) {
    divisor *= 1024;
    ++unit;
  }

  // Exact integer rounding, half up: the divisor is a power of two, so halves are exact.
  std::uint64_t whole = magnitude / divisor;
  const std::uint64_t remainder = magnitude % divisor;  // < 2^30, so * 100 cannot overflow
  std::uint64_t hundredths = (remainder * 100 + divisor / 2) / divisor;
  if (hundredths == 100) {
    ++whole;
    hundredths = 0;
  }

  std::wstring text;
  if (negative) text.push_back(L'-');
  text += GroupedDigits(whole, separators.thousands);
  text += separators.decimal;
  text.push_back(static_cast<wchar_t>(L'0' + hundredths / 10));
  text.push_back(static_cast<wchar_t>(L'0' + hundredths % 10));
  text += kUnits[unit];
  return text;
}

std::wstring ShownOfTotal(std::uint64_t shown, std::uint64_t total, const NumberSeparators& separators) {
  return GroupedDigits(shown, separators.thousands) + L" of " + GroupedDigits(total, separators.thousands);
}

std::wstring FormatLength(std::uint64_t seconds) {
  const auto two = [](std::uint64_t value) {
    return std::wstring{static_cast<wchar_t>(L'0' + value / 10), static_cast<wchar_t>(L'0' + value % 10)};
  };
  const std::uint64_t hours = seconds / 3600;
  const std::uint64_t minutes = seconds / 60 % 60;
  if (hours == 0) return DecimalText(minutes) + L":" + two(seconds % 60);
  return DecimalText(hours) + L":" + two(minutes) + L":" + two(seconds % 60);
}

std::wstring_view WhenTextIn(std::wstring_view name, wchar_t (&out)[kWhenTextMax]) {
  std::size_t size = 0;
  const auto append = [&](std::wstring_view part) {
    for (const wchar_t c : part) out[size++] = c;
  };
  append(CharacterRange(name, 1, 2));
  append(L"/");
  append(CharacterRange(name, 3, 4));
  append(L"/");
  append(CharacterRange(name, 5, 8));
  append(L" at ");
  append(CharacterRange(name, 10, 11));
  append(L":");
  append(CharacterRange(name, 12, 13));
  append(L":");
  append(CharacterRange(name, 14, 15));
  return {out, size};
}

std::wstring WhenText(std::wstring_view name) {
  wchar_t when[kWhenTextMax];
  return std::wstring(WhenTextIn(name, when));
}

std::wstring PartnerText(std::wstring_view name) { return PartnerFromName(name); }

std::uint64_t RecordingTime(std::wstring_view name) {
  if (name.size() < 15 || name[8] != L'_') return 0;
  const auto number = [&](std::size_t first, std::size_t count, std::uint64_t& out) {
    out = 0;
    for (std::size_t i = first; i < first + count; ++i) {
      if (name[i] < L'0' || name[i] > L'9') return false;
      out = out * 10 + static_cast<std::uint64_t>(name[i] - L'0');
    }
    return true;
  };
  std::uint64_t day, month, year, clock;
  if (!number(0, 2, day) || !number(2, 2, month) || !number(4, 4, year) || !number(9, 6, clock)) return 0;
  return ((year * 100 + month) * 100 + day) * 1000000 + clock;
}

bool IsWavName(std::wstring_view name) { return name.size() >= 4 && MatchesWavAt(name, name.size() - 4); }

bool IsRecordingName(std::wstring_view name) { return IsWavName(name) || ConvertedExtension(name) != 0; }

RecordingFormat FormatOfName(std::wstring_view name) {
  if (IsWavName(name)) return RecordingFormat::Wav;
  if (ConvertedExtension(name) == 0) return RecordingFormat::None;
  return AsciiUpper(name[name.size() - 4]) == L'F' ? RecordingFormat::Flac : RecordingFormat::Opus;
}

RecordingRow MakeRecordingRow(std::wstring_view path, std::int64_t size, const NumberSeparators& separators) {
  const std::size_t slash = path.find_last_of(L"\\:");
  const std::wstring_view name = slash == std::wstring_view::npos ? path : path.substr(slash + 1);

  RecordingRow row;
  row.When = WhenText(name);
  row.Partner = PartnerFromName(name);
  // Any negative size means the file could not be measured.
  row.Size = size < 0 ? std::wstring(L"BUSY") : FormatFileSize(size, separators);
  row.FileLocation = path;
  return row;
}

std::vector<std::size_t> NewestFirst(const std::vector<WavEntry>& entries) {
  // Times beside their places, sorted in one array rather than through the entries (a million of
  // them take half the time so).
  struct Timed {
    std::uint64_t time;
    std::size_t index;
  };
  std::vector<Timed> timed(entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) timed[i] = {entries[i].write_time, i};
  std::sort(timed.begin(), timed.end(), [](const Timed& a, const Timed& b) {
    return a.time != b.time ? a.time > b.time : a.index < b.index;
  });
  std::vector<std::size_t> order(entries.size());
  for (std::size_t i = 0; i < timed.size(); ++i) order[i] = timed[i].index;
  return order;
}

std::vector<std::wstring> SplitLines(std::wstring_view text) {
  std::vector<std::wstring> lines;
  std::size_t start = 0;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const wchar_t c = text[pos];
    if (c == L'\r' || c == L'\n') {
      lines.emplace_back(text.substr(start, pos - start));
      pos += (c == L'\r' && pos + 1 < text.size() && text[pos + 1] == L'\n') ? 2 : 1;
      start = pos;
    } else {
      ++pos;
    }
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

}  // namespace callwright
