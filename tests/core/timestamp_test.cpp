#include <gtest/gtest.h>

#include "core/timestamp.h"

namespace callwright {
namespace {

TEST(FormatTimestamp, PadsEveryFieldButTheYear) {
  struct Case {
    LocalTime time;
    const wchar_t* text;
  } cases[] = {
      {{2013, 3, 7, 9, 5, 3}, L"07032013_090503"},
      {{2013, 12, 31, 23, 59, 59}, L"31122013_235959"},
      {{2014, 1, 1, 0, 0, 0}, L"01012014_000000"},
      {{2026, 10, 10, 10, 10, 10}, L"10102026_101010"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatTimestamp(c.time), c.text);
}

}  // namespace
}  // namespace callwright
