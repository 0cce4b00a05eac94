#include "ui/browse_folder.h"

#include <objbase.h>

#include <memory>
#include <type_traits>

#include "ui/toolkit/application.h"

namespace callwright {

FolderDialogCalls FolderDialog = {&::SHBrowseForFolderW, &::SHGetPathFromIDListW, &::CoTaskMemFree};

namespace {

// Read by BrowseCallback while the dialog starts; replaced by every call.
std::wstring g_initial_folder;

// MAX_PATH + 1, for the display name and then the path.
constexpr std::size_t kPathBufferLength = MAX_PATH + 1;

// The dialog's new style needs a single-threaded COM apartment on the GUI thread. Entered once, at
// the first dialog; it lasts as long as the process.
void EnterComApartment() {
  static const HRESULT entered = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  static_cast<void>(entered);
}

struct IdListRelease {
  void operator()(std::remove_pointer_t<PIDLIST_ABSOLUTE>* list) const noexcept { FolderDialog.free_id_list(list); }
};
using IdList = std::unique_ptr<std::remove_pointer_t<PIDLIST_ABSOLUTE>, IdListRelease>;

}  // namespace

std::wstring BrowseForFolder(const std::wstring& title, const std::wstring& initial_folder,
                             bool show_new_folder_button) {
  EnterComApartment();
  BROWSEINFOW info{};
  g_initial_folder = initial_folder;
  wchar_t buffer[kPathBufferLength] = {};
  // Owned by the hidden application window, not by the window that asks.
  info.hwndOwner = Application::Instance().Handle();
  info.pszDisplayName = buffer;
  info.lpszTitle = title.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  if (!show_new_folder_button) info.ulFlags |= BIF_NONEWFOLDERBUTTON;
  if (!initial_folder.empty()) info.lpfn = &BrowseCallback;

  const IdList chosen(FolderDialog.browse(&info));
  if (!chosen) return {};
  if (!FolderDialog.path_from_id_list(chosen.get(), buffer)) return {};
  buffer[kPathBufferLength - 1] = L'\0';
  return buffer;
}

int CALLBACK BrowseCallback(HWND dialog, UINT msg, LPARAM, LPARAM) {
  if (msg == BFFM_INITIALIZED) {
    ::SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(g_initial_folder.c_str()));
  }
  return 0;
}

}  // namespace callwright
