#include "core/recording_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cwctype>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "support/gate.h"

namespace callwright {
namespace {

using namespace std::chrono_literals;

const NumberSeparators kEnglish{L".", L","};

using test::Gate;

// Folders of files held in memory, as the workers see them; busy files refuse measuring and
// deleting, denied ones refuse both with another answer.
class FakeDisk {
 public:
  void Put(const std::wstring& folder, const std::wstring& name, std::int64_t size) {
    const std::lock_guard<std::mutex> hold(lock_);
    folders_[folder][name] = size;
  }
  void Erase(const std::wstring& folder, const std::wstring& name) {
    const std::lock_guard<std::mutex> hold(lock_);
    folders_[folder].erase(name);
  }
  bool Has(const std::wstring& folder, const std::wstring& name) {
    const std::lock_guard<std::mutex> hold(lock_);
    return folders_[folder].contains(name);
  }
  // Only while no worker runs.
  void SetBusy(const std::wstring& path) { busy_.insert(path); }
  // Only while no worker runs.
  void SetFree(const std::wstring& path) { busy_.erase(path); }
  void SetDenied(const std::wstring& path) { denied_.insert(path); }
  void SetDamaged(const std::wstring& path) {
    const std::lock_guard<std::mutex> hold(lock_);
    damaged_.insert(path);
  }
  int Repairs() {
    const std::lock_guard<std::mutex> hold(lock_);
    return repairs_;
  }
  // The next search of `folder` waits at the gate after taking its entries.
  void HoldSearch(const std::wstring& folder, Gate& gate) { search_gates_[folder + L"\\"] = &gate; }
  // Only while no worker runs.
  void ClearGates() {
    search_gates_.clear();
    measure_gates_.clear();
  }
  // Measuring `path` waits at the gate.
  void HoldMeasure(const std::wstring& path, Gate& gate) { measure_gates_[path] = &gate; }

  // What the services' removal does to one file.
  FileOutcome Remove(const std::wstring& path) { return Outcome(path, true); }

  RecordingListServices Services(std::function<void()> wake) {
    RecordingListServices services;
    services.list = [this](const std::wstring& folder, const std::function<bool()>&) {
      std::vector<WavEntry> entries;
      {
        const std::lock_guard<std::mutex> hold(lock_);
        const std::wstring key = folder.substr(0, folder.size() - 1);
        std::uint64_t time = 0;
        for (const auto& [name, size] : folders_[key]) entries.push_back({name, size, ++time});
      }
      if (const auto gate = search_gates_.find(folder); gate != search_gates_.end()) gate->second->Pass();
      return entries;
    };
    services.measure = [this](const std::wstring& path) {
      if (const auto gate = measure_gates_.find(path); gate != measure_gates_.end()) gate->second->Pass();
      return Outcome(path, false);
    };
    services.remove = [this](const std::wstring& path) { return Outcome(path, true); };
    services.repair = [this](const std::wstring& path) {
      if (busy_.contains(path)) return FileOutcome{FileStatus::Busy};
      const std::lock_guard<std::mutex> hold(lock_);
      ++repairs_;
      return FileOutcome{damaged_.erase(path) > 0 ? FileStatus::Done : FileStatus::Failed};
    };
    services.wake = std::move(wake);
    services.measure_interval = 0ms;
    services.delete_interval = 0ms;
    return services;
  }

 private:
  FileOutcome Outcome(const std::wstring& path, bool remove) {
    if (busy_.contains(path)) return {FileStatus::Busy};
    if (denied_.contains(path)) return {FileStatus::Denied};
    const std::size_t slash = path.rfind(L'\\');
    const std::lock_guard<std::mutex> hold(lock_);
    auto& folder = folders_[path.substr(0, slash)];
    const auto file = folder.find(path.substr(slash + 1));
    if (file == folder.end()) return {FileStatus::Gone};
    if (!remove) return {FileStatus::Done, file->second, file->second * 10, damaged_.contains(path)};
    folder.erase(file);
    return {FileStatus::Done};
  }

  std::mutex lock_;
  std::map<std::wstring, std::map<std::wstring, std::int64_t>> folders_;
  std::set<std::wstring> busy_;
  std::set<std::wstring> denied_;
  std::set<std::wstring> damaged_;  // guarded by lock_
  int repairs_ = 0;                 // guarded by lock_
  std::map<std::wstring, Gate*> search_gates_;
  std::map<std::wstring, Gate*> measure_gates_;
};

// The shown rows' names, in their order.
std::vector<std::wstring> NamesOf(const RecordingList& list) {
  std::vector<std::wstring> names;
  for (int row = 0; row < list.Count(); ++row) names.emplace_back(list.Name(row));
  return names;
}

// A list of a test's own, without the fixture's wake-ups: updated until its workers end.
void SettleAlone(RecordingList& list) {
  while (list.Listing()) {
    std::this_thread::sleep_for(2ms);
    list.Update();
  }
}

// The list with its owner's side: wake-ups answered by Update() on the test's thread, and every
// change and deletion end recorded.
class RecordingListTest : public ::testing::Test {
 protected:
  RecordingListTest() : list_(disk_.Services([this] { Wake(); })) {
    list_.OnChange = [this](const RecordingList::Change& change) {
      changes_.push_back(change);
      if (change.kind == RecordingList::Change::Kind::Reset) shown_at_reset_ = Names();
    };
    list_.OnDeletionDone = [this](const RecordingList::DeletionReport& report) {
      busy_kept_.push_back(report.busy_kept);
      no_recycle_bin_.push_back(report.no_recycle_bin);
    };
  }

  void Wake() {
    const std::lock_guard<std::mutex> hold(lock_);
    ++wakes_;
    signal_.notify_all();
  }

  // Answers wake-ups until nothing is listed, measured or deleted any more (with `deletions_only`,
  // until nothing is deleted).
  void Settle(bool deletions_only = false) {
    const auto end = std::chrono::steady_clock::now() + 10s;
    while (std::chrono::steady_clock::now() < end) {
      {
        std::unique_lock<std::mutex> hold(lock_);
        signal_.wait_for(hold, 5ms, [this] { return wakes_ > 0; });
        wakes_ = 0;
      }
      list_.Update();
      if ((deletions_only || !list_.Listing()) && !list_.Deleting()) return;
    }
    ADD_FAILURE() << "the workers never ended";
  }

  // Answers the wake-ups that come within a short time, without waiting for the end.
  void UpdateFor(std::chrono::milliseconds time) {
    const auto end = std::chrono::steady_clock::now() + time;
    while (std::chrono::steady_clock::now() < end) {
      std::this_thread::sleep_for(2ms);
      list_.Update();
    }
  }

  std::vector<std::wstring> Names() const { return NamesOf(list_); }

  std::vector<std::wstring> Column(RecordingList::Column column) const {
    std::vector<std::wstring> texts;
    for (int row = 0; row < list_.Count(); ++row) texts.push_back(list_.Text(row, column, kEnglish));
    return texts;
  }

  FakeDisk disk_;
  std::mutex lock_;
  std::condition_variable signal_;
  int wakes_ = 0;
  std::vector<RecordingList::Change> changes_;
  std::vector<std::size_t> busy_kept_;
  std::vector<RecordingList::Selection> no_recycle_bin_;
  std::vector<std::wstring> shown_at_reset_;  // the rows as a listing brought them
  RecordingList list_;
};

const std::wstring kA = L"C:\\A";
const std::wstring kB = L"C:\\B";
const std::wstring kAnna = L"05032013_141516_anna.wav";
const std::wstring kBob = L"06032013_090000_bob.wav";
const std::wstring kCarl = L"07032013_100000_carl.wav";
const std::wstring kDora = L"08032013_110000_dora.wav";

TEST_F(RecordingListTest, CellsComeFromTheNameAndTheFilesState) {
  disk_.Put(kA, kAnna, 1536);
  disk_.Put(kA, kBob, 10);
  disk_.Put(kA, kCarl, 20);
  disk_.Put(kA, L"tape.WAV", 1);
  disk_.SetBusy(kA + L"\\" + kBob);
  disk_.SetDenied(kA + L"\\" + kCarl);
  list_.List(kA);
  Settle();
  ASSERT_EQ(Names(), (std::vector<std::wstring>{kAnna, kBob, kCarl, L"tape.WAV"})) << "the search's order";
  EXPECT_EQ(Column(RecordingList::kWhen),
            (std::vector<std::wstring>{L"05/03/2013 at 14:15:16", L"06/03/2013 at 09:00:00",
                                       L"07/03/2013 at 10:00:00", L"ta/pe/.WAV at ::"}));
  EXPECT_EQ(Column(RecordingList::kPartner), (std::vector<std::wstring>{L"anna", L"bob", L"carl", L"tape"}));
  EXPECT_EQ(Column(RecordingList::kSize),
            (std::vector<std::wstring>{L"1.50 KB", L"BUSY", L"NO ACCESS", L"1.00 Bytes"}));
  EXPECT_EQ(Column(RecordingList::kLength), (std::vector<std::wstring>{L"0:15", L"", L"", L"0:00"}))
      << "empty while BUSY or unreadable";
  EXPECT_EQ(list_.Path(0), kA + L"\\" + kAnna);
  EXPECT_EQ(list_.At(0)->time, 20130305141516u);
  EXPECT_EQ(list_.At(3)->time, 0u);
  EXPECT_EQ(list_.At(0)->length, 15u) << "seconds from the measure's milliseconds";
  EXPECT_EQ(list_.At(4), nullptr);
  EXPECT_EQ(list_.Text(4, RecordingList::kWhen, kEnglish), L"");
  EXPECT_EQ(list_.Path(-1), L"");
  ASSERT_FALSE(changes_.empty());
  EXPECT_EQ(changes_.front().kind, RecordingList::Change::Kind::Reset);
}

// A conversion's note takes the Size cell and stays across listings until cleared; a file seen
// BUSY and free at a later listing (its call has ended) is told once, and only for its folder.
TEST_F(RecordingListTest, ConversionNotesAndCallsEndedBetweenListings) {
  std::vector<std::wstring> ended;
  list_.OnBusyEnded = [&](const std::wstring& name) { ended.push_back(name); };
  disk_.Put(kA, kAnna, 1536);
  disk_.Put(kA, kBob, 10);
  disk_.SetBusy(kA + L"\\" + kBob);
  list_.List(kA);
  Settle();
  EXPECT_TRUE(ended.empty());
  changes_.clear();
  list_.SetConverting(kAnna);
  ASSERT_EQ(changes_.size(), 1u);
  EXPECT_EQ(changes_[0].kind, RecordingList::Change::Kind::Cells);
  list_.SetConverting(L"09032013_120000_nobody.wav");
  EXPECT_EQ(changes_.size(), 1u) << "no row shows it: nothing to repaint";
  EXPECT_EQ(Column(RecordingList::kSize), (std::vector<std::wstring>{L"converting", L"BUSY"}));

  disk_.SetFree(kA + L"\\" + kBob);
  list_.List(kA);
  Settle();
  EXPECT_EQ(ended, std::vector<std::wstring>{kBob});
  EXPECT_EQ(Column(RecordingList::kSize), (std::vector<std::wstring>{L"converting", L"10.00 Bytes"}));
  list_.List(kA);
  Settle();
  EXPECT_EQ(ended.size(), 1u) << "told once";

  list_.SetConversionFailed(kAnna, L"the encoder failed");
  EXPECT_EQ(list_.Text(0, RecordingList::kSize, kEnglish), L"not converted: the encoder failed");
  EXPECT_EQ(list_.ConversionNote(kAnna), L"not converted: the encoder failed");
  list_.ClearConversion(kAnna);
  EXPECT_EQ(list_.Text(0, RecordingList::kSize, kEnglish), L"1.50 KB");

  // BUSY in one folder, then a file of that name free in another: no call of this folder ended.
  disk_.Put(kA, kCarl, 5);
  disk_.SetBusy(kA + L"\\" + kCarl);
  list_.List(kA);
  Settle();
  disk_.Put(kB, kCarl, 5);
  list_.List(kB);
  Settle();
  EXPECT_EQ(ended.size(), 1u);
}

TEST_F(RecordingListTest, AFileGoneBeforeItsMeasureLeavesTheRows) {
  for (const std::wstring& name : {kAnna, kBob, kCarl}) disk_.Put(kA, name, 5);
  Gate gate;
  disk_.HoldSearch(kA, gate);
  list_.List(kA);
  ASSERT_TRUE(gate.WaitForVisitor());
  disk_.Erase(kA, kBob);  // after the search saw it, before the measure
  gate.Open();
  Settle();
  EXPECT_EQ(Names(), (std::vector<std::wstring>{kAnna, kCarl})) << "never shown as BUSY";
}

// Files that come or go while a listing searches are in its rows as they are on disk, whether the
// search saw them or not, and each row gets its own file's measure.
TEST_F(RecordingListTest, FilesThatComeDuringAListingAreInItsRows) {
  for (const std::wstring& name : {kAnna, kDora}) disk_.Put(kA, name, 5);
  list_.List(kA);
  Settle();
  Gate gate;
  disk_.HoldSearch(kA, gate);
  list_.List(kA);
  ASSERT_TRUE(gate.WaitForVisitor());
  // After the search took its entries: Bob comes, Carl comes and goes, Dora goes and comes back.
  disk_.Put(kA, kBob, 9);
  list_.FileAdded(kBob, 9);
  list_.FileAdded(kCarl, 3);
  list_.FileRemoved(kCarl);
  list_.FileRemoved(kDora);
  list_.FileAdded(kDora, 5);
  UpdateFor(20ms);
  gate.Open();
  Settle();
  list_.SetSort(RecordingList::kWhen, true);
  EXPECT_EQ(Names(), (std::vector<std::wstring>{kAnna, kBob, kDora}));
  EXPECT_EQ(Column(RecordingList::kSize), (std::vector<std::wstring>{L"5.00 Bytes", L"9.00 Bytes", L"5.00 Bytes"}));
}

// A listing shared by a folder watch gives the rows without a search of its own; without one
// (withdrawn), the folder is searched; a listing replaced while it waits never shows.
TEST_F(RecordingListTest, ASharedListingGivesTheRowsInsteadOfASearch) {
  for (const std::wstring& name : {kAnna, kBob}) disk_.Put(kA, name, 5);
  auto shared = std::make_shared<SharedListing>(kA);
  list_.List(kA, shared);
  UpdateFor(30ms);
  EXPECT_TRUE(list_.Listing()) << "waits for the watch";
  EXPECT_EQ(list_.ListedFolder(), kA);
  EXPECT_EQ(list_.Count(), 0);
  disk_.Put(kA, kCarl, 3);
  shared->Give({{kCarl, 3, 1}});
  Settle();
  EXPECT_EQ(Names(), (std::vector<std::wstring>{kCarl}));
  EXPECT_EQ(Column(RecordingList::kSize), (std::vector<std::wstring>{L"3.00 Bytes"}));

  auto withdrawn = std::make_shared<SharedListing>(kA);
  list_.List(kA, withdrawn);
  withdrawn->Withdraw();
  Settle();
  list_.SetSort(RecordingList::kWhen, true);
  EXPECT_EQ(Names(), (std::vector<std::wstring>{kAnna, kBob, kCarl}));

  auto replaced = std::make_shared<SharedListing>(kB);
  list_.List(kB, replaced);
  list_.List(kA);
  Settle();
  replaced->Give({{kDora, 1, 1}});
  UpdateFor(50ms);
  EXPECT_EQ(list_.Folder(), kA);
  EXPECT_EQ(Names(), (std::vector<std::wstring>{kAnna, kBob, kCarl}));
  list_.Stop(10s);
}

// Results of an older listing, its search or its measures, never reach the newer one's rows.
TEST_F(RecordingListTest, AnOlderListingsResultsNeverReachTheRows) {
  for (const std::wstring& name : {kAnna, kBob}) {
    disk_.Put(kA, name, 5);
    disk_.Put(kB, name, 7);
  }
  Gate search;
  disk_.HoldSearch(kA, search);
  list_.List(kA);
  ASSERT_TRUE(search.WaitForVisitor());
  list_.List(kB);
  Settle();
  search.Open();
  UpdateFor(50ms);
  EXPECT_EQ(list_.Folder(), kB);
  EXPECT_EQ(Column(RecordingList::kSize), (std::vector<std::wstring>(2, L"7.00 Bytes")));
  list_.Stop(10s);
}

// A measure that changes a row's cells names that row, so that the window repaints only it; a row
// the search hides changes nothing shown.
TEST_F(RecordingListTest, MeasuresNameTheRowsTheyChange) {
  for (const std::wstring& name : {kAnna, kBob, kCarl, kDora}) {
    disk_.Put(kA, name, 5);
    disk_.SetBusy(kA + L"\\" + name);
  }
  list_.List(kA);
  Settle();
  list_.SetSort(RecordingList::kWhen, false);
  ASSERT_EQ(Names(), (std::vector<std::wstring>{kDora, kCarl, kBob, kAnna}));
  for (const auto& [name, filter, rows] : {std::tuple{kCarl, L"", std::vector<int>{1}},
                                           std::tuple{kAnna, L"", std::vector<int>{3}},
                                           std::tuple{kBob, L"dora", std::vector<int>{}}}) {
    list_.SetFilter(filter);
    disk_.SetFree(kA + L"\\" + name);
    changes_.clear();
    list_.RemeasureBusy();
    Settle();
    std::vector<RecordingList::Change> cells;
    for (const auto& change : changes_) {
      if (change.kind == RecordingList::Change::Kind::Cells) cells.push_back(change);
    }
    if (rows.empty()) {
      EXPECT_TRUE(cells.empty()) << "a hidden row changed";
    } else {
      ASSERT_EQ(cells.size(), 1u);
      EXPECT_EQ(cells[0].rows, rows);
      EXPECT_EQ(list_.Text(rows[0], RecordingList::kSize, kEnglish), L"5.00 Bytes") << "no longer BUSY";
    }
  }
}

TEST_F(RecordingListTest, AnOlderListingsMeasureNeverReachesANewerListing) {
  for (const std::wstring& name : {kAnna, kBob}) {
    disk_.Put(kA, name, 5);
    disk_.Put(kB, name, 7);
  }
  Gate measure;
  disk_.HoldMeasure(kA + L"\\" + kBob, measure);
  disk_.SetBusy(kA + L"\\" + kAnna);
  list_.List(kA);
  // The measuring starts when the listing's rows are taken.
  for (int i = 0; i < 5000 && !measure.Visited(); ++i) UpdateFor(2ms);
  ASSERT_TRUE(measure.Visited());
  EXPECT_EQ(Names(), (std::vector<std::wstring>{kAnna, kBob}));
  list_.List(kB);
  Settle();
  measure.Open();
  UpdateFor(50ms);
  list_.Stop(10s);
  EXPECT_EQ(Column(RecordingList::kSize), (std::vector<std::wstring>(2, L"7.00 Bytes")));
  EXPECT_EQ(Column(RecordingList::kLocation), (std::vector<std::wstring>{kB + L"\\" + kAnna, kB + L"\\" + kBob}));
}

// Files that a Delete removes while a listing searches are dropped from its rows, whichever of the
// two reaches the list first.
TEST_F(RecordingListTest, DeletionsDuringAListingNeverComeBack) {
  for (const bool deletion_first : {true, false}) {
    SCOPED_TRACE(deletion_first ? "deletion results first" : "listing first");
    FakeDisk& disk = disk_;
    for (const std::wstring& name : {kAnna, kBob, kCarl, kDora}) disk.Put(kA, name, 5);
    list_.List(kA);
    Settle();
    const RecordingList::Selection selection = list_.Select({1, 2, 2, 9});
    ASSERT_EQ(selection.names, (std::vector<std::wstring>{kBob, kCarl}));

    Gate search;
    disk.HoldSearch(kA, search);
    list_.List(kA);  // Refresh: the search takes its entries, then waits
    ASSERT_TRUE(search.WaitForVisitor());
    list_.Delete(selection);
    if (deletion_first) {
      Settle(true);  // the deletion's results; the listing still waits
      EXPECT_FALSE(disk.Has(kA, kBob));
      search.Open();
    } else {
      search.Open();
    }
    Settle();
    EXPECT_EQ(Names(), (std::vector<std::wstring>{kAnna, kDora}));
    if (deletion_first) {
      EXPECT_EQ(shown_at_reset_, (std::vector<std::wstring>{kAnna, kDora})) << "not even for a moment";
    }
    EXPECT_EQ(busy_kept_, std::vector<std::size_t>{0});
    busy_kept_.clear();
    disk.ClearGates();
  }
}

TEST_F(RecordingListTest, DeletionKeepsBusyFilesAndTellsHowManyAndMovesTheRowsLeft) {
  for (const std::wstring& name : {kAnna, kBob, kCarl, kDora}) disk_.Put(kA, name, 5);
  disk_.SetBusy(kA + L"\\" + kCarl);
  list_.List(kA);
  Settle();
  changes_.clear();
  list_.Delete(list_.Select({0, 2, 3}));
  Settle();
  EXPECT_EQ(Names(), (std::vector<std::wstring>{kBob, kCarl}));
  EXPECT_EQ(busy_kept_, std::vector<std::size_t>{1});
  ASSERT_FALSE(changes_.empty());
  // Every change was a move; composed, they take rows 1 and 2 to 0 and 1.
  std::vector<int> where{0, 1, 2, 3};
  for (const RecordingList::Change& change : changes_) {
    ASSERT_EQ(change.kind, RecordingList::Change::Kind::Moved);
    for (int& row : where) row = row < 0 ? -1 : change.new_index.at(static_cast<std::size_t>(row));
  }
  EXPECT_EQ(where, (std::vector<int>{-1, 0, 1, -1}));
}

TEST_F(RecordingListTest, FilesNoRecycleBinTookStayAndAreReportedForTheirOneQuestion) {
  for (const std::wstring& name : {kAnna, kBob, kCarl}) disk_.Put(kA, name, 5);
  list_.List(kA);
  Settle();
  // Bob's volume has no Recycle Bin: his file stays, and only a later deletion for good removes it.
  const FileWorker::Work recycle = [this](const std::wstring& path) {
    return path.ends_with(kBob) ? FileOutcome{FileStatus::NoRecycleBin} : disk_.Remove(path);
  };
  list_.Delete(list_.Select({0, 1, 2}), recycle);
  Settle();
  EXPECT_EQ(Names(), std::vector<std::wstring>{kBob});
  ASSERT_EQ(no_recycle_bin_.size(), 1u);
  EXPECT_EQ(no_recycle_bin_[0].folder, kA);
  EXPECT_EQ(no_recycle_bin_[0].names, std::vector<std::wstring>{kBob});
  EXPECT_EQ(busy_kept_, std::vector<std::size_t>{0});
  list_.Delete(no_recycle_bin_[0]);
  Settle();
  EXPECT_TRUE(Names().empty());
  EXPECT_TRUE(no_recycle_bin_[1].names.empty());
}

TEST_F(RecordingListTest, RepairedRecordingsAreMeasuredAgain) {
  for (const std::wstring& name : {kAnna, kBob, kCarl}) disk_.Put(kA, name, 5);
  disk_.SetDamaged(kA + L"\\" + kAnna);
  disk_.SetDamaged(kA + L"\\" + kBob);
  list_.List(kA);
  Settle();
  ASSERT_TRUE(list_.At(0)->damaged);
  ASSERT_TRUE(list_.At(1)->damaged);
  EXPECT_FALSE(list_.At(2)->damaged);
  list_.Repair(list_.Select({0}));
  for (int i = 0; i < 2000 && (list_.Repairing() || list_.Listing()); ++i) UpdateFor(2ms);
  EXPECT_FALSE(list_.At(0)->damaged) << "mended and measured again";
  EXPECT_TRUE(list_.At(1)->damaged) << "not selected";
  EXPECT_EQ(disk_.Repairs(), 1);
}

TEST_F(RecordingListTest, SortsByEveryColumnBothWaysKeepingTheListingsOrderOfEqualKeys) {
  const std::wstring a10 = L"01012020_100000_Anna10.wav", a9 = L"01012020_100000_anna9.wav";
  const std::wstring b = L"31122019_235959_bob.wav", z = L"02012020_000000_Zed.wav";
  disk_.Put(kA, a10, 300);
  disk_.Put(kA, a9, 100);
  disk_.Put(kA, b, 300);
  disk_.Put(kA, z, 200);
  disk_.SetBusy(kA + L"\\" + z);
  list_.List(kA);
  Settle();
  ASSERT_EQ(Names(), (std::vector<std::wstring>{a10, a9, z, b}));
  struct Case {
    int column;
    bool ascending;
    std::vector<std::wstring> names;
  } cases[] = {
      {RecordingList::kWhen, true, {b, a10, a9, z}},
      {RecordingList::kWhen, false, {z, a9, a10, b}},
      {RecordingList::kPartner, true, {a10, a9, b, z}},  // the default order: code units, any case
      {RecordingList::kSize, true, {a9, a10, b, z}},     // BUSY last, equal sizes in listing order
      {RecordingList::kSize, false, {z, a10, b, a9}},
      {RecordingList::kLength, true, {a9, a10, b, z}},
      {RecordingList::kLocation, false, {b, z, a9, a10}},
      {-1, true, {a10, a9, z, b}},
  };
  for (const Case& c : cases) {
    list_.SetSort(c.column, c.ascending);
    EXPECT_EQ(Names(), c.names) << c.column << (c.ascending ? " up" : " down");
  }
}

// Sort, search and a new listing in every order end in the same rows, and a row followed through
// every move stays the same recording.
TEST_F(RecordingListTest, SortFilterAndListingInEveryOrderGiveTheSameRows) {
  for (const std::wstring& name : {kAnna, kBob, kCarl, kDora}) disk_.Put(kA, name, 10);
  disk_.Put(kA, L"09032013_120000_annabel.wav", 30);
  std::vector<int> steps{0, 1, 2};
  do {
    list_.SetSort(-1, true);
    list_.SetFilter(L"");
    list_.List(kA);
    Settle();
    changes_.clear();
    int followed = 1;  // bob's row
    ASSERT_EQ(list_.Name(followed), kBob);
    for (int step : steps) {
      if (step == 0) list_.SetSort(RecordingList::kSize, false);
      if (step == 1) list_.SetFilter(L"B");  // bob, annabel
      if (step == 2) {
        list_.List(kA);
        Settle();
        followed = -1;  // a new listing: nothing carries over
      }
      for (const RecordingList::Change& change : changes_) {
        if (change.kind == RecordingList::Change::Kind::Moved && followed >= 0) {
          followed = change.new_index.at(static_cast<std::size_t>(followed));
        }
      }
      changes_.clear();
      if (followed >= 0) {
        EXPECT_EQ(list_.Name(followed), kBob);
      }
    }
    EXPECT_EQ(Names(), (std::vector<std::wstring>{L"09032013_120000_annabel.wav", kBob}))
        << steps[0] << steps[1] << steps[2];
    EXPECT_EQ(list_.Total(), 5u);
  } while (std::next_permutation(steps.begin(), steps.end()));
}

TEST_F(RecordingListTest, FilesAddedAndRemovedFollowTheFolder) {
  disk_.Put(kA, kAnna, 5);
  list_.List(kA);
  Settle();
  disk_.Put(kA, kBob, 9);
  list_.FileAdded(kBob, 0);
  list_.FileAdded(kBob, 0);
  list_.FileAdded(L"notes.txt", 0);
  EXPECT_EQ(Names(), (std::vector<std::wstring>{kAnna, kBob})) << "once, and only recordings";
  Settle();
  EXPECT_EQ(list_.Text(1, RecordingList::kSize, kEnglish), L"9.00 Bytes") << "measured";
  list_.FileRemoved(kAnna);
  EXPECT_EQ(Names(), (std::vector<std::wstring>{kBob}));
  EXPECT_EQ(changes_.back().new_index, (std::vector<int>{-1, 0}));
  // Many at once leave in one move; a name given twice or not listed changes nothing more.
  for (const std::wstring& name : {kCarl, kDora}) {
    disk_.Put(kA, name, 1);
    list_.FileAdded(name, 0);
  }
  Settle();
  list_.SetSort(RecordingList::kWhen, true);
  const std::size_t before = changes_.size();
  list_.FilesRemoved({kBob, kDora, kBob, L"07032013_100000_nobody.wav"});
  EXPECT_EQ(changes_.size(), before + 1);
  EXPECT_EQ(changes_.back().new_index, (std::vector<int>{-1, 0, -1}));
  EXPECT_EQ(Names(), (std::vector<std::wstring>{kCarl}));
}

TEST_F(RecordingListTest, BusyRecordingsAreMeasuredAgainUntilTheirCallsEnd) {
  disk_.Put(kA, kAnna, 5);
  disk_.Put(kA, kBob, 7);
  disk_.SetBusy(kA + L"\\" + kBob);
  list_.List(kA);
  Settle();
  ASSERT_EQ(Column(RecordingList::kSize), (std::vector<std::wstring>{L"5.00 Bytes", L"BUSY"}));

  // Still recording: measured again, and nothing told for the same BUSY.
  changes_.clear();
  list_.RemeasureBusy();
  EXPECT_TRUE(list_.Listing());
  Settle();
  EXPECT_TRUE(changes_.empty());
  EXPECT_EQ(Column(RecordingList::kSize), (std::vector<std::wstring>{L"5.00 Bytes", L"BUSY"}));

  // The call ended: its size and length arrive at the next measure, the other row is not measured.
  disk_.Put(kA, kBob, 3000);
  disk_.Put(kA, kAnna, 6);
  disk_.SetFree(kA + L"\\" + kBob);
  list_.RemeasureBusy();
  Settle();
  EXPECT_EQ(Column(RecordingList::kSize), (std::vector<std::wstring>{L"5.00 Bytes", L"2.93 KB"}));
  EXPECT_EQ(Column(RecordingList::kLength), (std::vector<std::wstring>{L"0:00", L"0:30"}));
  ASSERT_FALSE(changes_.empty());
  EXPECT_EQ(changes_.back().kind, RecordingList::Change::Kind::Cells);

  // Nothing BUSY: no worker.
  list_.RemeasureBusy();
  EXPECT_FALSE(list_.Listing());
}


// Names of many partners, some repeated in other letter case, dates out of order, sizes with ties.
std::vector<std::wstring> MixedNames(int count) {
  const wchar_t* const partners[] = {L"anna", L"Bob", L"bob", L"carl.smith", L"dora", L"Édith", L"zed2", L"zed10"};
  std::vector<std::wstring> names;
  for (int i = 0; i < count; ++i) {
    wchar_t name[64];
    std::swprintf(name, 64, L"%02d%02d20%02d_%02d%02d%02d_%ls.wav", 1 + i * 7 % 28, 1 + i % 12, 10 + i % 5, i % 24,
                  i * 13 % 60, i % 60, partners[i * 5 % 8]);
    names.push_back(name);
  }
  return names;
}

// A keystroke that adds to the search text or takes from its end tests fewer rows, yet shows the
// same rows, in the same order, as the same text searched afresh; and a row followed through the
// moves stays the same recording.
TEST_F(RecordingListTest, ANarrowedOrWidenedSearchShowsWhatAFreshOneShows) {
  const std::vector<std::wstring> names = MixedNames(60);
  for (std::size_t i = 0; i < names.size(); ++i) disk_.Put(kA, names[i], static_cast<std::int64_t>(i % 7));
  list_.List(kA);
  Settle();
  RecordingList fresh(disk_.Services([] {}));
  fresh.List(kA);
  SettleAlone(fresh);
  const auto fresh_names = [&] { return NamesOf(fresh); };
  for (const int column : {-1, static_cast<int>(RecordingList::kPartner), static_cast<int>(RecordingList::kSize)}) {
    list_.SetSort(column, false);
    fresh.SetSort(column, false);
    // Typed letter by letter, then rubbed out again; "a" and "20" also match the date texts.
    std::vector<std::wstring> texts;
    for (const std::wstring word : {L"bob", L"/03/2011 at 1", L"zed1"}) {
      for (std::size_t size = 1; size <= word.size(); ++size) texts.push_back(word.substr(0, size));
      for (std::size_t size = word.size() - 1; size > 0; --size) texts.push_back(word.substr(0, size));
    }
    texts.push_back(L"a");
    texts.push_back(L"an");
    texts.push_back(L"n");  // neither adds nor takes: searched afresh
    texts.push_back(L"");
    for (const std::wstring& text : texts) {
      const std::vector<std::wstring> before = Names();
      changes_.clear();
      list_.SetFilter(text);
      fresh.SetFilter(L"");
      fresh.SetFilter(text);
      ASSERT_EQ(Names(), fresh_names()) << "column " << column << ", search \"" << std::string(text.begin(), text.end()) << "\"";
      ASSERT_EQ(changes_.size(), 1u);
      for (std::size_t old = 0; old < before.size(); ++old) {
        const int now = changes_[0].new_index.at(old);
        if (now >= 0) {
          EXPECT_EQ(list_.Name(now), before[old]);
        } else {
          const std::vector<std::wstring> shown = Names();
          EXPECT_EQ(std::count(shown.begin(), shown.end(), before[old]), 0);
        }
      }
    }
  }
  EXPECT_GE(fresh.Count(), 60);
}

// A letter matched as two ("ß" as "ss", never half of it) breaks the rule that a row without the
// shorter text cannot hold the longer one: "Straße" holds "strass" but not "stras". Rows whose names
// the services do not match letter by letter are tested at every keystroke.
TEST_F(RecordingListTest, ASearchTypedLetterByLetterFindsLettersMatchedAsTwo) {
  const auto expand = [](std::wstring_view text, std::vector<std::size_t>* starts) {
    std::wstring out;
    for (const wchar_t c : text) {
      if (starts) starts->push_back(out.size());
      out += c == L'\u00DF' ? std::wstring(L"ss") : std::wstring(1, static_cast<wchar_t>(std::towlower(c)));
    }
    if (starts) starts->push_back(out.size());
    return out;
  };
  RecordingListServices services = disk_.Services([] {});
  services.contains = [&](std::wstring_view text, std::wstring_view part) {
    std::vector<std::size_t> starts;
    const std::wstring whole = expand(text, &starts), wanted = expand(part, nullptr);
    // A match begins and ends where a letter of the text does.
    for (std::size_t at = whole.find(wanted); at != std::wstring::npos; at = whole.find(wanted, at + 1)) {
      const auto on_letter = [&](std::size_t i) { return std::find(starts.begin(), starts.end(), i) != starts.end(); };
      if (on_letter(at) && on_letter(at + wanted.size())) return true;
    }
    return false;
  };
  services.matched_in_steps = [](std::wstring_view text) { return text.find(L'\u00DF') == std::wstring_view::npos; };
  for (const wchar_t* name : {L"01022024_100000_Stra\u00DFe.wav", L"01022024_100001_Strasse.wav", L"01022024_100002_Stra.wav"}) {
    disk_.Put(kA, name, 1);
  }
  RecordingList list(services);
  list.List(kA);
  SettleAlone(list);
  const auto shown = [&] {
    std::vector<std::wstring> names = NamesOf(list);
    std::sort(names.begin(), names.end());
    return names;
  };
  for (const wchar_t* text : {L"s", L"st", L"stra", L"stras", L"strass", L"stras", L"strasse"}) list.SetFilter(text);
  EXPECT_EQ(shown(), (std::vector<std::wstring>{L"01022024_100000_Stra\u00DFe.wav", L"01022024_100001_Strasse.wav"}));
  list.SetFilter(L"stras");
  EXPECT_EQ(shown(), (std::vector<std::wstring>{L"01022024_100001_Strasse.wav"}));
}

// New and removed files take and leave their own places under every order and search: the rows
// are those a new listing of the folder gives, and the move tells where each old row went.
TEST_F(RecordingListTest, FilesAddedAndRemovedTakeTheirPlacesInTheChosenOrder) {
  const std::vector<std::wstring> names = MixedNames(40);
  struct Case {
    int column;
    bool ascending;
    std::wstring filter;
  } cases[] = {
      {-1, true, L""},
      {RecordingList::kWhen, false, L""},
      {RecordingList::kPartner, true, L""},
      {RecordingList::kPartner, false, L"o"},
      {RecordingList::kSize, true, L""},
      {RecordingList::kLength, false, L"2012"},
      {RecordingList::kLocation, true, L"zed"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "column " << c.column << (c.ascending ? " up" : " down"));
    const std::wstring folder = L"C:\\F" + std::to_wstring(c.column) + (c.ascending ? L"u" : L"d");
    for (std::size_t i = 0; i < 30; ++i) disk_.Put(folder, names[i], static_cast<std::int64_t>(i % 4));
    list_.SetSort(c.column, c.ascending);
    list_.SetFilter(c.filter);
    list_.List(folder);
    Settle();
    // Ten new files, unmeasured (size 0 as the watcher tells them), and five old ones gone.
    std::size_t next_new = 30;
    for (std::size_t step = 0; step < 15; ++step) {
      const std::vector<std::wstring> before = Names();
      const std::size_t held = list_.Held();
      changes_.clear();
      if (step % 3 == 2) {
        const std::wstring& gone = names[step * 2];
        disk_.Erase(folder, gone);
        list_.FileRemoved(gone);
      } else {
        const std::wstring& added = names[next_new++];
        disk_.Put(folder, added, 0);
        list_.FileAdded(added, 0);
        list_.FileAdded(added, 0);  // told twice: one row
      }
      // The expected rows: the disk listed afresh, every file still unmeasured as the new ones are.
      RecordingListServices services = disk_.Services([] {});
      services.measure = [](const std::wstring&) { return FileOutcome{FileStatus::Done, 0, 0}; };
      RecordingList expected(services);
      expected.SetSort(c.column, c.ascending);
      expected.SetFilter(c.filter);
      expected.List(folder);
      SettleAlone(expected);
      std::vector<std::wstring> expected_names = NamesOf(expected);
      std::vector<std::wstring> shown = Names();
      std::sort(shown.begin(), shown.end());
      std::sort(expected_names.begin(), expected_names.end());
      EXPECT_EQ(shown, expected_names) << "step " << step << ": the rows the search takes";
      ASSERT_EQ(changes_.size(), 1u);
      ASSERT_EQ(changes_[0].kind, RecordingList::Change::Kind::Moved);
      ASSERT_EQ(changes_[0].new_index.size(), before.size());
      for (std::size_t old = 0; old < before.size(); ++old) {
        const int now = changes_[0].new_index[old];
        if (now >= 0) {
          EXPECT_EQ(list_.Name(now), before[old]);
        } else {
          EXPECT_EQ(before[old], names[step * 2]) << "only the removed row goes";
        }
      }
      EXPECT_EQ(list_.Held(), held + (step % 3 == 2 ? 0 : 1));
      // In its place: sorting the whole list again moves nothing.
      const std::vector<std::wstring> placed = Names();
      list_.SetSort(c.column, c.ascending);
      EXPECT_EQ(Names(), placed) << "step " << step;
    }
    // The rows added are measured like the others, and a name that went can come again.
    Settle();
    list_.FileRemoved(names[30]);
    list_.FileAdded(names[30], 0);
    EXPECT_EQ(list_.Total(), 35u);
  }
}

}  // namespace
}  // namespace callwright
