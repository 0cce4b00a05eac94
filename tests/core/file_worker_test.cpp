#include "core/file_worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <string>
#include <vector>

#include "core/catalogue.h"
#include "support/gate.h"

namespace callwright {
namespace {

using namespace std::chrono_literals;

std::shared_ptr<const std::vector<std::wstring>> Paths(std::initializer_list<const wchar_t*> names) {
  auto paths = std::make_shared<std::vector<std::wstring>>();
  for (const wchar_t* name : names) paths->emplace_back(name);
  return paths;
}

FileOutcome Sized(std::int64_t size) { return {FileStatus::Done, size}; }
const FileOutcome kBusy{FileStatus::Busy};
const FileOutcome kFailed{FileStatus::Failed};

// Collects every result until the worker has ended.
std::vector<FileWorker::Result> AllResults(FileWorker& probe) {
  std::vector<FileWorker::Result> all;
  EXPECT_TRUE(probe.WaitEnded(10s));
  for (const auto& result : probe.TakeResults()) all.push_back(result);
  return all;
}

using test::Gate;

// A measure that gives every file the size 1 and waits at the gate when it reaches `name`.
FileWorker::Work HoldAt(Gate& gate, const wchar_t* name) {
  return [&gate, name](const std::wstring& path) {
    if (path == name) gate.Pass();
    return Sized(1);
  };
}

TEST(FileWorker, MeasuresInTheOrderGivenAndReportsEachIndexOnce) {
  const auto paths = Paths({L"a", L"bb", L"ccc", L"busy"});
  std::vector<std::wstring> measured;
  FileWorker probe(
      paths, {2, 0, 3, 1, 7},
      [&](const std::wstring& path) {
        measured.push_back(path);
        return path == L"busy" ? kBusy : Sized(static_cast<std::int64_t>(path.size()));
      },
      {});
  const std::vector<FileWorker::Result> expected = {{2, Sized(3)}, {0, Sized(1)}, {3, kBusy}, {1, Sized(2)}};
  EXPECT_EQ(AllResults(probe), expected);
  EXPECT_EQ(measured, (std::vector<std::wstring>{L"ccc", L"a", L"busy", L"bb"})) << "index 7 does not exist";
  EXPECT_TRUE(probe.Done());
  EXPECT_TRUE(probe.TakeResults().empty());
}

TEST(FileWorker, NotifiesOnceUntilTheResultsAreTaken) {
  const auto paths = Paths({L"a", L"b", L"c"});
  Gate gate;
  std::atomic<int> notified{0};
  FileWorker probe(paths, {0, 1, 2}, HoldAt(gate, L"c"), [&] { ++notified; });
  ASSERT_TRUE(gate.WaitForVisitor());
  EXPECT_EQ(notified, 1) << "two results, one notice";
  EXPECT_FALSE(probe.Done());
  EXPECT_EQ(probe.TakeResults().size(), 2u);
  gate.Open();
  ASSERT_TRUE(probe.WaitEnded(10s));
  EXPECT_EQ(notified, 2) << "a new notice for the result after the take";
  EXPECT_FALSE(probe.Done()) << "a result still waits";
  EXPECT_EQ(probe.TakeResults(), (std::vector<FileWorker::Result>{{2, Sized(1)}}));
  EXPECT_TRUE(probe.Done());
}

TEST(FileWorker, NoticesComeNoOftenerThanAskedAndTheLastIsAlwaysTold) {
  const auto paths = Paths({L"a", L"b", L"c"});
  Gate gate;
  std::atomic<int> notified{0};
  FileWorker worker(paths, {0, 1, 2}, HoldAt(gate, L"b"), [&] { ++notified; }, std::chrono::hours(1));
  ASSERT_TRUE(gate.WaitForVisitor());
  EXPECT_EQ(notified, 1) << "the first result is told at once";
  EXPECT_EQ(worker.TakeResults().size(), 1u);
  gate.Open();
  ASSERT_TRUE(worker.WaitEnded(10s));
  EXPECT_EQ(notified, 2) << "the held-back results are told at the end";
  EXPECT_EQ(worker.TakeResults(), (std::vector<FileWorker::Result>{{1, Sized(1)}, {2, Sized(1)}}));
  EXPECT_TRUE(worker.Done());
}

TEST(FileWorker, AReceiverThatTookTheLastResultsIsToldTheEnd) {
  // The window answers each notice by taking the results; it learns that the work is done only
  // when asked once more. A table: results taken before the end, with and without an interval.
  for (const auto interval : {std::chrono::milliseconds{0}, std::chrono::milliseconds{std::chrono::hours(1)}}) {
    const auto paths = Paths({L"a", L"b"});
    Gate gate;
    std::mutex lock;
    std::condition_variable told;
    FileWorker* receiver = nullptr;
    std::size_t taken = 0;
    bool seen_done = false;
    FileWorker worker(
        paths, {0, 1},
        [&](const std::wstring& path) {
          if (path == L"a") gate.Pass();
          return Sized(1);
        },
        [&] {
          const std::lock_guard<std::mutex> hold(lock);
          taken += receiver->TakeResults().size();
          seen_done = seen_done || receiver->Done();
          told.notify_all();
        },
        interval);
    ASSERT_TRUE(gate.WaitForVisitor());
    receiver = &worker;
    gate.Open();
    ASSERT_TRUE(worker.WaitEnded(10s));
    std::unique_lock<std::mutex> hold(lock);
    EXPECT_TRUE(told.wait_for(hold, 1s, [&] { return seen_done; }))
        << "interval " << interval.count() << " ms: the receiver never learns that all is done";
    EXPECT_EQ(taken, 2u);
  }
}

TEST(FileWorker, CancelStopsBeforeTheNextFile) {
  const auto paths = Paths({L"a", L"b", L"c"});
  Gate gate;
  std::atomic<int> calls{0};
  FileWorker probe(
      paths, {0, 1, 2},
      [&](const std::wstring&) {
        ++calls;
        gate.Pass();
        return Sized(5);
      },
      {});
  ASSERT_TRUE(gate.WaitForVisitor());
  probe.Cancel();
  EXPECT_FALSE(probe.Ended()) << "still inside the first file";
  gate.Open();
  ASSERT_TRUE(probe.WaitEnded(10s));
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(probe.TakeResults(), (std::vector<FileWorker::Result>{{0, Sized(5)}}));
  EXPECT_FALSE(probe.Done()) << "cancelled before the end";
}

TEST(FileWorker, AnErrorEscapingTheWorkReadsAsAFailure) {
  const auto paths = Paths({L"a", L"b"});
  FileWorker probe(
      paths, {0, 1},
      [&](const std::wstring& path) {
        if (path == L"a") throw std::runtime_error("no");
        return Sized(3);
      },
      {});
  EXPECT_EQ(AllResults(probe), (std::vector<FileWorker::Result>{{0, kFailed}, {1, Sized(3)}}));
}

TEST(FileWorker, DestructionWaitsForTheFileInHandAndMeasuresNoMore) {
  const auto paths = Paths({L"a", L"b"});
  std::atomic<int> calls{0};
  std::atomic<bool> finished{false};
  {
    FileWorker probe(
        paths, {0, 1},
        [&](const std::wstring&) {
          ++calls;
          std::this_thread::sleep_for(100ms);
          finished = true;
          return Sized(3);
        },
        {});
    const auto end = std::chrono::steady_clock::now() + 10s;
    while (calls == 0 && std::chrono::steady_clock::now() < end) std::this_thread::yield();
    ASSERT_EQ(calls, 1);
  }
  EXPECT_TRUE(finished) << "the worker was waited for";
  EXPECT_EQ(calls, 1);
}

TEST(NewestFirst, OrdersByWriteTimeKeepingTheSearchOrderOfEqualTimes) {
  const std::vector<WavEntry> entries = {
      {L"a", 1, 100}, {L"b", 1, 300}, {L"c", 1, 200}, {L"d", 1, 300}, {L"e", 1, 0},
  };
  EXPECT_EQ(NewestFirst(entries), (std::vector<std::size_t>{1, 3, 2, 0, 4}));
  EXPECT_TRUE(NewestFirst({}).empty());
}

}  // namespace
}  // namespace callwright
