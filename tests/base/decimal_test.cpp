#include "base/decimal.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace callwright {
namespace {

TEST(DecimalTextTest, WritesEveryWholeNumberAsToWstringWould) {
  const std::int64_t cases[] = {0, 7, -7, 10, 1234567890123, std::numeric_limits<std::int64_t>::max(),
                                std::numeric_limits<std::int64_t>::min()};
  for (std::int64_t value : cases) EXPECT_EQ(DecimalText(value), std::to_wstring(value)) << value;
}

}  // namespace
}  // namespace callwright
