// A checked copy that would write past its buffer ends the process there and then, with the
// system's code for an overrun, instead of returning into code whose memory can no longer be trusted.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstddef>
#include <cstdlib>

extern "C" void* __memcpy_chk(void* target, const void* source, std::size_t length, std::size_t target_size);
extern "C" void* __memset_chk(void* target, int value, std::size_t length, std::size_t target_size);

namespace {

TEST(CheckedCopyFailure, AnOverrunEndsTheProcessAtOnce) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  volatile std::size_t target_size = 4;  // not known to the compiler, as in the codecs
  // Windows ends the process with the overrun's code; Wine's fail-fast ends it with its own.
  constexpr DWORD kFailFast = 0xC0000602;  // STATUS_FAIL_FAST_EXCEPTION
  const auto overrun = [](int code) {
    return static_cast<DWORD>(code) == STATUS_STACK_BUFFER_OVERRUN || static_cast<DWORD>(code) == kFailFast;
  };
  EXPECT_EXIT(
      {
        char target[16] = {};
        const char source[16] = {};
        __memcpy_chk(target, source, sizeof source, target_size);
        std::exit(0);
      },
      overrun, "");
  EXPECT_EXIT(
      {
        char target[16] = {};
        __memset_chk(target, 0, sizeof target, target_size);
        std::exit(0);
      },
      overrun, "");
  // Within the buffer the copies are plain copies.
  char target[4] = {};
  const char source[4] = {'a', 'b', 'c', 'd'};
  __memcpy_chk(target, source, sizeof source, target_size);
  EXPECT_EQ(target[3], 'd');
}

}  // namespace
