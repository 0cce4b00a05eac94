// The disk through POSIX calls, for the builds that run the window-free tests on Linux.
#ifndef _WIN32
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "audio/file_system.h"

namespace callwright {
namespace {

class PosixInput final : public InputFile {
 public:
  explicit PosixInput(std::FILE* file) : file_(file) {}
  ~PosixInput() override { std::fclose(file_); }
  std::size_t Read(void* buffer, std::size_t size) override { return std::fread(buffer, 1, size, file_); }
  bool Seek(std::uint64_t offset) override { return fseeko(file_, static_cast<off_t>(offset), SEEK_SET) == 0; }
  std::uint64_t Tell() override {
    const off_t at = ftello(file_);
    return at < 0 ? 0 : static_cast<std::uint64_t>(at);
  }
  std::uint64_t Size() override {
    struct stat info{};
    return fstat(fileno(file_), &info) == 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
  }

 private:
  std::FILE* file_;
};

class PosixOutput final : public OutputFile {
 public:
  explicit PosixOutput(std::FILE* file) : file_(file) {}
  ~PosixOutput() override { std::fclose(file_); }
  bool Write(const void* data, std::size_t size) override { return std::fwrite(data, 1, size, file_) == size; }
  bool Seek(std::uint64_t offset) override { return fseeko(file_, static_cast<off_t>(offset), SEEK_SET) == 0; }
  std::uint64_t Tell() override {
    const off_t at = ftello(file_);
    return at < 0 ? 0 : static_cast<std::uint64_t>(at);
  }
  bool Flush() override { return std::fflush(file_) == 0 && fsync(fileno(file_)) == 0; }

 private:
  std::FILE* file_;
};

// A rename is on disk only once its folder's entry is.
void SyncFolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  const int handle = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (handle < 0) return;
  fsync(handle);
  close(handle);
}

class PosixFiles final : public FileSystem {
 public:
  std::unique_ptr<InputFile> OpenRead(const std::wstring& path) override {
    std::FILE* file = std::fopen(ToUtf8(path).c_str(), "rb");
    return file ? std::make_unique<PosixInput>(file) : nullptr;
  }
  std::unique_ptr<OutputFile> Create(const std::wstring& path) override {
    std::FILE* file = std::fopen(ToUtf8(path).c_str(), "w+b");
    return file ? std::make_unique<PosixOutput>(file) : nullptr;
  }
  bool Rename(const std::wstring& from, const std::wstring& to) override {
    const std::string target = ToUtf8(to);
    if (std::rename(ToUtf8(from).c_str(), target.c_str()) != 0) return false;
    SyncFolderOf(target);
    return true;
  }
  bool Remove(const std::wstring& path) override { return unlink(ToUtf8(path).c_str()) == 0; }
  bool Exists(const std::wstring& path) override {
    struct stat info{};
    return stat(ToUtf8(path).c_str(), &info) == 0 && S_ISREG(info.st_mode);
  }
  std::vector<std::wstring> List(const std::wstring& folder) override {
    std::vector<std::wstring> names;
    const std::string base = ToUtf8(folder);
    DIR* dir = opendir(base.c_str());
    if (!dir) return names;
    while (const dirent* entry = readdir(dir)) {
      struct stat info{};
      if (fstatat(dirfd(dir), entry->d_name, &info, 0) == 0 && S_ISREG(info.st_mode))
        names.push_back(FromUtf8(entry->d_name));
    }
    closedir(dir);
    return names;
  }
};

}  // namespace

FileSystem& DiskFileSystem() {
  static PosixFiles files;
  return files;
}

}  // namespace callwright
#endif
