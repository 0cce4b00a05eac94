#include "core/wav_repair_win.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "base/handles.h"
#include "core/wav_header.h"

namespace callwright {

namespace {

constexpr DWORD kCopyBlock = 1 << 20;

bool WriteAll(HANDLE file, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, kCopyBlock));
    if (!::WriteFile(file, data, chunk, &written, nullptr) || written == 0) return false;
    data += written;
    size -= written;
  }
  return true;
}

void Put32(std::vector<std::uint8_t>& bytes, std::uint64_t at, std::uint32_t value) {
  for (std::uint64_t i = 0; i < 4; ++i) {
    if (at + i < bytes.size()) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
  }
}

// The mended copy: the head with the new sizes, then the rest up to the mended length.
bool WriteMended(HANDLE source, HANDLE copy, std::vector<std::uint8_t> head, const WavRepair& repair) {
  Put32(head, repair.riff_size_offset, repair.riff_size);
  Put32(head, repair.data_size_offset, repair.data_size);
  if (head.size() > repair.file_size) head.resize(repair.file_size);
  if (!WriteAll(copy, head.data(), head.size())) return false;
  std::uint64_t left = repair.file_size - head.size();
  std::vector<std::uint8_t> block(kCopyBlock);
  while (left > 0) {
    DWORD read = 0;
    const DWORD want = static_cast<DWORD>(std::min<std::uint64_t>(left, kCopyBlock));
    if (!::ReadFile(source, block.data(), want, &read, nullptr) || read == 0) return false;
    if (!WriteAll(copy, block.data(), read)) return false;
    left -= read;
  }
  return ::FlushFileBuffers(copy) != FALSE;
}

}  // namespace

FileOutcome RepairRecordingFile(std::wstring_view path) {
  if (path.find(L'\0') != std::wstring_view::npos) return {FileStatus::Failed};
  const std::wstring file_name(path);
  const std::wstring copy_name = file_name + L".repairing";
  {
    // No write sharing: a file the client still writes is never touched.
    FileHandle source(::CreateFileW(file_name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!source) {
      const DWORD error = ::GetLastError();
      return {error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ? FileStatus::Busy
                                                                                 : FileStatus::Failed};
    }
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(source.Get(), &size)) return {FileStatus::Failed};
    std::vector<std::uint8_t> head(static_cast<std::size_t>(std::clamp<LONGLONG>(size.QuadPart, 0, kWavHeadBytes)));
    DWORD read = 0;
    if (!head.empty() && !::ReadFile(source.Get(), head.data(), static_cast<DWORD>(head.size()), &read, nullptr)) {
      return {FileStatus::Failed};
    }
    head.resize(read);
    const WavHeader header = ReadWavHeader(head, static_cast<std::uint64_t>(size.QuadPart));
    if (!header.valid || !header.damaged) return {FileStatus::Failed};
    const WavRepair repair = RepairFor(header);

    FileHandle copy(::CreateFileW(copy_name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!copy) return {FileStatus::Failed};
    if (!WriteMended(source.Get(), copy.Get(), std::move(head), repair)) {
      copy = FileHandle();
      ::DeleteFileW(copy_name.c_str());
      return {FileStatus::Failed};
    }
  }
  // Both handles are closed: ReplaceFileW opens the recording for deleting.
  if (!::ReplaceFileW(file_name.c_str(), copy_name.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                      nullptr)) {
    const DWORD error = ::GetLastError();
    ::DeleteFileW(copy_name.c_str());
    return {error == ERROR_SHARING_VIOLATION ? FileStatus::Busy : FileStatus::Failed};
  }
  return {FileStatus::Done};
}

}  // namespace callwright
