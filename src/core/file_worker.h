#pragma once
// Works through files on a thread of its own, so that the window never waits for them: the
// recordings list measures its files with it (the rows show the directory search's sizes at once,
// each file's own measure follows), and Delete removes them with it.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace callwright {

// What became of one file.
enum class FileStatus : std::uint8_t {
  Done,    // measured (size, and length when the file has a readable WAV header), or deleted
  Busy,    // another process holds it open without the sharing asked for (a call still recording)
  Gone,    // the file or its folder is not there
  Denied,  // access denied
  Failed,  // any other failure
  NoRecycleBin,  // deleting: left alone, as its volume has no Recycle Bin to take it
};

struct FileOutcome {
  FileStatus status = FileStatus::Failed;
  std::int64_t size = -1;         // Done, measuring: the file's size in bytes
  std::int64_t length_ms = -1;    // Done, measuring: the length from the WAV header; -1 none
  bool damaged = false;           // Done, measuring: the header's sizes disagree with the file

  bool operator==(const FileOutcome&) const = default;
};

class FileWorker {
 public:
  // The work on one file and its outcome. Runs on the worker thread; an error escaping it reads as
  // Failed.
  using Work = std::function<FileOutcome(const std::wstring& path)>;
  // Runs on the worker thread when results are waiting and none were waiting before: one call
  // per TakeResults, however many files were done in between; and once at the end of a complete
  // run when no notice is out, so that the receiver sees Done(). Must not block.
  using Notify = std::function<void()>;

  struct Result {
    std::size_t index;  // into the paths given
    FileOutcome outcome;

    bool operator==(const Result&) const = default;
  };

  // Starts on paths[order[0]], paths[order[1]], ... at once. Indices in `order` outside
  // `paths` are passed over.
  // With a `notify_interval`, notices come at most that often (the last result is always told).
  FileWorker(std::shared_ptr<const std::vector<std::wstring>> paths, std::vector<std::size_t> order,
                 Work work, Notify notify, std::chrono::milliseconds notify_interval = {});
  // Cancels and waits for the worker.
  ~FileWorker();
  FileWorker(const FileWorker&) = delete;
  FileWorker& operator=(const FileWorker&) = delete;

  // The worker stops before its next file; what it did so far can still be taken.
  void Cancel() noexcept;
  // True once the worker has stopped (all done, or cancelled), within the time given.
  bool WaitEnded(std::chrono::milliseconds timeout);
  bool Ended() const;
  // The results since the last call, in the order done.
  std::vector<Result> TakeResults();
  // Every file done and every result taken.
  bool Done() const;

 private:
  void Run();

  std::shared_ptr<const std::vector<std::wstring>> paths_;
  std::vector<std::size_t> order_;
  Work work_;
  Notify notify_;
  std::chrono::milliseconds notify_interval_;

  std::atomic<bool> cancelled_{false};
  mutable std::mutex lock_;
  std::condition_variable ended_signal_;
  std::vector<Result> waiting_;  // guarded by lock_
  bool notified_ = false;        // guarded by lock_: a Notify is out and not yet answered
  bool ended_ = false;           // guarded by lock_
  bool complete_ = false;        // guarded by lock_: the worker reached the end of `order_`
  std::thread worker_;
};

}  // namespace callwright
