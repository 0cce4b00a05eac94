#include "core/file_worker.h"

#include <utility>

namespace callwright {

FileWorker::FileWorker(std::shared_ptr<const std::vector<std::wstring>> paths,
                               std::vector<std::size_t> order, Work work, Notify notify,
                               std::chrono::milliseconds notify_interval)
    : paths_(std::move(paths)),
      order_(std::move(order)),
      work_(std::move(work)),
      notify_(std::move(notify)),
      notify_interval_(notify_interval) {
  worker_ = std::thread([this] { Run(); });
}

FileWorker::~FileWorker() {
  Cancel();
  if (worker_.joinable()) worker_.join();
}

void FileWorker::Cancel() noexcept { cancelled_.store(true, std::memory_order_relaxed); }

void FileWorker::Run() {
  bool complete = true;
  // A notice held back by the interval is given with a later result or at the end.
  bool held_back = false;
  auto last_notice = std::chrono::steady_clock::now() - notify_interval_;
  for (const std::size_t index : order_) {
    if (cancelled_.load(std::memory_order_relaxed)) {
      complete = false;
      break;
    }
    if (!paths_ || index >= paths_->size()) continue;
    FileOutcome outcome;
    try {
      if (work_) outcome = work_((*paths_)[index]);
    } catch (...) {
      // An error reads as a failure on the file.
    }
    const auto now = std::chrono::steady_clock::now();
    bool notify = false;
    {
      const std::lock_guard<std::mutex> hold(lock_);
      waiting_.push_back({index, outcome});
      if (!notified_) {
        notify = now - last_notice >= notify_interval_;
        held_back = !notify;
        notified_ = notify;
      }
    }
    // Outside the lock: the receiver may take the results before the call returns.
    if (notify) {
      last_notice = now;
      if (notify_) notify_();
    }
  }
  bool notify = false;
  {
    const std::lock_guard<std::mutex> hold(lock_);
    complete_ = complete;
    // With every notice answered, the receiver learns that all is done only from one more (it may
    // have taken the last results before the end was reached).
    notify = !notified_ && ((held_back && !waiting_.empty()) || complete);
    notified_ = notified_ || notify;
  }
  if (notify && notify_) notify_();
  {
    const std::lock_guard<std::mutex> hold(lock_);
    ended_ = true;
    ended_signal_.notify_all();
  }
}

bool FileWorker::WaitEnded(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> hold(lock_);
  return ended_signal_.wait_for(hold, timeout, [this] { return ended_; });
}

bool FileWorker::Ended() const {
  const std::lock_guard<std::mutex> hold(lock_);
  return ended_;
}

std::vector<FileWorker::Result> FileWorker::TakeResults() {
  const std::lock_guard<std::mutex> hold(lock_);
  notified_ = false;
  return std::exchange(waiting_, {});
}

bool FileWorker::Done() const {
  const std::lock_guard<std::mutex> hold(lock_);
  return complete_ && waiting_.empty();
}

}  // namespace callwright
