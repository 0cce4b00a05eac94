// Listing speed of the recordings catalogue on real files.
// Usage: catalogue_winbench [recordings=10000] [large files=20, 0 to skip] [large size MiB=1024]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/catalogue_win.h"
#include "support/clock_win.h"
#include "support/files_win.h"
#include "support/temp_dir_win.h"
#include "base/handles.h"

namespace {

using callwright::FileHandle;
using callwright::test::CreateFileOfSize;
using callwright::test::TempDir;

// Median of `runs` timings, in milliseconds.
double MedianMs(int runs, const std::function<void()>& work) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const double start = callwright::test::NowMs();
    work();
    times.push_back(callwright::test::NowMs() - start);
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

std::wstring RecordingName(int index) {
  wchar_t name[64];
  std::swprintf(name, 64, L"%02d%02d2013_%02d%02d%02d_partner.%d.wav", index % 28 + 1, index % 12 + 1, index % 24,
                index % 60, (index / 60) % 60, index);
  return name;
}

// The whole-file way of measuring: open with the same sharing, load every byte into memory.
std::int64_t LoadedSize(const std::wstring& path) {
  const FileHandle file(
      ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return -1;
  LARGE_INTEGER size;
  if (!::GetFileSizeEx(file.Get(), &size)) return -1;
  std::unique_ptr<char[]> buffer(new (std::nothrow) char[static_cast<std::size_t>(size.QuadPart) + 1]);
  if (!buffer) return -1;
  std::int64_t loaded = 0;
  while (loaded < size.QuadPart) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::int64_t>(size.QuadPart - loaded, 1 << 30));
    DWORD read = 0;
    if (!::ReadFile(file.Get(), buffer.get() + loaded, chunk, &read, nullptr) || read == 0) return -1;
    loaded += read;
  }
  return loaded;
}

bool Fill(const TempDir& folder, int count, std::int64_t size) {
  for (int i = 0; i < count; ++i) {
    if (!CreateFileOfSize(folder.Join(RecordingName(i)), size, "RIFF")) return false;
  }
  return true;
}

int Run(int argc, char** argv) {
  const int recordings = argc > 1 ? std::atoi(argv[1]) : 10000;
  const int large_count = argc > 2 ? std::atoi(argv[2]) : 20;
  const std::int64_t large_size = (argc > 3 ? std::atoll(argv[3]) : 1024) << 20;

  {
    TempDir folder(L"callwright-core");
    std::printf("Creating %d recordings of 1 KiB...\n", recordings);
    if (!Fill(folder, recordings, 1024)) return std::fprintf(stderr, "setup failed\n"), 1;
    std::size_t rows = 0;
    const double list_ms = MedianMs(5, [&] { rows = callwright::ListRecordings(folder.Path()).size(); });
    const double search_ms = MedianMs(5, [&] { callwright::ListWavFiles(folder.Path() + L"\\"); });
    std::printf("ListRecordings, %zu rows: %.1f ms (median of 5; target < 300 ms), of which the directory search "
                "%.1f ms\n",
                rows, list_ms, search_ms);
  }

  if (large_count <= 0) return 0;
  TempDir large(L"callwright-core"), small(L"callwright-core");
  // Extending a file leaves a hole on most file systems, so the large files take little disk space.
  std::printf("Creating %d files of %lld MiB (extended, so sparse where the file system allows) and %d of 1 KiB...\n",
              large_count, static_cast<long long>(large_size >> 20), large_count);
  if (!Fill(large, large_count, large_size) || !Fill(small, large_count, 1024)) {
    return std::fprintf(stderr, "setup failed\n"), 1;
  }

  const double large_ms = MedianMs(7, [&] { callwright::ListRecordings(large.Path()); });
  const double small_ms = MedianMs(7, [&] { callwright::ListRecordings(small.Path()); });
  std::printf("ListRecordings, %d x %lld MiB: %.2f ms; %d x 1 KiB: %.2f ms; ratio %.2f (target within 2x)\n",
              large_count, static_cast<long long>(large_size >> 20), large_ms, large_count, small_ms,
              large_ms / small_ms);

  // The same folder listed by loading every file to measure it.
  std::int64_t total = 0;
  const double load_ms = MedianMs(1, [&] {
    for (const auto& path : callwright::SplitLines(callwright::ListWavFiles(large.Path() + L"\\"))) {
      total += LoadedSize(path);
    }
  });
  std::printf("Loading every byte instead, %d x %lld MiB (%lld bytes read): %.0f ms; %.0fx the length query\n",
              large_count, static_cast<long long>(large_size >> 20), static_cast<long long>(total), load_ms,
              load_ms / large_ms);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "setup failed: %s\n", error.what());
    return 1;
  }
}
