#include "core/background_release.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace callwright {
namespace {

// Records where and when it goes.
struct Tracked {
  std::atomic<int>& gone;
  std::thread::id& gone_on;
  ~Tracked() {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    gone_on = std::this_thread::get_id();
    ++gone;
  }
};

// What is given goes on the release's thread, not the caller's; something still held elsewhere
// stays; the release's end waits until everything given has gone.
TEST(BackgroundRelease, LetsGoElsewhereAndWaitsAtItsEnd) {
  std::atomic<int> gone{0};
  std::thread::id first_on, second_on, kept_on;
  std::shared_ptr<Tracked> kept;
  {
    BackgroundRelease release;
    release.Release(std::make_shared<Tracked>(gone, first_on));
    release.Release(std::make_shared<Tracked>(gone, second_on));
    kept = std::make_shared<Tracked>(gone, kept_on);
    release.Release(kept);
    release.Release(nullptr);
  }
  EXPECT_EQ(gone.load(), 2);
  EXPECT_NE(first_on, std::this_thread::get_id());
  EXPECT_EQ(first_on, second_on) << "one thread for all";
  EXPECT_EQ(kept.use_count(), 1);
  kept.reset();
  EXPECT_EQ(gone.load(), 3);
  EXPECT_EQ(kept_on, std::this_thread::get_id());
}

}  // namespace
}  // namespace callwright
