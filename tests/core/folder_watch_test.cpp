#include "core/folder_watch.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <cwctype>
#include <string>
#include <thread>
#include <vector>

namespace callwright {
namespace {

// One change record as the system lays it out; next 0 for the last.
void AppendRecord(std::vector<unsigned char>& buffer, std::uint32_t action, const std::wstring& name, bool last) {
  const std::size_t at = buffer.size();
  const auto name_bytes = static_cast<std::uint32_t>(name.size() * 2);
  std::uint32_t next = last ? 0 : static_cast<std::uint32_t>((12 + name_bytes + 3) / 4 * 4);
  buffer.resize(at + (last ? 12 + name_bytes : next));
  std::memcpy(buffer.data() + at, &next, 4);
  std::memcpy(buffer.data() + at + 4, &action, 4);
  std::memcpy(buffer.data() + at + 8, &name_bytes, 4);
  for (std::size_t i = 0; i < name.size(); ++i) {
    const auto unit = static_cast<std::uint16_t>(name[i]);
    std::memcpy(buffer.data() + at + 12 + 2 * i, &unit, 2);
  }
}

struct Record {
  std::uint32_t action;
  std::wstring name;
};

std::vector<unsigned char> Records(const std::vector<Record>& records) {
  std::vector<unsigned char> buffer;
  for (std::size_t i = 0; i < records.size(); ++i) {
    AppendRecord(buffer, records[i].action, records[i].name, i + 1 == records.size());
  }
  return buffer;
}

using Kind = FolderChange::Kind;

TEST(ReadChangeRecords, TurnsRecordsIntoNameChanges) {
  struct Case {
    const char* what;
    std::vector<Record> records;
    std::vector<FolderChange> changes;
  } cases[] = {
      {"added and removed", {{1, L"a.wav"}, {2, L"b.wav"}}, {{Kind::Added, L"a.wav", {}}, {Kind::Removed, L"b.wav", {}}}},
      {"a rename's two records", {{4, L"old.wav"}, {5, L"new.wav"}}, {{Kind::Renamed, L"new.wav", L"old.wav"}}},
      {"moved out: the old name alone", {{4, L"gone.wav"}}, {{Kind::Removed, L"gone.wav", {}}}},
      {"moved out, then another added", {{4, L"gone.wav"}, {1, L"x"}},
       {{Kind::Removed, L"gone.wav", {}}, {Kind::Added, L"x", {}}}},
      {"moved in: the new name alone", {{5, L"came.wav"}}, {{Kind::Added, L"came.wav", {}}}},
      {"two old names in a row", {{4, L"a"}, {4, L"b"}, {5, L"c"}},
       {{Kind::Removed, L"a", {}}, {Kind::Renamed, L"c", L"b"}}},
      {"a modification is no change of names", {{3, L"a.wav"}, {1, L"b.wav"}}, {{Kind::Added, L"b.wav", {}}}},
      {"an unknown action", {{99, L"a.wav"}}, {}},
      {"odd names", {{1, L""}, {1, L"\u9332\u97F3 (2).wav"}}, {{Kind::Added, L"", {}}, {Kind::Added, L"\u9332\u97F3 (2).wav", {}}}},
  };
  for (const Case& c : cases) {
    const std::vector<unsigned char> buffer = Records(c.records);
    EXPECT_EQ(ReadChangeRecords(buffer.data(), buffer.size()), c.changes) << c.what;
  }
}

TEST(ReadChangeRecords, NeverReadsPastTheBuffer) {
  const std::vector<unsigned char> whole = Records({{1, L"first.wav"}, {1, L"second.wav"}});
  // Every cut of the buffer: whole records before the cut are read, nothing past it.
  for (std::size_t size = 0; size <= whole.size(); ++size) {
    std::vector<unsigned char> cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size));
    const std::vector<FolderChange> changes = ReadChangeRecords(cut.data(), cut.size());
    const std::size_t first_end = 12 + 18;
    const std::size_t expected = size == whole.size() ? 2 : size >= first_end ? 1 : 0;
    EXPECT_EQ(changes.size(), expected) << size;
  }
  EXPECT_TRUE(ReadChangeRecords(nullptr, 100).empty());

  struct Bad {
    const char* what;
    std::uint32_t next;
    std::uint32_t name_bytes;
  } bad[] = {
      {"a name longer than the buffer", 0, 1000},
      {"an odd name length", 0, 3},
      {"a next offset past the end", 4096, 2},
      {"a next offset inside the header", 4, 2},
  };
  for (const Bad& b : bad) {
    std::vector<unsigned char> buffer = Records({{1, L"a"}, {1, L"b"}});
    std::memcpy(buffer.data(), &b.next, 4);
    std::memcpy(buffer.data() + 8, &b.name_bytes, 4);
    const std::vector<FolderChange> changes = ReadChangeRecords(buffer.data(), buffer.size());
    EXPECT_LE(changes.size(), 1u) << b.what;
    for (const FolderChange& change : changes) EXPECT_LE(change.name.size(), 1u) << b.what;
  }
}

std::wstring Upper(std::wstring_view name) {
  std::wstring upper(name);
  for (wchar_t& c : upper) c = static_cast<wchar_t>(std::towupper(c));
  return upper;
}

TEST(FolderNames, FollowsChangesWithoutRegardToCase) {
  FolderNames names(&Upper);
  names.Replace({L"a.wav", L"B.wav", L"sub"});
  EXPECT_EQ(names.Size(), 3u);
  EXPECT_TRUE(names.Contains(L"A.WAV"));
  EXPECT_TRUE(names.Contains(L"b.wav"));
  EXPECT_FALSE(names.Contains(L"c.wav"));
  names.Apply({Kind::Added, L"c.wav", {}});
  names.Apply({Kind::Added, L"C.WAV", {}});  // the same name again
  EXPECT_EQ(names.Size(), 4u);
  names.Apply({Kind::Removed, L"A.wav", {}});
  names.Apply({Kind::Removed, L"never.wav", {}});
  EXPECT_FALSE(names.Contains(L"a.wav"));
  names.Apply({Kind::Renamed, L"d.wav", L"b.WAV"});
  EXPECT_FALSE(names.Contains(L"b.wav"));
  EXPECT_TRUE(names.Contains(L"D.wav"));
  names.Apply({Kind::Relisted, {}, {}});
  names.Apply({Kind::Gone, {}, {}});
  EXPECT_EQ(names.Size(), 3u);
  names.Replace({});
  EXPECT_EQ(names.Size(), 0u);
}

// Whichever side comes first, the reader gets the listing once, or nothing once it is withdrawn
// or the reader stops waiting.
TEST(SharedListing, HandsOverOneListingOrNone) {
  const std::vector<WavEntry> listed{{L"01012026_100000_ann.wav", 5, 1}};
  const auto never = [] { return false; };
  {
    SharedListing given(L"C:\\A");
    given.Give(listed);
    given.Withdraw();  // too late: the listing was given first
    const auto taken = given.Take(never);
    ASSERT_TRUE(taken.has_value());
    EXPECT_EQ(taken->size(), 1u);
    EXPECT_EQ((*taken)[0].path, listed[0].path);
    EXPECT_EQ((*taken)[0].size, 5);
    EXPECT_FALSE(given.Take(never).has_value()) << "taken once";
  }
  {
    SharedListing withdrawn(L"C:\\A");
    withdrawn.Withdraw();
    withdrawn.Give(listed);
    EXPECT_FALSE(withdrawn.Take(never).has_value());
  }
  {
    // The reader waits for a listing given later on another thread.
    SharedListing later(L"C:\\A");
    std::thread watch([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(120));
      later.Give(listed);
    });
    const auto taken = later.Take(never);
    watch.join();
    ASSERT_TRUE(taken.has_value());
    EXPECT_EQ(taken->size(), 1u);
  }
  {
    // A reader told to stop stops waiting.
    SharedListing pending(L"C:\\A");
    int asked = 0;
    EXPECT_FALSE(pending.Take([&] { return ++asked == 3; }).has_value());
    EXPECT_EQ(asked, 3);
  }
}

}  // namespace
}  // namespace callwright
