#include "ui/toolkit/clipboard.h"

// After windows.h.
#include <oleidl.h>
#include <shlobj.h>

#include <cstddef>
#include <utility>

#include "base/drop_files.h"
#include "ui/toolkit/com.h"

namespace callwright {

namespace {

// Another program (a clipboard viewer, say) may have it open for a moment.
constexpr int kOpenAttempts = 10;
constexpr DWORD kOpenRetryMs = 20;

struct Format {
  UINT id;
  GlobalMemory data;
};

GlobalMemory MemoryWith(const void* data, std::size_t size) {
  GlobalMemory memory(size);
  if (memory && !memory.Fill(data, size)) return {};
  return memory;
}

// Empties the clipboard and puts the formats on it; each block the clipboard took is its own from
// then on (SetClipboardData's contract), the others are freed here.
DWORD PutOnClipboard(HWND owner, std::vector<Format> formats) {
  for (const Format& format : formats) {
    if (!format.data || format.id == 0) return ERROR_NOT_ENOUGH_MEMORY;
  }
  const ClipboardScope clipboard(owner);
  if (!clipboard.Open()) return clipboard.Error();
  if (!::EmptyClipboard()) return ::GetLastError();
  for (Format& format : formats) {
    if (!::SetClipboardData(format.id, format.data.Get())) return ::GetLastError();
    format.data.Release();
  }
  return 0;
}

}  // namespace

ClipboardScope::ClipboardScope(HWND owner) {
  for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
    if (::OpenClipboard(owner)) {
      open_ = true;
      return;
    }
    error_ = ::GetLastError();
    ::Sleep(kOpenRetryMs);
  }
  if (error_ == 0) error_ = ERROR_ACCESS_DENIED;
}

ClipboardScope::~ClipboardScope() {
  if (open_) ::CloseClipboard();
}

DWORD CopyFilesToClipboard(HWND owner, const std::vector<std::wstring>& paths) {
  const std::vector<std::byte> files = DropFilesBlock(paths);
  const DWORD effect = DROPEFFECT_COPY;
  std::vector<Format> formats;
  formats.push_back({CF_HDROP, MemoryWith(files.data(), files.size())});
  formats.push_back({::RegisterClipboardFormatW(CFSTR_PREFERREDDROPEFFECT), MemoryWith(&effect, sizeof(effect))});
  return PutOnClipboard(owner, std::move(formats));
}

DWORD CopyTextToClipboard(HWND owner, const std::wstring& text) {
  std::vector<Format> formats;
  formats.push_back({CF_UNICODETEXT, MemoryWith(text.c_str(), (text.size() + 1) * sizeof(wchar_t))});
  return PutOnClipboard(owner, std::move(formats));
}

}  // namespace callwright
