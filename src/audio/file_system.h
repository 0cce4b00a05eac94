#pragma once
// The file operations the conversion needs, behind one interface so that tests can fail each step
// (writing, flushing, renaming, deleting) on real files.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
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
  virtual std::unique_ptr<InputFile> OpenRead(const std::filesystem::path& path) = 0;
  // Creates the file, or empties it when present.
  virtual std::unique_ptr<OutputFile> Create(const std::filesystem::path& path) = 0;
  // Replaces `to` when present.
  virtual bool Rename(const std::filesystem::path& from, const std::filesystem::path& to) = 0;
  virtual bool Remove(const std::filesystem::path& path) = 0;
  virtual bool Exists(const std::filesystem::path& path) = 0;
  // Names of the files in the folder (no folders); empty when it cannot be read.
  virtual std::vector<std::filesystem::path> List(const std::filesystem::path& folder) = 0;
};

// The real files, through the C runtime and std::filesystem.
FileSystem& DiskFileSystem();

}  // namespace callwright
