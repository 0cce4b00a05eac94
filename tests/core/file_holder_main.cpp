// Holds a file open for writing, sharing it for reading only, as the client does while it writes a
// recording; signals when the file is held and lets go when told to.
// Usage: file_holder <file> <ready event name> <release event name>
#include <windows.h>

#include "base/handles.h"

int wmain(int argc, wchar_t** argv) {
  using namespace callwright;
  if (argc != 4) return 2;
  const KernelHandle ready(::OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[2]));
  const KernelHandle release(::OpenEventW(SYNCHRONIZE, FALSE, argv[3]));
  if (!ready || !release) return 3;
  const FileHandle file(
      ::CreateFileW(argv[1], GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return 4;
  ::SetEvent(ready.Get());
  return ::WaitForSingleObject(release.Get(), 60000) == WAIT_OBJECT_0 ? 0 : 5;
}
