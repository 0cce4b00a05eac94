#include "support/test_platform.h"

#include <cwctype>

namespace callwright::test {

#ifdef _WIN32

std::wstring TestPlatform::UpperCase(std::wstring_view text) const { return SystemPlatform().UpperCase(text); }
std::wstring TestPlatform::DecodeAnsi(std::string_view bytes) const { return SystemPlatform().DecodeAnsi(bytes); }
std::string TestPlatform::EncodeAnsi(std::wstring_view text) const { return SystemPlatform().EncodeAnsi(text); }

#else

std::wstring TestPlatform::UpperCase(std::wstring_view text) const {
  std::wstring upper(text);
  for (wchar_t& c : upper) {
    // Latin-1 small letters (but not the division sign or y with diaeresis, whose capital lies
    // outside Latin-1 and keeps the length only as a wide character).
    if (c < 0x80) {
      if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - 0x20);
    } else if (c >= 0xE0 && c <= 0xFE && c != 0xF7) {
      c = static_cast<wchar_t>(c - 0x20);
    } else {
      c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    }
  }
  return upper;
}

std::wstring TestPlatform::DecodeAnsi(std::string_view bytes) const {
  std::wstring text(bytes.size(), L'\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) text[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]));
  return text;
}

std::string TestPlatform::EncodeAnsi(std::wstring_view text) const {
  std::string bytes(text.size(), '\0');
  for (std::size_t i = 0; i < text.size(); ++i) bytes[i] = text[i] <= 0xFF ? static_cast<char>(text[i]) : '?';
  return bytes;
}

#endif

LocalTime TestPlatform::Now() const {
  ++readings_;
  return now_;
}

}  // namespace callwright::test
