#pragma once
// Opening files, folders and web addresses with the shell's default action.
#include <windows.h>

// After windows.h.
#include <shtypes.h>

#include <cstdint>
#include <string>
#include <vector>

namespace callwright {

// Opens `target` with the shell's "open" action and SW_SHOW. The result is ShellExecuteW's: above
// 32 when the target was opened, otherwise its error code (SE_ERR_*). Replaceable so that tests can
// watch what is opened.
using ShellOpenFunction = std::intptr_t (*)(const std::wstring& target);
extern ShellOpenFunction ShellOpen;

// The shell's own error boxes are kept out: ShellOpenOrReport reports failures itself.
std::intptr_t ShellExecuteOpen(const std::wstring& target);

// "Unable to open <target>: <reason>." for one of ShellExecuteW's error codes.
std::wstring ShellOpenFailureText(const std::wstring& target, std::intptr_t code);

// ShellOpen, and a box modal to `owner` naming the target and the reason when it fails. True when
// the target was opened.
bool ShellOpenOrReport(HWND owner, const std::wstring& target);

// SHOpenFolderAndSelectItems, replaceable so that tests can see which items of which folder would
// be shown (the shell's window cannot be shown here).
using SelectInFolderFunction = HRESULT(WINAPI*)(PCIDLIST_ABSOLUTE folder, UINT count, PCUITEMID_CHILD_ARRAY items,
                                                DWORD flags);
extern SelectInFolderFunction SelectInFolder;

// Opens the folder of the files in the file browser with all of them selected: one call per
// folder, in the order the folders first come. Needs COM on this thread. S_OK, or the first
// failure (a path the shell cannot parse: its error; the files of the folders before it are shown).
HRESULT ShowInFolder(const std::vector<std::wstring>& paths);

}  // namespace callwright
