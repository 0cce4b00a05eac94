#pragma once
// The conversion worker's Windows side: the thread in background mode, the real files, and its
// results announced to a window by a private message.
#include <windows.h>

#include "audio/conversion_worker.h"

namespace callwright {

// Services that convert with the disk's files and post kConversionsMessage to `window`.
ConversionServices BackgroundConversionServices(HWND window);

// Waits while another process holds the file open for writing (the client finishing it), at most
// `limit` and no longer than `stop` stays clear. True when it can be read now (or the wait cannot
// help: the file is gone or denied).
bool WaitUntilWritten(const std::wstring& path, DWORD limit_ms, const std::atomic<bool>& stop);

}  // namespace callwright
