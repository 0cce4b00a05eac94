#pragma once
// Moving a file to the Recycle Bin with the shell's file operation (IFileOperation), without any
// of the shell's windows, and never deleting it for good instead.
#include <windows.h>
// After windows.h.
#include <shellapi.h>
#include <shobjidl.h>

#include <string>

namespace callwright {

// Makes the shell's file operation object (CoCreateInstance of CLSID_FileOperation); replaceable
// so that tests can watch the calls where the system has no Recycle Bin to show.
using FileOperationFactory = HRESULT (*)(IFileOperation** operation);
extern FileOperationFactory CreateFileOperation;
HRESULT CreateShellFileOperation(IFileOperation** operation);

enum class RecycleResult {
  Recycled,      // the operation reports the file moved
  NoRecycleBin,  // the file would have been deleted for good (its volume has no Recycle Bin), or
                 // the system's file operation cannot recycle at all: left alone
  Failed,        // the operation failed or left the file (in use, no access, gone)
};

// The flags given to the operation: undo (the Recycle Bin, FOF_ALLOWUNDO and, from Windows 8,
// FOFX_RECYCLEONDELETE) and no user interface (FOF_NO_UI).
inline constexpr DWORD kRecycleFlags = FOF_ALLOWUNDO | FOF_NO_UI | FOFX_RECYCLEONDELETE;

// Moves one file to the Recycle Bin. With FOF_NO_UI the shell would delete for good without
// asking where it cannot recycle; a progress sink sees each item before it goes and stops the one
// that is not to be recycled (its flags lack TSF_DELETE_RECYCLE_IF_POSSIBLE). Runs on any thread
// that is in a COM apartment; the caller checks whether the file is gone.
RecycleResult RecycleFile(const std::wstring& path);

}  // namespace callwright
