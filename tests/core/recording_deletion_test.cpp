#include <gtest/gtest.h>

#include <cstddef>
#include <string>

#include "core/recording_deletion.h"

namespace callwright {
namespace {

TEST(DeletionQuestion, NamesWhatWillHappenAndHowMany) {
  struct Case {
    std::size_t count;
    DeletionKind kind;
    const wchar_t* text;
  } cases[] = {
      {3, DeletionKind::Recycle, L"Move 3 recordings to the Recycle Bin?"},
      {1, DeletionKind::Recycle, L"Move 1 recording to the Recycle Bin?"},
      {3, DeletionKind::Permanent, L"Permanently delete 3 recordings?"},
      {1, DeletionKind::Permanent, L"Permanently delete 1 recording?"},
      {100000, DeletionKind::Permanent, L"Permanently delete 100000 recordings?"},
  };
  for (const Case& c : cases) EXPECT_EQ(DeletionQuestion(c.count, c.kind), c.text) << c.count;
}

TEST(NoRecycleBinQuestion, TellsWhyAndAsksForPermanentDeletion) {
  EXPECT_EQ(NoRecycleBinQuestion(1),
            L"1 recording cannot be moved to the Recycle Bin: its drive has none. Permanently delete it?");
  EXPECT_EQ(NoRecycleBinQuestion(2),
            L"2 recordings cannot be moved to the Recycle Bin: their drive has none. Permanently delete them?");
}

}  // namespace
}  // namespace callwright
