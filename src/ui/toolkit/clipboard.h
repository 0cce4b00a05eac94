#pragma once
// The clipboard: files as Explorer copies them, and text.
#include <windows.h>

#include <string>
#include <vector>

namespace callwright {

// OpenClipboard for a scope, retried for a moment while another program holds it open.
class ClipboardScope {
 public:
  explicit ClipboardScope(HWND owner);
  ~ClipboardScope();
  ClipboardScope(const ClipboardScope&) = delete;
  ClipboardScope& operator=(const ClipboardScope&) = delete;

  bool Open() const noexcept { return open_; }
  // OpenClipboard's error when it could not be opened.
  DWORD Error() const noexcept { return error_; }

 private:
  bool open_ = false;
  DWORD error_ = 0;
};

// Puts the files on the clipboard as Explorer's Copy does: the file list (CF_HDROP) and the
// "Preferred DropEffect" DROPEFFECT_COPY, so that Paste in a folder copies them and a mail program
// attaches them. `owner` becomes the clipboard's owner. 0, or the system error that stopped it.
DWORD CopyFilesToClipboard(HWND owner, const std::vector<std::wstring>& paths);
// Puts the text on the clipboard (CF_UNICODETEXT). 0, or the system error that stopped it.
DWORD CopyTextToClipboard(HWND owner, const std::wstring& text);

}  // namespace callwright
