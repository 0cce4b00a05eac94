// The live set of a folder's names on the real file system: the first listing, files that come,
// go and are renamed by this process and by the changes' subscribers, and the folder's own end.
#include "core/folder_watch_win.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/handles.h"
#include "support/files_win.h"
#include "support/temp_dir_win.h"

namespace callwright {
namespace {

bool WaitFor(const std::function<bool()>& done, DWORD timeout_ms = 10000) {
  const ULONGLONG until = ::GetTickCount64() + timeout_ms;
  while (!done()) {
    if (::GetTickCount64() >= until) return false;
    ::Sleep(10);
  }
  return true;
}

TEST(FolderWatch, ListsThenFollowsTheFolderAndTellsItsSubscribers) {
  test::TempDir dir(L"callwright-watch");
  ASSERT_TRUE(test::WriteBytes(dir.Join(L"01012026_100000_ann.wav"), "x"));
  ASSERT_TRUE(::CreateDirectoryW(dir.Join(L"sub").c_str(), nullptr));
  FolderWatch watch(dir.Path());
  std::mutex lock;
  std::vector<FolderChange> told;
  watch.Subscribe([&](const FolderChange& change) {
    const std::lock_guard hold(lock);
    told.push_back(change);
  });
  ASSERT_TRUE(watch.WaitListed(std::chrono::milliseconds(10000)));
  EXPECT_TRUE(watch.Contains(L"01012026_100000_ANN.WAV")) << "without regard to case";
  EXPECT_TRUE(watch.Contains(L"sub"));
  EXPECT_FALSE(watch.Contains(L"."));
  EXPECT_EQ(watch.Count(), 2u);
  EXPECT_TRUE(watch.Live());

  ASSERT_TRUE(test::WriteBytes(dir.Join(L"02012026_100000_bob.wav"), "x"));
  EXPECT_TRUE(WaitFor([&] { return watch.Contains(L"02012026_100000_bob.wav"); }));
  ASSERT_TRUE(::MoveFileW(dir.Join(L"02012026_100000_bob.wav").c_str(), dir.Join(L"renamed.wav").c_str()));
  EXPECT_TRUE(WaitFor([&] { return watch.Contains(L"renamed.wav") && !watch.Contains(L"02012026_100000_bob.wav"); }));
  ASSERT_TRUE(::DeleteFileW(dir.Join(L"01012026_100000_ann.wav").c_str()));
  EXPECT_TRUE(WaitFor([&] { return !watch.Contains(L"01012026_100000_ann.wav"); }));
  // Many names at once, more than one buffer of records holds: the set still ends right.
  for (int i = 0; i < 1500; ++i) {
    ASSERT_TRUE(test::WriteBytes(dir.Join(L"many_" + std::wstring(80, L'm') + std::to_wstring(i) + L".wav"), ""));
  }
  EXPECT_TRUE(WaitFor([&] { return watch.Count() == 1502; })) << watch.Count();
  {
    const std::lock_guard hold(lock);
    ASSERT_FALSE(told.empty());
    EXPECT_EQ(told.front().kind, FolderChange::Kind::Relisted) << "the first listing";
    EXPECT_NE(std::find(told.begin(), told.end(),
                        FolderChange{FolderChange::Kind::Renamed, L"renamed.wav", L"02012026_100000_bob.wav"}),
              told.end());
  }
}

// The first listing's recordings go to the reader that shares it: names, sizes and times as the
// search gives them, and nothing but recordings.
TEST(FolderWatch, GivesItsFirstListingsRecordingsToItsShare) {
  test::TempDir dir(L"callwright-watch");
  ASSERT_TRUE(test::WriteBytes(dir.Join(L"01012026_100000_ann.wav"), "12345"));
  ASSERT_TRUE(test::WriteBytes(dir.Join(L"02012026_100000_bob.flac"), "12"));
  ASSERT_TRUE(test::WriteBytes(dir.Join(L"notes.txt"), "x"));
  ASSERT_TRUE(::CreateDirectoryW(dir.Join(L"03012026_100000_folder.wav").c_str(), nullptr));
  auto share = std::make_shared<SharedListing>(dir.Path());
  FolderWatch watch(dir.Path(), share);
  auto listed = share->Take([] { return false; });
  ASSERT_TRUE(listed.has_value());
  std::sort(listed->begin(), listed->end(), [](const WavEntry& a, const WavEntry& b) { return a.path < b.path; });
  ASSERT_EQ(listed->size(), 2u);
  EXPECT_EQ((*listed)[0].path, L"01012026_100000_ann.wav");
  EXPECT_EQ((*listed)[0].size, 5);
  EXPECT_NE((*listed)[0].write_time, 0u);
  EXPECT_EQ((*listed)[1].path, L"02012026_100000_bob.flac");
  EXPECT_EQ((*listed)[1].size, 2);
  ASSERT_TRUE(watch.WaitListed(std::chrono::milliseconds(10000)));
  EXPECT_EQ(watch.Count(), 4u) << "the set still holds every name";
}

TEST(FolderWatch, ItsHandleNeverKeepsARemovedFolderOnceItIsGone) {
  test::TempDir dir(L"callwright-watch");
  const std::wstring folder = dir.Join(L"Records");
  ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
  {
    FolderWatch watch(folder);
    ASSERT_TRUE(watch.WaitListed(std::chrono::milliseconds(10000)));
    ASSERT_TRUE(::RemoveDirectoryW(folder.c_str())) << "the watch shares deletion";
  }
  EXPECT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr)) << ::GetLastError();
}

TEST(FolderWatch, AMissingFolderIsListedEmptyAndNotLive) {
  test::TempDir dir(L"callwright-watch");
  FolderWatch watch(dir.Join(L"missing"));
  ASSERT_TRUE(watch.WaitListed(std::chrono::milliseconds(10000)));
  EXPECT_EQ(watch.Count(), 0u);
  EXPECT_FALSE(watch.Live());
}

}  // namespace
}  // namespace callwright
