#include "audio/conversion_worker_win.h"

#include "base/handles.h"
#include "base/private_messages.h"

namespace callwright {

bool WaitUntilWritten(const std::wstring& path, DWORD limit_ms, const std::atomic<bool>& stop) {
  const ULONGLONG end = ::GetTickCount64() + limit_ms;
  for (;;) {
    // The same sharing as the converter's own read: no writer may hold the file.
    const FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (file) return true;
    const DWORD error = ::GetLastError();
    if (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION) return true;
    if (stop || ::GetTickCount64() >= end) return false;
    ::Sleep(100);
  }
}

ConversionServices BackgroundConversionServices(HWND window) {
  return {
      .convert =
          [](const std::wstring& wav, KeepFormat format, const std::atomic<bool>& stop) {
            // The client may close the file a moment after it reports the call's end.
            if (!WaitUntilWritten(wav, 30000, stop)) {
              Conversion busy;
              busy.reason = stop ? "stopped before the end" : "the recording is still held open";
              return busy;
            }
            return ConvertRecording(DiskFileSystem(), wav, format, &stop);
          },
      .clean_up = [](const std::wstring& folder) { return CleanUpFolder(DiskFileSystem(), folder); },
      // Lower CPU, disk and memory priority, so that a call in progress and the client writing it
      // are never starved.
      .thread_start = [] { ::SetThreadPriority(::GetCurrentThread(), THREAD_MODE_BACKGROUND_BEGIN); },
      .wake = [window] { ::PostMessageW(window, kConversionsMessage, 0, 0); },
  };
}

}  // namespace callwright
