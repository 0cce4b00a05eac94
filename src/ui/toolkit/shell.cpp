#include "ui/toolkit/shell.h"

#include <algorithm>

// After windows.h.
#include <shellapi.h>
#include <shlobj.h>

#include "base/decimal.h"
#include "ui/toolkit/application.h"
#include "ui/toolkit/com.h"

namespace callwright {

namespace {

// ShellExecuteW's codes up to 32, the SE_ERR_* values and the few system errors it passes on.
std::wstring FailureReason(std::intptr_t code) {
  switch (code) {
    case 0:
      return L"the system is out of memory or resources";
    case ERROR_FILE_NOT_FOUND:
      return L"the file was not found";
    case ERROR_PATH_NOT_FOUND:
      return L"the path was not found";
    case ERROR_BAD_FORMAT:
      return L"the program file is not valid";
    case SE_ERR_ACCESSDENIED:
      return L"access is denied";
    case SE_ERR_OOM:
      return L"there is not enough memory";
    case SE_ERR_SHARE:
      return L"a sharing violation occurred";
    case SE_ERR_ASSOCINCOMPLETE:
      return L"the file type's association is incomplete or invalid";
    case SE_ERR_DDETIMEOUT:
      return L"the program did not answer in time";
    case SE_ERR_DDEFAIL:
    case SE_ERR_DDEBUSY:
      return L"the program that opens it refused the request";
    case SE_ERR_NOASSOC:
      return L"no program is associated with this file type";
    case SE_ERR_DLLNOTFOUND:
      return L"a library the program needs was not found";
    default:
      return L"error " + DecimalText(code);
  }
}

}  // namespace

std::intptr_t ShellExecuteOpen(const std::wstring& target) {
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_FLAG_NO_UI;
  info.lpVerb = L"open";
  info.lpFile = target.c_str();
  info.nShow = SW_SHOW;
  const bool opened = ::ShellExecuteExW(&info) != FALSE;
  const auto code = reinterpret_cast<std::intptr_t>(info.hInstApp);
  if (opened) return code > 32 ? code : 33;
  if (code > 0 && code <= 32) return code;
  // No SE_ERR_* code given: the thread's error, when it is one of the same range.
  const DWORD error = ::GetLastError();
  return error > 0 && error <= 32 ? static_cast<std::intptr_t>(error) : 0;
}

ShellOpenFunction ShellOpen = &ShellExecuteOpen;

std::wstring ShellOpenFailureText(const std::wstring& target, std::intptr_t code) {
  return L"Unable to open " + target + L": " + FailureReason(code) + L".";
}

bool ShellOpenOrReport(HWND owner, const std::wstring& target) {
  const std::intptr_t result = ShellOpen(target);
  if (result > 32) return true;
  ::MessageBoxW(owner, ShellOpenFailureText(target, result).c_str(), Application::Instance().Title().c_str(),
                MB_OK | MB_ICONEXCLAMATION);
  return false;
}

SelectInFolderFunction SelectInFolder = &::SHOpenFolderAndSelectItems;

namespace {

std::wstring ParentText(const std::wstring& path) {
  const std::size_t separator = path.find_last_of(L"\\/");
  return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator);
}

}  // namespace

HRESULT ShowInFolder(const std::vector<std::wstring>& paths) {
  struct Folder {
    std::wstring text;
    std::vector<IdList> items;
  };
  std::vector<Folder> folders;
  for (const std::wstring& path : paths) {
    PIDLIST_ABSOLUTE parsed = nullptr;
    const HRESULT parse = ::SHParseDisplayName(path.c_str(), nullptr, &parsed, 0, nullptr);
    IdList item(parsed);
    if (FAILED(parse) || !item) return FAILED(parse) ? parse : E_FAIL;
    const std::wstring parent = ParentText(path);
    auto folder = std::find_if(folders.begin(), folders.end(), [&](const Folder& f) {
      return ::CompareStringOrdinal(f.text.c_str(), -1, parent.c_str(), -1, TRUE) == CSTR_EQUAL;
    });
    if (folder == folders.end()) folder = folders.insert(folders.end(), Folder{parent, {}});
    folder->items.push_back(std::move(item));
  }
  for (const Folder& folder : folders) {
    // The folder is the first item's list without its last ID; the items are given by their last
    // ID, relative to that folder (SHOpenFolderAndSelectItems' contract).
    IdList folder_list(::ILClone(folder.items.front().get()));
    if (!folder_list || !::ILRemoveLastID(folder_list.get())) return E_OUTOFMEMORY;
    std::vector<PCUITEMID_CHILD> children;
    for (const IdList& item : folder.items) children.push_back(::ILFindLastID(item.get()));
    const HRESULT shown = SelectInFolder(folder_list.get(), static_cast<UINT>(children.size()), children.data(), 0);
    if (FAILED(shown)) return shown;
  }
  return S_OK;
}

}  // namespace callwright
