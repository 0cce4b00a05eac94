#include "core/background_release.h"

#include <utility>

namespace callwright {

BackgroundRelease::~BackgroundRelease() {
  {
    const std::lock_guard hold(lock_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void BackgroundRelease::Release(std::shared_ptr<const void> object) {
  if (!object) return;
  {
    const std::lock_guard hold(lock_);
    waiting_.push_back(std::move(object));
    // A thread start is a few milliseconds: made once, for the first object.
    if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
  }
  wake_.notify_all();
}

void BackgroundRelease::Run() {
  std::unique_lock hold(lock_);
  for (;;) {
    wake_.wait(hold, [this] { return stopping_ || !waiting_.empty(); });
    std::vector<std::shared_ptr<const void>> going = std::exchange(waiting_, {});
    hold.unlock();
    going.clear();
    hold.lock();
    if (stopping_ && waiting_.empty()) return;
  }
}

}  // namespace callwright
