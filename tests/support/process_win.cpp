#include "support/process_win.h"

#include <stdexcept>
#include <string>

#include "core/settings_win.h"

namespace callwright::test {

namespace {

// For messages: the path in UTF-8.
std::string Narrow(const std::wstring& text) {
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                         nullptr);
  std::string narrow(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  if (size > 0) {
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(), size, nullptr,
                          nullptr);
  }
  return narrow;
}

}  // namespace

std::wstring ExeFolder() {
  // The program's own folder routine, without its trailing separator.
  std::wstring folder = ExecutableFolder();
  if (!folder.empty()) folder.pop_back();
  return folder;
}

std::wstring ExePath(std::wstring_view name) { return ExeFolder() + L"\\" + std::wstring(name); }

std::wstring QuoteArgument(std::wstring_view argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring_view::npos) {
    return std::wstring(argument);
  }
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    // Backslashes count only before a quote: double them there, and escape the quote.
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted.push_back(c);
  }
  quoted.append(backslashes * 2, L'\\');
  quoted.push_back(L'"');
  return quoted;
}

ChildProcess::ChildProcess(const std::wstring& exe, const std::vector<std::wstring>& args,
                           const std::wstring& working_folder) {
  std::wstring command_line = QuoteArgument(exe);
  for (const std::wstring& arg : args) command_line += L" " + QuoteArgument(arg);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  // Wine now and then refuses a start with ERROR_INTERNAL_ERROR while the machine is busy, and
  // starts the same program a moment later. Any other refusal is for the test to see.
  for (int attempt = 1;; ++attempt) {
    if (::CreateProcessW(exe.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                         working_folder.empty() ? nullptr : working_folder.c_str(), &startup, &info)) {
      break;
    }
    const DWORD error = ::GetLastError();
    if (error != ERROR_INTERNAL_ERROR || attempt == 3) {
      throw std::runtime_error("cannot start " + Narrow(exe) + ", error " + std::to_string(error));
    }
    ::Sleep(200);
  }
  ::CloseHandle(info.hThread);
  process_.Reset(info.hProcess);
  id_ = info.dwProcessId;
}

ChildProcess::~ChildProcess() {
  if (Running()) Terminate();
  ::WaitForSingleObject(process_.Get(), 10000);
}

bool ChildProcess::Wait(DWORD timeout_ms) {
  const ULONGLONG deadline = ::GetTickCount64() + timeout_ms;
  HANDLE process = process_.Get();
  for (;;) {
    const ULONGLONG now = ::GetTickCount64();
    const DWORD left = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
    const DWORD result = ::MsgWaitForMultipleObjects(1, &process, FALSE, left, QS_ALLINPUT);
    if (result == WAIT_OBJECT_0) return true;
    if (result != WAIT_OBJECT_0 + 1) return !Running();
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }
}

bool ChildProcess::Running() const { return ::WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT; }

std::optional<DWORD> ChildProcess::ExitCode() const {
  DWORD code = 0;
  if (Running() || !::GetExitCodeProcess(process_.Get(), &code)) return std::nullopt;
  return code;
}

void ChildProcess::Terminate(UINT exit_code) {
  ::TerminateProcess(process_.Get(), exit_code);
  ::WaitForSingleObject(process_.Get(), 10000);
}

}  // namespace callwright::test
