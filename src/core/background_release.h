#pragma once
// Lets go of objects on a thread of its own: a million names take the owner's thread about
// 140 ms to free under Wine, long enough to stall a window.
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace callwright {

class BackgroundRelease {
 public:
  BackgroundRelease() = default;
  // Waits until everything given has gone.
  ~BackgroundRelease();
  BackgroundRelease(const BackgroundRelease&) = delete;
  BackgroundRelease& operator=(const BackgroundRelease&) = delete;

  // Drops this reference on the thread (started with the first object given); the object goes
  // there unless someone else still holds it.
  void Release(std::shared_ptr<const void> object);

 private:
  void Run();

  std::mutex lock_;
  std::condition_variable wake_;
  std::vector<std::shared_ptr<const void>> waiting_;  // guarded by lock_
  bool stopping_ = false;                             // guarded by lock_
  std::thread thread_;
};

}  // namespace callwright
