#include "ui/browse_folder.h"

#include <objbase.h>

#include <memory>
#include <type_traits>

#include "ui/toolkit/placement.h"

namespace callwright {

FolderDialogCalls FolderDialog = {&::SHBrowseForFolderW, &::SHGetPathFromIDListW, &::CoTaskMemFree};

namespace {

// Read by BrowseCallback while the dialog starts; replaced by every call.
std::wstring g_initial_folder;

// MAX_PATH + 1, for the display name and then the path.
constexpr std::size_t kPathBufferLength = MAX_PATH + 1;

struct IdListRelease {
  void operator()(std::remove_pointer_t<PIDLIST_ABSOLUTE>* list) const noexcept { FolderDialog.free_id_list(list); }
};
using IdList = std::unique_ptr<std::remove_pointer_t<PIDLIST_ABSOLUTE>, IdListRelease>;

}  // namespace

std::wstring BrowseForFolder(HWND owner, const std::wstring& title, const std::wstring& initial_folder,
                             bool show_new_folder_button) {
  // The dialog's new style needs the OLE apartment that the application object entered at start.
  BROWSEINFOW info{};
  g_initial_folder = initial_folder;
  wchar_t buffer[kPathBufferLength] = {};
  // Modal to the window that asks: it cannot open a second dialog meanwhile.
  info.hwndOwner = owner;
  info.pszDisplayName = buffer;
  info.lpszTitle = title.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  if (!show_new_folder_button) info.ulFlags |= BIF_NONEWFOLDERBUTTON;
  info.lpfn = &BrowseCallback;

  const IdList chosen(FolderDialog.browse(&info));
  if (!chosen) return {};
  if (!FolderDialog.path_from_id_list(chosen.get(), buffer)) return {};
  buffer[kPathBufferLength - 1] = L'\0';
  return buffer;
}

int CALLBACK BrowseCallback(HWND dialog, UINT msg, LPARAM, LPARAM) {
  if (msg == BFFM_INITIALIZED) {
    // The shell places the dialog at the screen's corner, not over its owner.
    CentreWindow(dialog, ::GetWindow(dialog, GW_OWNER));
    if (!g_initial_folder.empty()) {
      ::SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(g_initial_folder.c_str()));
    }
  }
  return 0;
}

}  // namespace callwright
