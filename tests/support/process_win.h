#pragma once
// Second processes for tests: started with arguments, waited for while this thread keeps answering
// messages, terminated at the end if still running.
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/handles.h"

namespace callwright::test {

// The folder of the running test program; the build puts every executable there.
std::wstring ExeFolder();
// ExeFolder() + "\" + name.
std::wstring ExePath(std::wstring_view name);

// Quotes one argument so that CommandLineToArgvW gives it back unchanged.
std::wstring QuoteArgument(std::wstring_view argument);

class ChildProcess {
 public:
  // Starts `exe` with `args` (quoted as needed), in `working_folder` when one is given, else in
  // this process's current folder. Throws std::runtime_error naming the program and the error
  // when it cannot be started, so that no test goes on without its second process.
  ChildProcess(const std::wstring& exe, const std::vector<std::wstring>& args, const std::wstring& working_folder = {});
  ~ChildProcess();  // terminates a process that still runs, then waits for it
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  DWORD Id() const noexcept { return id_; }
  HANDLE Handle() const noexcept { return process_.Get(); }

  // Waits for the end, dispatching this thread's messages meanwhile: the child may send messages
  // to our windows and would otherwise block. True when the process has ended.
  bool Wait(DWORD timeout_ms);
  bool Running() const;
  // The exit code once the process has ended.
  std::optional<DWORD> ExitCode() const;
  void Terminate(UINT exit_code = 1);

 private:
  KernelHandle process_;
  DWORD id_ = 0;
};

}  // namespace callwright::test
