// The disk through the Win32 file functions: wide paths of any length and any characters.
#include <windows.h>

#include <algorithm>

#include "audio/file_system.h"
#include "base/handles.h"

namespace callwright {
namespace {

// Paths of MAX_PATH and more take the "\\?\" form, which skips the system's normalisation: the
// path is made full and normalised first.
std::wstring SystemPath(const std::wstring& path) {
  if (path.size() < MAX_PATH - 12 || path.starts_with(L"\\\\?\\")) return path;
  std::wstring full(path.size() + 1, L'\0');
  for (;;) {
    const DWORD length = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0) return path;
    if (length < full.size()) {
      full.resize(length);
      break;
    }
    full.resize(length);
  }
  if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

bool SeekHandle(HANDLE file, std::uint64_t offset) {
  LARGE_INTEGER at{};
  at.QuadPart = static_cast<LONGLONG>(offset);
  return ::SetFilePointerEx(file, at, nullptr, FILE_BEGIN) != 0;
}

std::uint64_t TellHandle(HANDLE file) {
  LARGE_INTEGER at{};
  LARGE_INTEGER moved{};
  return ::SetFilePointerEx(file, at, &moved, FILE_CURRENT) ? static_cast<std::uint64_t>(moved.QuadPart) : 0;
}

class Win32Input final : public InputFile {
 public:
  explicit Win32Input(FileHandle file) : file_(std::move(file)) {}
  std::size_t Read(void* buffer, std::size_t size) override {
    std::size_t done = 0;
    while (done < size) {
      const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size - done, 1u << 30));
      DWORD got = 0;
      if (!::ReadFile(file_.Get(), static_cast<char*>(buffer) + done, want, &got, nullptr) || got == 0) break;
      done += got;
    }
    return done;
  }
  bool Seek(std::uint64_t offset) override { return SeekHandle(file_.Get(), offset); }
  std::uint64_t Tell() override { return TellHandle(file_.Get()); }
  std::uint64_t Size() override {
    LARGE_INTEGER size{};
    return ::GetFileSizeEx(file_.Get(), &size) ? static_cast<std::uint64_t>(size.QuadPart) : 0;
  }

 private:
  FileHandle file_;
};

// Writes go through a buffer: the encoders hand over many small pieces.
class Win32Output final : public OutputFile {
 public:
  explicit Win32Output(FileHandle file) : file_(std::move(file)) { buffer_.reserve(kBufferSize); }
  ~Win32Output() override { Drain(); }
  bool Write(const void* data, std::size_t size) override {
    if (failed_) return false;
    if (buffer_.size() + size > kBufferSize && !Drain()) return false;
    if (size >= kBufferSize) return WriteAll(data, size);
    const auto* bytes = static_cast<const char*>(data);
    buffer_.insert(buffer_.end(), bytes, bytes + size);
    return true;
  }
  bool Seek(std::uint64_t offset) override { return Drain() && SeekHandle(file_.Get(), offset); }
  std::uint64_t Tell() override { return TellHandle(file_.Get()) + buffer_.size(); }
  bool Flush() override { return Drain() && ::FlushFileBuffers(file_.Get()) != 0; }

 private:
  static constexpr std::size_t kBufferSize = 64 * 1024;

  bool WriteAll(const void* data, std::size_t size) {
    for (std::size_t done = 0; done < size;) {
      const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size - done, 1u << 30));
      DWORD put = 0;
      if (!::WriteFile(file_.Get(), static_cast<const char*>(data) + done, want, &put, nullptr) || put == 0) {
        failed_ = true;
        return false;
      }
      done += put;
    }
    return true;
  }
  bool Drain() {
    if (failed_) return false;
    const bool written = buffer_.empty() || WriteAll(buffer_.data(), buffer_.size());
    buffer_.clear();
    return written;
  }

  FileHandle file_;
  std::vector<char> buffer_;
  bool failed_ = false;
};

class Win32Files final : public FileSystem {
 public:
  std::unique_ptr<InputFile> OpenRead(const std::wstring& path) override {
    // No write sharing: a file the client still writes is not read half-made.
    FileHandle file(::CreateFileW(SystemPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    return file ? std::make_unique<Win32Input>(std::move(file)) : nullptr;
  }
  std::unique_ptr<OutputFile> Create(const std::wstring& path) override {
    FileHandle file(::CreateFileW(SystemPath(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    return file ? std::make_unique<Win32Output>(std::move(file)) : nullptr;
  }
  bool Rename(const std::wstring& from, const std::wstring& to) override {
    return ::MoveFileExW(SystemPath(from).c_str(), SystemPath(to).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  }
  bool Remove(const std::wstring& path) override { return ::DeleteFileW(SystemPath(path).c_str()) != 0; }
  bool Exists(const std::wstring& path) override {
    const DWORD attributes = ::GetFileAttributesW(SystemPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
  }
  std::vector<std::wstring> List(const std::wstring& folder) override {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    const FindHandle search(::FindFirstFileExW(SystemPath(JoinPath(folder, L"*")).c_str(), FindExInfoBasic, &found,
                                               FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (!search) return names;
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.emplace_back(found.cFileName);
    } while (::FindNextFileW(search.Get(), &found));
    return names;
  }
};

}  // namespace

FileSystem& DiskFileSystem() {
  static Win32Files files;
  return files;
}

}  // namespace callwright
