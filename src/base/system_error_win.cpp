#include "base/system_error_win.h"

#include <memory>

#include "base/decimal.h"

namespace callwright {

namespace {
struct LocalFreeDeleter {
  void operator()(wchar_t* text) const noexcept { ::LocalFree(text); }
};
}  // namespace

std::wstring SystemErrorText(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
      reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  const std::unique_ptr<wchar_t, LocalFreeDeleter> owner(buffer);
  std::wstring text = length != 0 && buffer != nullptr ? std::wstring(buffer, length) : std::wstring();
  // The system's texts end in a line break; any trailing blank or control character goes.
  while (!text.empty() && text.back() <= L' ') text.pop_back();
  if (text.empty()) text = L"error " + DecimalText(code);
  return text;
}

AppError LastError(std::wstring_view what) {
  const DWORD code = ::GetLastError();
  return AppError(std::wstring(what) + L": " + SystemErrorText(code));
}

}  // namespace callwright
