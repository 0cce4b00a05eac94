#include "ui/toolkit/shell.h"

#include <windows.h>
// After windows.h.
#include <shellapi.h>

namespace callwright {

void ShellExecuteOpen(const std::wstring& target) {
  ::ShellExecuteW(nullptr, L"open", target.c_str(), nullptr, nullptr, SW_SHOW);
}

ShellOpenFunction ShellOpen = &ShellExecuteOpen;

}  // namespace callwright
