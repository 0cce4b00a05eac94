#include "core/timestamp.h"

#include "base/decimal.h"

namespace callwright {

namespace {
void AppendTwoDigits(std::wstring& out, int value) {
  if (value < 10) out.push_back(L'0');
  out += DecimalText(value);
}
}  // namespace

std::wstring FormatTimestamp(const LocalTime& time) {
  std::wstring out;
  out.reserve(15);
  AppendTwoDigits(out, time.day);
  AppendTwoDigits(out, time.month);
  out += DecimalText(time.year);
  out.push_back(L'_');
  AppendTwoDigits(out, time.hour);
  AppendTwoDigits(out, time.minute);
  AppendTwoDigits(out, time.second);
  return out;
}

std::wstring MakeTimestamp(const Platform& platform) { return FormatTimestamp(platform.Now()); }

}  // namespace callwright
