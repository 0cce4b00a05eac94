#pragma once
// Measures recordings on a worker thread, so that a listing never waits for its files: the rows
// show the sizes of the directory search at once, and each file's own measurement (its size, or
// "could not be read" while the client writes it) follows as the worker gets to it.
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

class RecordingProbe {
 public:
  // The size of one file, negative when it cannot be read. Runs on the worker thread.
  using Measure = std::function<std::int64_t(const std::wstring& path)>;
  // Runs on the worker thread when results are waiting and none were waiting before: one call
  // per TakeResults, however many files were measured in between. Must not block.
  using Notify = std::function<void()>;

  struct Result {
    std::size_t index;  // into the paths given
    std::int64_t size;

    bool operator==(const Result&) const = default;
  };

  // Starts measuring paths[order[0]], paths[order[1]], ... at once. Indices in `order` outside
  // `paths` are passed over.
  RecordingProbe(std::shared_ptr<const std::vector<std::wstring>> paths, std::vector<std::size_t> order,
                 Measure measure, Notify notify);
  // Cancels and waits for the worker.
  ~RecordingProbe();
  RecordingProbe(const RecordingProbe&) = delete;
  RecordingProbe& operator=(const RecordingProbe&) = delete;

  // The worker stops before its next file; what it measured so far can still be taken.
  void Cancel() noexcept;
  // True once the worker has stopped (all measured, or cancelled), within the time given.
  bool WaitEnded(std::chrono::milliseconds timeout);
  bool Ended() const;
  // The results measured since the last call, in the order measured.
  std::vector<Result> TakeResults();
  // Every file measured and every result taken.
  bool Done() const;

 private:
  void Run();

  std::shared_ptr<const std::vector<std::wstring>> paths_;
  std::vector<std::size_t> order_;
  Measure measure_;
  Notify notify_;

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
