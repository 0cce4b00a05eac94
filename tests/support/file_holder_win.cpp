#include "support/file_holder_win.h"

#include <stdexcept>
#include <vector>

namespace callwright::test {

FileHolder::FileHolder(const std::wstring& file) {
  static int counter = 0;
  const std::wstring stem =
      L"Local\\callwright-hold-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
  ready_.Reset(::CreateEventW(nullptr, TRUE, FALSE, (stem + L"-ready").c_str()));
  release_.Reset(::CreateEventW(nullptr, TRUE, FALSE, (stem + L"-release").c_str()));
  if (!ready_ || !release_) throw std::runtime_error("cannot make the file holder's events");
  process_.emplace(ExePath(L"file_holder.exe"), std::vector<std::wstring>{file, stem + L"-ready", stem + L"-release"});
  const HANDLE waits[] = {ready_.Get(), process_->Handle()};
  held_ = ::WaitForMultipleObjects(2, waits, FALSE, 20000) == WAIT_OBJECT_0;
}

FileHolder::~FileHolder() { Release(); }

std::optional<DWORD> FileHolder::Release() {
  ::SetEvent(release_.Get());
  if (!process_->Wait(20000)) return std::nullopt;
  return process_->ExitCode();
}

}  // namespace callwright::test
