#pragma once
// The file operations the conversion needs, behind one interface so that tests can fail each step
// (writing, flushing, renaming, deleting) on real files. Paths are wide strings: UTF-16 on
// Windows, and on other systems UTF-32 text that the host implementation passes on as UTF-8.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace callwright {

class InputFile {
 public:
  virtual ~InputFile() = default;
  // Bytes read; fewer than asked only at the end or on an error.
  virtual std::size_t Read(void* buffer, std::size_t size) = 0;
  virtual bool Seek(std::uint64_t offset) = 0;
  virtual std::uint64_t Tell() = 0;
  virtual std::uint64_t Size() = 0;
};

class OutputFile {
 public:
  virtual ~OutputFile() = default;
  virtual bool Write(const void* data, std::size_t size) = 0;
  virtual bool Seek(std::uint64_t offset) = 0;
  virtual std::uint64_t Tell() = 0;
  // Everything written reaches the disk (not only the system's cache).
  virtual bool Flush() = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  virtual std::unique_ptr<InputFile> OpenRead(const std::wstring& path) = 0;
  // Creates the file, or empties it when present.
  virtual std::unique_ptr<OutputFile> Create(const std::wstring& path) = 0;
  // Replaces `to` when present; the new name is on disk when it returns true.
  virtual bool Rename(const std::wstring& from, const std::wstring& to) = 0;
  virtual bool Remove(const std::wstring& path) = 0;
  virtual bool Exists(const std::wstring& path) = 0;
  // Names of the files in the folder (no folders); empty when it cannot be read.
  virtual std::vector<std::wstring> List(const std::wstring& folder) = 0;
};

// The real files: Win32 file functions on Windows (long paths included), POSIX elsewhere.
FileSystem& DiskFileSystem();

// The separator that JoinPath puts between a folder and a name.
#ifdef _WIN32
inline constexpr wchar_t kPathSeparator = L'\\';
#else
inline constexpr wchar_t kPathSeparator = L'/';
#endif

// The last part of a path (after the last "\" or "/").
std::wstring_view FileNameOf(std::wstring_view path);
// The path with the extension of its last part (from its last ".") replaced by `extension`
// (".flac"); added when it has none.
std::wstring WithExtension(std::wstring_view path, std::wstring_view extension);
// folder + separator + name; no second separator when the folder ends in one.
std::wstring JoinPath(std::wstring_view folder, std::wstring_view name);
// Wide text as UTF-8 (UTF-16 or UTF-32, whichever wchar_t holds); a lone surrogate becomes U+FFFD.
std::string ToUtf8(std::wstring_view text);
// UTF-8 as wide text; an invalid byte becomes U+FFFD.
std::wstring FromUtf8(std::string_view text);

}  // namespace callwright
