#include "ui/toolkit/shell.h"

// After windows.h.
#include <shellapi.h>

#include "ui/toolkit/application.h"

namespace callwright {

namespace {

// ShellExecuteW's codes up to 32, the SE_ERR_* values and the few system errors it passes on.
std::wstring FailureReason(std::intptr_t code) {
  switch (code) {
    case 0:
      return L"the system is out of memory or resources";
    case ERROR_FILE_NOT_FOUND:
      return L"the file was not found";
    case ERROR_PATH_NOT_FOUND:
      return L"the path was not found";
    case ERROR_BAD_FORMAT:
      return L"the program file is not valid";
    case SE_ERR_ACCESSDENIED:
      return L"access is denied";
    case SE_ERR_OOM:
      return L"there is not enough memory";
    case SE_ERR_SHARE:
      return L"a sharing violation occurred";
    case SE_ERR_ASSOCINCOMPLETE:
      return L"the file type's association is incomplete or invalid";
    case SE_ERR_DDETIMEOUT:
      return L"the program did not answer in time";
    case SE_ERR_DDEFAIL:
    case SE_ERR_DDEBUSY:
      return L"the program that opens it refused the request";
    case SE_ERR_NOASSOC:
      return L"no program is associated with this file type";
    case SE_ERR_DLLNOTFOUND:
      return L"a library the program needs was not found";
    default:
      return L"error " + std::to_wstring(code);
  }
}

}  // namespace

std::intptr_t ShellExecuteOpen(const std::wstring& target) {
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_FLAG_NO_UI;
  info.lpVerb = L"open";
  info.lpFile = target.c_str();
  info.nShow = SW_SHOW;
  const bool opened = ::ShellExecuteExW(&info) != FALSE;
  const auto code = reinterpret_cast<std::intptr_t>(info.hInstApp);
  if (opened) return code > 32 ? code : 33;
  if (code > 0 && code <= 32) return code;
  // No SE_ERR_* code given: the thread's error, when it is one of the same range.
  const DWORD error = ::GetLastError();
  return error > 0 && error <= 32 ? static_cast<std::intptr_t>(error) : 0;
}

ShellOpenFunction ShellOpen = &ShellExecuteOpen;

std::wstring ShellOpenFailureText(const std::wstring& target, std::intptr_t code) {
  return L"Unable to open " + target + L": " + FailureReason(code) + L".";
}

bool ShellOpenOrReport(HWND owner, const std::wstring& target) {
  const std::intptr_t result = ShellOpen(target);
  if (result > 32) return true;
  ::MessageBoxW(owner, ShellOpenFailureText(target, result).c_str(), Application::Instance().Title().c_str(),
                MB_OK | MB_ICONEXCLAMATION);
  return false;
}

}  // namespace callwright
