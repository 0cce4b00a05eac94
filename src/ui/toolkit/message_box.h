#pragma once
// Questions asked with message boxes.
#include <windows.h>

namespace callwright {

// MessageBoxW, replaceable so that tests can make a box fail to open.
using MessageBoxFunction = int(WINAPI*)(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
extern MessageBoxFunction MessageBoxCall;

// A Yes/No question with the question icon, modal to `owner`. Only Yes is a yes: a box that could
// not be opened (0) counts as No.
bool AskYesNo(HWND owner, const wchar_t* text, const wchar_t* caption);

}  // namespace callwright
