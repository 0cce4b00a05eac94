#include "file_system.h"

#include <cstdio>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace callwright {
namespace {

std::FILE* OpenFile(const std::filesystem::path& path, bool write) {
#ifdef _WIN32
  return _wfopen(path.c_str(), write ? L"w+b" : L"rb");
#else
  return std::fopen(path.c_str(), write ? "w+b" : "rb");
#endif
}

bool SeekFile(std::FILE* file, std::uint64_t offset) {
#ifdef _WIN32
  return _fseeki64(file, static_cast<__int64>(offset), SEEK_SET) == 0;
#else
  return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

std::uint64_t TellFile(std::FILE* file) {
#ifdef _WIN32
  const auto at = _ftelli64(file);
#else
  const auto at = ftello(file);
#endif
  return at < 0 ? 0 : static_cast<std::uint64_t>(at);
}

class DiskInput final : public InputFile {
 public:
  explicit DiskInput(std::FILE* file) : file_(file) {}
  ~DiskInput() override { std::fclose(file_); }
  std::size_t Read(void* buffer, std::size_t size) override { return std::fread(buffer, 1, size, file_); }
  bool Seek(std::uint64_t offset) override { return SeekFile(file_, offset); }
  std::uint64_t Tell() override { return TellFile(file_); }
  std::uint64_t Size() override {
    const std::uint64_t at = TellFile(file_);
#ifdef _WIN32
    if (_fseeki64(file_, 0, SEEK_END) != 0) return 0;
#else
    if (fseeko(file_, 0, SEEK_END) != 0) return 0;
#endif
    const std::uint64_t size = TellFile(file_);
    SeekFile(file_, at);
    return size;
  }

 private:
  std::FILE* file_;
};

class DiskOutput final : public OutputFile {
 public:
  explicit DiskOutput(std::FILE* file) : file_(file) {}
  ~DiskOutput() override { std::fclose(file_); }
  bool Write(const void* data, std::size_t size) override {
    return std::fwrite(data, 1, size, file_) == size;
  }
  bool Seek(std::uint64_t offset) override { return SeekFile(file_, offset); }
  std::uint64_t Tell() override { return TellFile(file_); }
  bool Flush() override {
    if (std::fflush(file_) != 0) return false;
#ifdef _WIN32
    return _commit(_fileno(file_)) == 0;
#else
    return fsync(fileno(file_)) == 0;
#endif
  }

 private:
  std::FILE* file_;
};

class DiskFiles final : public FileSystem {
 public:
  std::unique_ptr<InputFile> OpenRead(const std::filesystem::path& path) override {
    std::FILE* file = OpenFile(path, false);
    return file ? std::make_unique<DiskInput>(file) : nullptr;
  }
  std::unique_ptr<OutputFile> Create(const std::filesystem::path& path) override {
    std::FILE* file = OpenFile(path, true);
    return file ? std::make_unique<DiskOutput>(file) : nullptr;
  }
  bool Rename(const std::filesystem::path& from, const std::filesystem::path& to) override {
    std::error_code error;
    std::filesystem::rename(from, to, error);
    return !error;
  }
  bool Remove(const std::filesystem::path& path) override {
    std::error_code error;
    return std::filesystem::remove(path, error) && !error;
  }
  bool Exists(const std::filesystem::path& path) override {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
  }
  std::vector<std::filesystem::path> List(const std::filesystem::path& folder) override {
    std::vector<std::filesystem::path> names;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
      std::error_code kind_error;
      if (it->is_regular_file(kind_error)) names.push_back(it->path().filename());
    }
    return names;
  }
};

}  // namespace

FileSystem& DiskFileSystem() {
  static DiskFiles files;
  return files;
}

}  // namespace callwright
