#include "core/destination_folder.h"

#include <algorithm>

namespace callwright {

namespace {
std::wstring g_folder;
std::function<void(const std::wstring&)> g_listener;

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }
bool IsBlank(wchar_t c) { return c <= L' '; }
bool IsDriveLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

std::wstring_view Trimmed(std::wstring_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// "D:" of a drive path, "\\server\share" of a network path, else nothing.
std::wstring_view RootOf(std::wstring_view folder) {
  if (folder.size() >= 2 && IsDriveLetter(folder[0]) && folder[1] == L':') return folder.substr(0, 2);
  if (folder.size() >= 2 && IsSeparator(folder[0]) && IsSeparator(folder[1])) {
    std::size_t end = 2;
    for (int part = 0; part < 2 && end < folder.size(); ++part) {
      while (end < folder.size() && !IsSeparator(folder[end])) ++end;
      if (part == 0 && end < folder.size()) ++end;
    }
    return folder.substr(0, end);
  }
  return {};
}

}  // namespace

const std::wstring& DestinationFolder() { return g_folder; }

void SetDestinationFolder(std::wstring folder) {
  g_folder = std::move(folder);
  if (g_listener) g_listener(g_folder);
}

void SetDestinationFolderListener(std::function<void(const std::wstring&)> listener) {
  g_listener = std::move(listener);
}

bool IsBlankFolder(std::wstring_view text) { return std::all_of(text.begin(), text.end(), IsBlank); }

std::wstring CombineFolder(std::wstring_view text, std::wstring_view program_folder,
                           std::wstring_view default_folder) {
  const std::wstring_view folder = Trimmed(text);
  if (folder.empty()) return std::wstring(default_folder);
  if (folder.size() >= 2 && IsSeparator(folder[0]) && IsSeparator(folder[1])) return std::wstring(folder);
  if (folder.size() >= 2 && IsDriveLetter(folder[0]) && folder[1] == L':') {
    if (folder.size() > 2 && IsSeparator(folder[2])) return std::wstring(folder);
    // "D:x" would follow the drive's current folder, which differs between processes.
    return std::wstring(folder.substr(0, 2)) + L'\\' + std::wstring(folder.substr(2));
  }
  if (IsSeparator(folder[0])) return std::wstring(RootOf(program_folder)) + std::wstring(folder);
  std::wstring combined(program_folder);
  if (!combined.empty() && !IsSeparator(combined.back())) combined += L'\\';
  return combined + std::wstring(folder);
}

std::wstring FolderPrefix(std::wstring_view folder) {
  while (!folder.empty() && IsSeparator(folder.back())) folder.remove_suffix(1);
  return std::wstring(folder);
}

std::wstring FolderFromPrefix(std::wstring_view prefix) {
  std::wstring folder(prefix);
  if (!folder.empty() && folder.back() == L':') folder += L'\\';
  return folder;
}

}  // namespace callwright
