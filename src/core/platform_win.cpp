#include <algorithm>
#include <windows.h>

#include "core/platform.h"

namespace callwright {

namespace {

class Win32Platform final : public Platform {
 public:
  std::wstring UpperCase(std::wstring_view text) const override {
    std::wstring upper(text);
    // Plain ASCII, as most file names are, needs no call (a folder's names are all upper-cased
    // when it is listed): a to z are its only lower-case letters, without casing rules (no
    // LCMAP_LINGUISTIC_CASING).
    if (std::all_of(upper.begin(), upper.end(), [](wchar_t c) { return c < 0x80; })) {
      for (wchar_t& c : upper) {
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
      }
      return upper;
    }
    ::CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
    return upper;
  }

  std::wstring DecodeAnsi(std::string_view bytes) const override {
    if (bytes.empty()) return {};
    const int size = static_cast<int>(bytes.size());
    const int length = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
    std::wstring text(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, text.data(), length);
    return text;
  }

  std::string EncodeAnsi(std::wstring_view text) const override {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    // No flags and no default character of our own: what the code page cannot hold becomes the
    // system's default character.
    const int length = ::WideCharToMultiByte(CP_ACP, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text.data(), size, bytes.data(), length, nullptr, nullptr);
    return bytes;
  }

  LocalTime Now() const override {
    SYSTEMTIME st;
    ::GetLocalTime(&st);
    return {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
  }
};

}  // namespace

const Platform& SystemPlatform() {
  static const Win32Platform platform;
  return platform;
}

}  // namespace callwright
