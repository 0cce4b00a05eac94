#include "core/text_order_win.h"

#include <windows.h>

#include "core/recording_list.h"

namespace callwright {

namespace {

constexpr DWORD kNaturalFlags = NORM_IGNORECASE | SORT_DIGITSASNUMBERS;

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
  return ::FindNLSStringEx(LOCALE_NAME_USER_DEFAULT, FIND_FROMSTART | LINGUISTIC_IGNORECASE | LINGUISTIC_IGNOREDIACRITIC,
                           text.data(), static_cast<int>(text.size()), part.data(), static_cast<int>(part.size()),
                           nullptr, nullptr, nullptr, 0) >= 0;
}

void UseWindowsTextOrder(RecordingListServices& services) {
  services.compare = &NaturalCompare;
  services.sort_key = &NaturalSortKey;
  services.contains = &ContainsLinguistic;
}

}  // namespace callwright
