#pragma once
// The shell's folder dialog, modal to the window that asks for it and centred over it.
#include <windows.h>
#include <shlobj.h>

#include <string>

namespace callwright {

// The chosen folder's file-system path; empty when the user cancels or the chosen item has no
// file-system path. A non-empty initial folder is selected when the dialog opens.
std::wstring BrowseForFolder(HWND owner, const std::wstring& title, const std::wstring& initial_folder,
                             bool show_new_folder_button);

// The dialog's callback: once the dialog is up, centres it over its owner and selects the initial
// folder of the latest BrowseForFolder call, if any. Always returns 0.
int CALLBACK BrowseCallback(HWND dialog, UINT msg, LPARAM param, LPARAM data);

// The shell calls behind BrowseForFolder, replaceable in tests.
struct FolderDialogCalls {
  PIDLIST_ABSOLUTE(WINAPI* browse)(LPBROWSEINFOW info);
  BOOL(WINAPI* path_from_id_list)(PCIDLIST_ABSOLUTE list, LPWSTR path);
  void(WINAPI* free_id_list)(LPVOID list);
};
extern FolderDialogCalls FolderDialog;

}  // namespace callwright
