#pragma once
// The system's own text for an error code, and the program's error made from GetLastError.
#include <windows.h>

#include <string>
#include <string_view>

#include "base/app_error.h"

namespace callwright {

// The system's message for the code without its closing line break; "error N" when the system
// has none.
std::wstring SystemErrorText(DWORD code);

// `what`, a colon and the text of GetLastError, which is read first of all.
AppError LastError(std::wstring_view what);

}  // namespace callwright
