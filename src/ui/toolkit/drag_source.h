#pragma once
// Dragging files out of the program into another one (a folder, a mail, a chat): the shell's own
// data object for the files, handed to OLE's drag loop.
#include <windows.h>
// After windows.h.
#include <objidl.h>

#include <string>
#include <vector>

#include "ui/toolkit/com.h"

namespace callwright {

// The shell's data object for the files (the one Explorer itself hands over: file list, item ID
// lists, file names), made by their folder's IShellFolder. All files must lie in the folder of
// the first; others are left out. Null when the shell cannot make it (a path it cannot parse).
ComPtr<IDataObject> ShellFilesDataObject(HWND owner, const std::vector<std::wstring>& paths);

// DoDragDrop of the files, offering only a copy: the files stay where they are. Runs OLE's drag
// loop, which returns at the drop or when the drag is cancelled (Esc, or the left button released
// where nothing takes the files). Needs OleInitialize on this thread. Returns the effect the drop
// target chose (DROPEFFECT_COPY), or DROPEFFECT_NONE.
DWORD DragFilesOut(HWND owner, const std::vector<std::wstring>& paths);

}  // namespace callwright
