#include "core/settings_win.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/app_error.h"
#include "base/decimal.h"
#include "base/handles.h"
#include "core/destination_folder.h"
#include "core/platform.h"

namespace callwright {

namespace {

constexpr DWORD kValueBufferLength = 2048;
constexpr unsigned char kUtf16Mark[] = {0xFF, 0xFE};
constexpr unsigned char kUtf16BigEndianMark[] = {0xFE, 0xFF};
constexpr unsigned char kUtf8Mark[] = {0xEF, 0xBB, 0xBF};

// Folder part of a path: up to and including the last "\" or ":".
std::wstring FolderPart(const std::wstring& path) {
  const std::size_t pos = path.find_last_of(L"\\:");
  return pos == std::wstring::npos ? std::wstring() : path.substr(0, pos + 1);
}

// False for texts the file cannot hold as one entry: a NUL would cut them short and a line break
// would start another line (another key) of the file.
bool IsStorable(std::wstring_view text) {
  return text.find_first_of(std::wstring_view(L"\0\r\n", 3)) == std::wstring_view::npos;
}

// A new file starts with a UTF-16 byte-order mark, so that the profile functions keep it in UTF-16
// and folder names outside the ANSI code page survive. False when the file cannot be made.
bool CreateUnicodeFileIfMissing(const std::wstring& file) {
  if (::GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
  const FileHandle handle(
      ::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle) return ::GetLastError() == ERROR_FILE_EXISTS;
  DWORD written = 0;
  return ::WriteFile(handle.Get(), kUtf16Mark, sizeof kUtf16Mark, &written, nullptr) && written == sizeof kUtf16Mark;
}

// The profile functions keep files cached; this drops the cached copy of the file.
void DropCachedCopy(const std::wstring& file) {
  ::WritePrivateProfileStringW(nullptr, nullptr, nullptr, file.c_str());
}

// The whole file, or none when it cannot be read (missing included).
std::optional<std::string> ReadWholeFile(const std::wstring& file) {
  const FileHandle handle(::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle) return std::nullopt;
  LARGE_INTEGER size;
  if (!::GetFileSizeEx(handle.Get(), &size) || size.QuadPart > 64 * 1024 * 1024) return std::nullopt;
  std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  if (!bytes.empty() && (!::ReadFile(handle.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
                         read != bytes.size())) {
    return std::nullopt;
  }
  return bytes;
}

template <std::size_t N>
bool StartsWith(const std::string& bytes, const unsigned char (&mark)[N]) {
  return bytes.size() >= N && std::equal(mark, mark + N, bytes.begin(),
                                         [](unsigned char m, char b) { return m == static_cast<unsigned char>(b); });
}

// The text of bytes in a code page, or none when they are not valid in it (checked for UTF-8).
std::optional<std::wstring> Decode(UINT code_page, std::string_view bytes) {
  if (bytes.empty()) return std::wstring();
  const DWORD flags = code_page == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0;
  const int size = static_cast<int>(bytes.size());
  const int length = ::MultiByteToWideChar(code_page, flags, bytes.data(), size, nullptr, 0);
  if (length <= 0) return std::nullopt;
  std::wstring text(static_cast<std::size_t>(length), L'\0');
  if (::MultiByteToWideChar(code_page, flags, bytes.data(), size, text.data(), length) != length) return std::nullopt;
  return text;
}

// Replaces the file's content with the text in UTF-16 after a byte-order mark. The new content is
// written beside the file first and then takes its place, so a failure leaves the old file whole.
bool RewriteAsUnicode(const std::wstring& file, const std::wstring& text) {
  const std::wstring temporary = file + L".~" + DecimalText(::GetCurrentProcessId());
  bool written_whole = false;
  {
    const FileHandle handle(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle) return false;
    std::string bytes(reinterpret_cast<const char*>(kUtf16Mark), sizeof kUtf16Mark);
    bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    DWORD written = 0;
    written_whole = ::WriteFile(handle.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size() && ::FlushFileBuffers(handle.Get());
  }
  if (!written_whole) {
    ::DeleteFileW(temporary.c_str());
    return false;
  }
  const bool replaced = SwapInReplacement(file, temporary, [](const std::wstring& replaced, const std::wstring& by) {
    // ReplaceFileW keeps the file's attributes and permissions.
    return ::ReplaceFileW(replaced.c_str(), by.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                          nullptr) != FALSE;
  });
  DropCachedCopy(file);
  return replaced;
}

enum class Encoding { Missing, Unreadable, Utf16, Utf16BigEndian, Utf8, Ansi };

struct FileText {
  Encoding encoding;
  std::wstring text;  // for all but Utf16: the content as text
};

// UTF-16 big-endian bytes after their mark as text; an odd last byte is no character.
std::wstring DecodeBigEndian(std::string_view bytes) {
  std::wstring text(bytes.size() / 2, L'\0');
  for (std::size_t i = 0; i < text.size(); ++i) {
    text[i] = static_cast<wchar_t>((static_cast<unsigned char>(bytes[2 * i]) << 8) |
                                   static_cast<unsigned char>(bytes[2 * i + 1]));
  }
  return text;
}

// How the profile functions would take the file, and what it really holds. A file without a
// byte-order mark is taken as ANSI; when it is valid UTF-8 with other than ASCII bytes (as editors
// save it nowadays), or has a UTF-8 mark, it is UTF-8. The profile functions read UTF-16 only in
// little-endian order; a big-endian mark (FE FF) is told apart.
FileText ExamineFile(const std::wstring& file) {
  if (::GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES) return {Encoding::Missing, {}};
  const std::optional<std::string> bytes = ReadWholeFile(file);
  if (!bytes) return {Encoding::Unreadable, {}};
  if (StartsWith(*bytes, kUtf16Mark)) return {Encoding::Utf16, {}};
  if (StartsWith(*bytes, kUtf16BigEndianMark)) {
    return {Encoding::Utf16BigEndian, DecodeBigEndian(std::string_view(*bytes).substr(2))};
  }
  if (StartsWith(*bytes, kUtf8Mark)) {
    if (auto text = Decode(CP_UTF8, std::string_view(*bytes).substr(3))) return {Encoding::Utf8, std::move(*text)};
  } else if (std::any_of(bytes->begin(), bytes->end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) {
    if (auto text = Decode(CP_UTF8, *bytes)) return {Encoding::Utf8, std::move(*text)};
  }
  return {Encoding::Ansi, Decode(CP_ACP, *bytes).value_or(std::wstring())};
}

// A UTF-8 or big-endian UTF-16 file is made (little-endian) UTF-16 before the profile functions read
// it as ANSI. With `needs_unicode`
// an ANSI file is made UTF-16 too, so that a text outside the code page can be stored. False when
// a needed conversion failed.
bool MakeUnicodeWhereNeeded(const std::wstring& file, bool needs_unicode) {
  DropCachedCopy(file);
  const FileText content = ExamineFile(file);
  switch (content.encoding) {
    case Encoding::Utf8:
    case Encoding::Utf16BigEndian:
      return RewriteAsUnicode(file, content.text);
    case Encoding::Ansi:
      return !needs_unicode || RewriteAsUnicode(file, content.text);
    default:
      return true;
  }
}

}  // namespace

bool SwapInReplacement(const std::wstring& file, const std::wstring& replacement, const FileReplacer& replace) {
  if (replace(file, replacement)) return true;
  switch (::GetLastError()) {
    case ERROR_UNABLE_TO_MOVE_REPLACEMENT:
    case ERROR_UNABLE_TO_MOVE_REPLACEMENT_2:
      // Without a backup name, ReplaceFileW has then deleted the file, or moved it to a name of its
      // own: the replacement is all that is left of it, and takes its name; failing that, it stays.
      return ::MoveFileExW(replacement.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) !=
             FALSE;
    default:
      // The file is as it was.
      ::DeleteFileW(replacement.c_str());
      return false;
  }
}

std::wstring ExecutablePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    // Truncated: try again with room for a long path.
    if (path.size() >= 32768) return {};
    path.resize(path.size() * 2);
  }
}

std::wstring ExecutableFolder() { return FolderPart(ExecutablePath()); }

std::wstring DefaultFolder() { return ExecutableFolder() + L"Records"; }

std::wstring ConfigFilePath() { return ExecutableFolder() + L"config.ini"; }

std::wstring ReadSetting(std::wstring_view section, std::wstring_view key, std::wstring_view default_value) {
  const std::wstring file = ConfigFilePath();
  const std::wstring section_text(section), key_text(key), default_text(default_value);
  if (!IsStorable(section) || !IsStorable(key)) return default_text;
  // A failed conversion leaves the file as it is; it is then read as the profile functions take it.
  MakeUnicodeWhereNeeded(file, false);
  // No value is longer than the file or the default: a buffer larger than both never cuts one.
  WIN32_FILE_ATTRIBUTE_DATA data{};
  std::size_t longest = default_text.size();
  if (::GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data)) {
    const std::uint64_t file_size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    longest = std::max<std::size_t>(longest, file_size);
  }
  std::vector<wchar_t> buffer(kValueBufferLength);
  for (;;) {
    const DWORD length = ::GetPrivateProfileStringW(section_text.c_str(), key_text.c_str(), default_text.c_str(),
                                                    buffer.data(), static_cast<DWORD>(buffer.size()), file.c_str());
    // A value that fills the buffer may have been cut: read again with twice the room.
    if (length + 1 < buffer.size() || buffer.size() > longest + 1 || buffer.size() >= 0x40000000) {
      return std::wstring(buffer.data(), length);
    }
    buffer.assign(buffer.size() * 2, L'\0');
  }
}

std::wstring ReadDestinationFolder() {
  const std::wstring default_folder = DefaultFolder();
  std::wstring stored = ReadSetting(L"SYSTEM", L"path", default_folder);
  return IsBlankFolder(stored) ? default_folder : stored;
}

KeepFormat ReadKeepFormat() {
  KeepFormat format = KeepFormat::Wav;
  return ParseKeepFormat(ReadSetting(L"SYSTEM", L"format", L"wav"), format) ? format : KeepFormat::Wav;
}

void WriteSetting(std::wstring_view section, std::wstring_view key, std::wstring_view value) {
  const std::wstring file = ConfigFilePath();
  const std::wstring section_text(section), key_text(key), value_text(value);
  const Platform& platform = SystemPlatform();
  const bool needs_unicode = !SurvivesAnsi(section_text, platform) || !SurvivesAnsi(key_text, platform) ||
                             !SurvivesAnsi(value_text, platform);
  if (!IsStorable(section) || !IsStorable(key) || !IsStorable(value) || !CreateUnicodeFileIfMissing(file) ||
      !MakeUnicodeWhereNeeded(file, needs_unicode) ||
      !::WritePrivateProfileStringW(section_text.c_str(), key_text.c_str(), value_text.c_str(), file.c_str())) {
    throw AppError(L"Unable to write to " + file);
  }
}

}  // namespace callwright
