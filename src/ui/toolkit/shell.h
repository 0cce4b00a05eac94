#pragma once
// Opening files, folders and web addresses with the shell's default action.
#include <string>

namespace callwright {

// ShellExecuteW(no owner, "open", target, no parameters, no working folder, SW_SHOW); the result is
// ignored. Replaceable so that tests can watch what is opened.
using ShellOpenFunction = void (*)(const std::wstring& target);
extern ShellOpenFunction ShellOpen;

void ShellExecuteOpen(const std::wstring& target);

}  // namespace callwright
