#pragma once
// Opening files, folders and web addresses with the shell's default action.
#include <windows.h>

#include <cstdint>
#include <string>

namespace callwright {

// Opens `target` with the shell's "open" action and SW_SHOW. The result is ShellExecuteW's: above
// 32 when the target was opened, otherwise its error code (SE_ERR_*). Replaceable so that tests can
// watch what is opened.
using ShellOpenFunction = std::intptr_t (*)(const std::wstring& target);
extern ShellOpenFunction ShellOpen;

// The shell's own error boxes are kept out: ShellOpenOrReport reports failures itself.
std::intptr_t ShellExecuteOpen(const std::wstring& target);

// "Unable to open <target>: <reason>." for one of ShellExecuteW's error codes.
std::wstring ShellOpenFailureText(const std::wstring& target, std::intptr_t code);

// ShellOpen, and a box modal to `owner` naming the target and the reason when it fails. True when
// the target was opened.
bool ShellOpenOrReport(HWND owner, const std::wstring& target);

}  // namespace callwright
