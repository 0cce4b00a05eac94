#pragma once
// The few platform services the window-free logic needs. The program uses the Win32 ones
// (SystemPlatform, Windows only); tests on the host supply their own.
#include <string>
#include <string_view>

namespace callwright {

struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

class Platform {
 public:
  virtual ~Platform() = default;
  // Locale-aware upper-casing that keeps the length (CharUpperBuffW on Windows).
  virtual std::wstring UpperCase(std::wstring_view text) const = 0;
  // Text in the system's ANSI code page to and from UTF-16.
  virtual std::wstring DecodeAnsi(std::string_view bytes) const = 0;
  virtual std::string EncodeAnsi(std::wstring_view text) const = 0;
  // One reading of the local clock.
  virtual LocalTime Now() const = 0;
};

// True when the ANSI code page holds the text: encoding and decoding give it back unchanged (a
// character the code page lacks, or maps to a look-alike, does not come back).
inline bool SurvivesAnsi(std::wstring_view text, const Platform& platform) {
  return platform.DecodeAnsi(platform.EncodeAnsi(text)) == text;
}

#ifdef _WIN32
const Platform& SystemPlatform();
#endif

}  // namespace callwright
