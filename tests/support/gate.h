#pragma once
// A gate a worker thread waits at until the test opens it; counts who reached it.
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace callwright::test {

class Gate {
 public:
  void Open() {
    const std::lock_guard<std::mutex> hold(lock_);
    open_ = true;
    signal_.notify_all();
  }
  void Pass() {
    std::unique_lock<std::mutex> hold(lock_);
    ++visitors_;
    signal_.notify_all();
    signal_.wait(hold, [this] { return open_; });
  }
  bool Visited() {
    const std::lock_guard<std::mutex> hold(lock_);
    return visitors_ > 0;
  }
  // True once someone reached the gate, within 10 s.
  bool WaitForVisitor() {
    std::unique_lock<std::mutex> hold(lock_);
    return signal_.wait_for(hold, std::chrono::seconds(10), [this] { return visitors_ > 0; });
  }

 private:
  std::mutex lock_;
  std::condition_variable signal_;
  bool open_ = false;
  int visitors_ = 0;
};

}  // namespace callwright::test
