#pragma once
// A second process (file_holder.exe) that holds a file open for writing, sharing it for reading
// only, as the client does while it records into it.
#include <windows.h>

#include <optional>
#include <string>

#include "support/process_win.h"
#include "base/handles.h"

namespace callwright::test {

class FileHolder {
 public:
  // Starts the holder and waits until it holds the file or has ended. Throws std::runtime_error
  // when it cannot be started.
  explicit FileHolder(const std::wstring& file);
  ~FileHolder();  // releases the file
  FileHolder(const FileHolder&) = delete;
  FileHolder& operator=(const FileHolder&) = delete;

  bool Held() const noexcept { return held_; }
  // Lets go of the file and waits for the holder to end; its exit code (0 when it held the file
  // until told), nothing when it did not end in time.
  std::optional<DWORD> Release();

 private:
  KernelHandle ready_, release_;
  std::optional<ChildProcess> process_;
  bool held_ = false;
};

}  // namespace callwright::test
