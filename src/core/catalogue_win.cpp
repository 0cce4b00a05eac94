#include "core/catalogue_win.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "base/handles.h"
#include "core/audio_length.h"
#include "core/wav_header.h"

namespace callwright {

namespace {

bool HasNul(std::wstring_view text) { return text.find(L'\0') != std::wstring_view::npos; }

// The directory search also matches generated short names ("take.wavx" is TAKE~1.WAV), so the
// long name itself must end in ".wav".
bool EndsInWav(const wchar_t* name) { return IsWavName(name); }

FileStatus StatusOfError(DWORD error) {
  switch (error) {
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return FileStatus::Busy;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return FileStatus::Gone;
    case ERROR_ACCESS_DENIED:
      return FileStatus::Denied;
    default:
      return FileStatus::Failed;
  }
}

std::wstring LocaleText(LCTYPE type, const wchar_t* fallback) {
  wchar_t buffer[16] = {};
  const int length = ::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, buffer, 16);
  return length > 0 ? std::wstring(buffer, static_cast<std::size_t>(length - 1)) : std::wstring(fallback);
}

}  // namespace

std::wstring ListWavFiles(std::wstring_view folder) {
  std::wstring listing;
  if (HasNul(folder)) return listing;
  const std::wstring pattern = std::wstring(folder) + L"*.wav";
  WIN32_FIND_DATAW entry;
  FindHandle search(::FindFirstFileW(pattern.c_str(), &entry));
  if (!search) return listing;
  do {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || !EndsInWav(entry.cFileName)) continue;
    listing.append(folder).append(entry.cFileName).append(L"\r\n");
  } while (::FindNextFileW(search.Get(), &entry));
  return listing;
}

std::vector<WavEntry> ListWavEntries(std::wstring_view folder, const std::function<bool()>& stop,
                                     EntryPath entry_path) {
  std::vector<WavEntry> entries;
  if (HasNul(folder)) return entries;
  // Every name, not "*.wav": the conversions are recordings too.
  const std::wstring pattern = std::wstring(folder) + L"*";
  WIN32_FIND_DATAW entry;
  FindHandle search(::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch, nullptr,
                                       FIND_FIRST_EX_LARGE_FETCH));
  if (!search) return entries;
  const std::wstring_view prefix = entry_path == EntryPath::Full ? folder : std::wstring_view();
  do {
    std::optional<WavEntry> found = RecordingEntry(entry, prefix);
    if (!found) continue;
    entries.push_back(std::move(*found));
    if (stop && entries.size() % 1024 == 0 && stop()) break;
  } while (::FindNextFileW(search.Get(), &entry));
  return entries;
}

std::optional<WavEntry> RecordingEntry(const WIN32_FIND_DATAW& entry, std::wstring_view prefix) {
  if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || !IsRecordingName(entry.cFileName)) {
    return std::nullopt;
  }
  WavEntry found;
  found.path.reserve(prefix.size() + std::char_traits<wchar_t>::length(entry.cFileName));
  found.path.append(prefix).append(entry.cFileName);
  found.size = static_cast<std::int64_t>((static_cast<std::uint64_t>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow);
  found.write_time = (static_cast<std::uint64_t>(entry.ftLastWriteTime.dwHighDateTime) << 32) |
                     entry.ftLastWriteTime.dwLowDateTime;
  return found;
}

std::int64_t GetRecordingSize(std::wstring_view path) {
  if (HasNul(path)) return -1;
  const std::wstring file_name(path);
  // Read sharing only: fails while the client holds the file open for writing.
  const FileHandle file(::CreateFileW(file_name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return -1;
  LARGE_INTEGER size;
  if (!::GetFileSizeEx(file.Get(), &size)) return -1;
  return size.QuadPart;
}

FileOutcome MeasureRecordingFile(std::wstring_view path) {
  if (HasNul(path)) return {FileStatus::Gone};
  const std::wstring file_name(path);
  // Read sharing refuses the client's write handle; delete sharing lets a Delete go through while
  // the file is measured.
  const FileHandle file(::CreateFileW(file_name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return {StatusOfError(::GetLastError())};
  LARGE_INTEGER size;
  if (!::GetFileSizeEx(file.Get(), &size)) return {StatusOfError(::GetLastError())};
  FileOutcome outcome{FileStatus::Done, size.QuadPart};
  // The length from the header, read through the same handle: no second open.
  std::vector<std::uint8_t> head(static_cast<std::size_t>(std::clamp<LONGLONG>(size.QuadPart, 0, kWavHeadBytes)));
  DWORD read = 0;
  if (!head.empty() && !::ReadFile(file.Get(), head.data(), static_cast<DWORD>(head.size()), &read, nullptr)) {
    const FileStatus status = StatusOfError(::GetLastError());
    if (status == FileStatus::Busy) return {status};  // a locked range: still being written
    read = 0;
  }
  head.resize(read);
  switch (FormatOfName(file_name)) {
    case RecordingFormat::Flac:
      outcome.length_ms = FlacLengthMs(head);
      break;
    case RecordingFormat::Opus: {
      // The stream's length is on its last page.
      std::vector<std::uint8_t> tail(static_cast<std::size_t>(std::clamp<LONGLONG>(size.QuadPart, 0, kOggTailBytes)));
      LARGE_INTEGER at{};
      at.QuadPart = size.QuadPart - static_cast<LONGLONG>(tail.size());
      read = 0;
      if (!::SetFilePointerEx(file.Get(), at, nullptr, FILE_BEGIN) ||
          !::ReadFile(file.Get(), tail.data(), static_cast<DWORD>(tail.size()), &read, nullptr)) {
        read = 0;
      }
      tail.resize(read);
      outcome.length_ms = OpusLengthMs(head, tail);
      break;
    }
    default: {
      const WavHeader header = ReadWavHeader(head, static_cast<std::uint64_t>(size.QuadPart));
      outcome.length_ms = header.length_ms;
      outcome.damaged = header.damaged;
    }
  }
  return outcome;
}

FileOutcome DeleteRecordingFile(std::wstring_view path) {
  if (HasNul(path)) return {FileStatus::Gone};
  const std::wstring file_name(path);
  if (::DeleteFileW(file_name.c_str())) return {FileStatus::Done};
  const DWORD delete_error = ::GetLastError();
  if (StatusOfError(delete_error) == FileStatus::Gone) return {FileStatus::Gone};
  // A link to a folder goes as a folder does; a real folder never does.
  const DWORD attributes = ::GetFileAttributesW(file_name.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return {StatusOfError(::GetLastError())};
  const DWORD link_to_folder = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
  if ((attributes & link_to_folder) == link_to_folder && ::RemoveDirectoryW(file_name.c_str())) {
    return {FileStatus::Done};
  }
  return {StatusOfError(delete_error)};
}

NumberSeparators UserNumberSeparators() {
  return {LocaleText(LOCALE_SDECIMAL, L"."), LocaleText(LOCALE_STHOUSAND, L",")};
}

std::wstring FormatFileSize(std::int64_t size) { return FormatFileSize(size, UserNumberSeparators()); }

RecordingRow MakeRecordingRow(std::wstring_view path) {
  return MakeRecordingRow(path, GetRecordingSize(path), UserNumberSeparators());
}

std::vector<RecordingRow> ListRecordings(std::wstring_view folder) {
  const NumberSeparators separators = UserNumberSeparators();
  std::vector<RecordingRow> rows;
  for (const std::wstring& path : SplitLines(ListWavFiles(std::wstring(folder) + L"\\"))) {
    rows.push_back(MakeRecordingRow(path, GetRecordingSize(path), separators));
  }
  return rows;
}

}  // namespace callwright
