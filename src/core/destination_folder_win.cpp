#include <windows.h>

#include <string>

#include "core/destination_folder.h"
#include "core/platform.h"
#include "core/settings_win.h"
#include "base/handles.h"
#include "base/system_error_win.h"

namespace callwright {

namespace {

constexpr wchar_t kNoClientName[] =
    L"Skype cannot be given it: its name holds characters outside the system's code page, and it has no "
    L"short (8.3) name.";

// The absolute form without "." and ".." parts; the text itself when the system cannot make one.
std::wstring FullPath(const std::wstring& path) {
  const DWORD size = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (size == 0) return path;
  std::wstring full(size, L'\0');
  const DWORD length = ::GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size) return path;
  full.resize(length);
  return full;
}

// Empty when the folder has none (it does not exist, or the volume makes no short names).
std::wstring ShortPath(const std::wstring& folder) {
  const DWORD size = ::GetShortPathNameW(folder.c_str(), nullptr, 0);
  if (size == 0) return {};
  std::wstring short_path(size, L'\0');
  const DWORD length = ::GetShortPathNameW(folder.c_str(), short_path.data(), size);
  if (length == 0 || length >= size) return {};
  short_path.resize(length);
  return short_path;
}

}  // namespace

DWORD CreateFolderTree(const std::wstring& prefix) {
  const std::wstring folder = FolderFromPrefix(prefix);
  const DWORD attributes = ::GetFileAttributesW(folder.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : ERROR_DIRECTORY;
  if (::CreateDirectoryW(folder.c_str(), nullptr)) return 0;
  DWORD error = ::GetLastError();
  if (error != ERROR_PATH_NOT_FOUND && error != ERROR_FILE_NOT_FOUND) return error;
  const std::size_t cut = prefix.find_last_of(L"\\/");
  if (cut == std::wstring::npos || cut == 0) return error;
  const std::wstring parent = FolderPrefix(std::wstring_view(prefix).substr(0, cut));
  if (parent.empty() || parent.size() >= prefix.size()) return error;
  if (const DWORD parent_error = CreateFolderTree(parent); parent_error != 0) return parent_error;
  if (::CreateDirectoryW(folder.c_str(), nullptr)) return 0;
  error = ::GetLastError();
  return error == ERROR_ALREADY_EXISTS ? 0 : error;
}

namespace {

// Creates and deletes a uniquely named file in the folder; 0 or the system's error code.
DWORD ProbeWriting(const std::wstring& prefix) {
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 16; ++attempt) {
    const std::wstring name = prefix + L"\\~callwright-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                              std::to_wstring(::GetTickCount64()) + L"-" + std::to_wstring(++counter) + L".tmp";
    FileHandle file(::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY, nullptr));
    if (!file) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
      return error;
    }
    file.Reset();
    return ::DeleteFileW(name.c_str()) ? 0 : ::GetLastError();
  }
  return ERROR_FILE_EXISTS;
}

std::wstring Resolve(std::wstring_view folder) {
  return FolderPrefix(FullPath(CombineFolder(folder, ExecutableFolder(), DefaultFolder())));
}

std::wstring Quoted(std::wstring_view text) { return L"\"" + std::wstring(text) + L"\""; }

}  // namespace

std::wstring ResolvedDestinationFolder() { return Resolve(DestinationFolder()); }

std::optional<std::wstring> FolderTextForClient(std::wstring_view prefix) {
  const Platform& platform = SystemPlatform();
  if (SurvivesAnsi(prefix, platform)) return std::wstring(prefix);
  const std::wstring short_form = FolderPrefix(ShortPath(FolderFromPrefix(prefix)));
  if (!short_form.empty() && SurvivesAnsi(short_form, platform)) return short_form;
  return std::nullopt;
}

namespace {

// The last short form found. Finding one takes a file-system search per part of the path, too
// slow to repeat for every notification; each showing of the main window finds it afresh.
struct ShortFormMemo {
  std::wstring prefix;
  std::wstring text;
} g_short_form;

std::optional<std::wstring> RememberedTextForClient(const std::wstring& prefix) {
  if (!g_short_form.prefix.empty() && g_short_form.prefix == prefix) return g_short_form.text;
  std::optional<std::wstring> text = FolderTextForClient(prefix);
  if (text && *text != prefix) g_short_form = {prefix, *text};
  return text;
}

std::wstring DefaultPrefix() { return FolderPrefix(FullPath(DefaultFolder())); }

}  // namespace

std::wstring RecordingFolder() {
  std::wstring folder = ResolvedDestinationFolder();
  if (RememberedTextForClient(folder)) return folder;
  return DefaultPrefix();
}

std::wstring ClientFolderText() {
  const std::wstring folder = ResolvedDestinationFolder();
  if (std::optional<std::wstring> text = RememberedTextForClient(folder)) return *std::move(text);
  const std::wstring fallback = DefaultPrefix();
  return RememberedTextForClient(fallback).value_or(fallback);
}

std::wstring PrepareRecordingFolder() {
  g_short_form = {};
  const std::wstring folder = ResolvedDestinationFolder();
  const std::wstring shown = FolderFromPrefix(folder);
  std::wstring problem;
  DWORD error = CreateFolderTree(folder);
  if (error == 0) error = ProbeWriting(folder);
  if (error != 0) problem = L"Recordings cannot be saved in the folder " + Quoted(shown) + L": " + SystemErrorText(error);
  if (!FolderTextForClient(folder)) {
    if (problem.empty()) problem = L"The folder " + Quoted(shown) + L" cannot be used for recordings. " + kNoClientName;
    const std::wstring fallback = RecordingFolder();
    if (fallback != folder) problem += L" Recordings go to " + Quoted(FolderFromPrefix(fallback)) + L" instead.";
  }
  return problem;
}

std::wstring FolderRefusal(std::wstring_view folder) {
  if (FolderTextForClient(Resolve(folder))) return {};
  return L"The folder " + Quoted(folder) + L" cannot be chosen for recordings. " + kNoClientName;
}

}  // namespace callwright
