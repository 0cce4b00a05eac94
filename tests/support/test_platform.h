#pragma once
// A platform for tests: a clock that reads what the test set. On the Linux host the text
// services are upper-casing in the manner of towupper (ASCII and Latin-1 letters) and Latin-1 as
// the ANSI code page (unrepresentable characters become "?"); on Windows they are the system's.
#include "core/platform.h"

namespace callwright::test {

class TestPlatform final : public Platform {
 public:
  explicit TestPlatform(LocalTime now = {2013, 3, 7, 9, 5, 3}) : now_(now) {}
  void SetNow(LocalTime now) noexcept { now_ = now; }
  int ClockReadings() const noexcept { return readings_; }

  std::wstring UpperCase(std::wstring_view text) const override;
  std::wstring DecodeAnsi(std::string_view bytes) const override;
  std::string EncodeAnsi(std::wstring_view text) const override;
  LocalTime Now() const override;

 private:
  LocalTime now_;
  mutable int readings_ = 0;
};

}  // namespace callwright::test
