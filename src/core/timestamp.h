#pragma once
#include <string>

#include "core/platform.h"

namespace callwright {

// DDMMYYYY_hhmmss: two digits for day, month, hour, minute and second, the year in decimal.
std::wstring FormatTimestamp(const LocalTime& time);
// The current local time as a timestamp, from one reading of the clock.
std::wstring MakeTimestamp(const Platform& platform);

}  // namespace callwright
