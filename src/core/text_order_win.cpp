#include "core/text_order_win.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>

#include "core/recording_list.h"

namespace callwright {

namespace {

constexpr DWORD kNaturalFlags = NORM_IGNORECASE | SORT_DIGITSASNUMBERS;
constexpr DWORD kFindFlags = LINGUISTIC_IGNORECASE | LINGUISTIC_IGNOREDIACRITIC;

std::string SortKey(std::wstring_view text, DWORD flags) {
  char key[256];
  const int size = ::LCMapStringEx(LOCALE_NAME_USER_DEFAULT, LCMAP_SORTKEY | flags, text.data(),
                                   static_cast<int>(text.size()), reinterpret_cast<LPWSTR>(key), sizeof(key),
                                   nullptr, nullptr, 0);
  return size > 0 ? std::string(key, static_cast<std::size_t>(size)) : std::string();
}

// The alphabetic weights of a sort key: what stands before its first separator.
std::string_view Primary(std::string_view key) { return key.substr(0, key.find('\x01')); }

// The search's match for printable ASCII, settled once: a character whose key under the search's
// flags has alphabetic weights, and that forms no contraction with another such character, is one
// sorting element, so a text of them holds a part of them exactly when the part's elements stand
// in the text's in a row. FindNLSStringEx answers the same way, but costs far more per call where
// the system's search is slow (Wine: 13 µs, well over a second a keystroke for 100,000 rows).
// Taken in the locale of the first search.
class AsciiElements {
 public:
  static constexpr wchar_t kLast = 0x7E;
  AsciiElements() {
    std::array<std::string, kLast + 1> keys;
    std::map<std::string, std::uint8_t> ids;
    for (wchar_t c = 0x20; c <= kLast; ++c) {
      keys[c] = SortKey(std::wstring_view(&c, 1), kFindFlags);
      const std::string_view primary = Primary(keys[c]);
      // No weights: ignored in a match (or weighed apart, as the hyphen and the apostrophe are).
      if (primary.empty() || primary.size() == keys[c].size()) continue;
      id_[c] = ids.try_emplace(keys[c], static_cast<std::uint8_t>(ids.size() + 1)).first->second;
    }
    // A pair that sorts as one element (a contraction of the locale) is left to the system.
    std::array<bool, kLast + 1> contracts{};
    for (wchar_t a = 0x20; a <= kLast; ++a) {
      for (wchar_t b = 0x20; b <= kLast; ++b) {
        if (!id_[a] || !id_[b]) continue;
        const wchar_t pair[] = {a, b};
        const std::string key = SortKey(std::wstring_view(pair, 2), kFindFlags);
        std::string joined(Primary(keys[a]));
        joined += Primary(keys[b]);
        if (Primary(key) != joined) contracts[a] = contracts[b] = true;
      }
    }
    for (wchar_t c = 0x20; c <= kLast; ++c) {
      if (contracts[c]) id_[c] = 0;
    }
  }

  bool Settled(std::wstring_view text) const {
    return std::all_of(text.begin(), text.end(), [this](wchar_t c) { return Id(c) != 0; });
  }

  // The elements of `text` into `out`; false when one character is not settled here.
  bool Elements(std::wstring_view text, std::uint8_t* out) const {
    for (std::size_t i = 0; i < text.size(); ++i) {
      out[i] = Id(text[i]);
      if (out[i] == 0) return false;
    }
    return true;
  }

 private:
  // The character's element, 0 when it is not settled here.
  std::uint8_t Id(wchar_t c) const { return c <= kLast ? id_[c] : 0; }

  std::array<std::uint8_t, kLast + 1> id_{};
};

const AsciiElements& Elements() {
  static const AsciiElements elements;
  return elements;
}

}  // namespace

int NaturalCompare(std::wstring_view a, std::wstring_view b) {
  const int order = ::CompareStringEx(LOCALE_NAME_USER_DEFAULT, kNaturalFlags, a.data(), static_cast<int>(a.size()),
                                      b.data(), static_cast<int>(b.size()), nullptr, nullptr, 0);
  return order == 0 ? 0 : order - CSTR_EQUAL;
}

std::string NaturalSortKey(std::wstring_view text) {
  // An empty source is an error for LCMapStringEx; its key is the empty one, first of all.
  if (text.empty()) return std::string(1, '\0');
  // Keys of short names fit here; a longer one asks its size first.
  std::string key(256, '\0');
  int size = ::LCMapStringEx(LOCALE_NAME_USER_DEFAULT, LCMAP_SORTKEY | kNaturalFlags, text.data(),
                             static_cast<int>(text.size()), reinterpret_cast<LPWSTR>(key.data()),
                             static_cast<int>(key.size()), nullptr, nullptr, 0);
  if (size == 0 && ::GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
    size = ::LCMapStringEx(LOCALE_NAME_USER_DEFAULT, LCMAP_SORTKEY | kNaturalFlags, text.data(),
                           static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr, 0);
    if (size <= 0) return {};
    key.assign(static_cast<std::size_t>(size), '\0');
    size = ::LCMapStringEx(LOCALE_NAME_USER_DEFAULT, LCMAP_SORTKEY | kNaturalFlags, text.data(),
                           static_cast<int>(text.size()), reinterpret_cast<LPWSTR>(key.data()),
                           static_cast<int>(key.size()), nullptr, nullptr, 0);
  }
  if (size <= 0) return {};
  key.resize(static_cast<std::size_t>(size));
  return key;
}

bool ContainsLinguistic(std::wstring_view text, std::wstring_view part) {
  if (part.empty()) return true;
  std::uint8_t text_elements[256], part_elements[64];
  if (text.size() <= std::size(text_elements) && part.size() <= std::size(part_elements) &&
      Elements().Elements(part, part_elements) && Elements().Elements(text, text_elements)) {
    if (part.size() > text.size()) return false;
    const std::uint8_t* const begin = text_elements;
    const std::uint8_t* const end = begin + text.size();
    return std::search(begin, end, part_elements, part_elements + part.size()) != end;
  }
  return ::FindNLSStringEx(LOCALE_NAME_USER_DEFAULT, FIND_FROMSTART | LINGUISTIC_IGNORECASE | LINGUISTIC_IGNOREDIACRITIC,
                           text.data(), static_cast<int>(text.size()), part.data(), static_cast<int>(part.size()),
                           nullptr, nullptr, nullptr, 0) >= 0;
}

bool MatchedCharacterByCharacter(std::wstring_view text) { return Elements().Settled(text); }

void UseWindowsTextOrder(RecordingListServices& services) {
  services.compare = &NaturalCompare;
  services.sort_key = &NaturalSortKey;
  services.contains = &ContainsLinguistic;
  services.matched_in_steps = &MatchedCharacterByCharacter;
}

}  // namespace callwright
