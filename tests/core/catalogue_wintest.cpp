#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "core/catalogue_win.h"
#include "core/file_worker.h"
#include "support/file_holder_win.h"
#include "support/files_win.h"
#include "support/temp_dir_win.h"
#include "base/handles.h"

namespace callwright {

// Rows in failure messages.
void PrintTo(const RecordingRow& row, std::ostream* out) {
  *out << ::testing::PrintToString(row.When) << " | " << ::testing::PrintToString(row.Partner) << " | "
       << ::testing::PrintToString(row.Size) << " | " << ::testing::PrintToString(row.FileLocation);
}

namespace {

using test::CreateFileOfSize;
using test::FileHolder;
using test::TempDir;

std::vector<RecordingRow> SortedByLocation(std::vector<RecordingRow> rows) {
  std::sort(rows.begin(), rows.end(),
            [](const RecordingRow& a, const RecordingRow& b) { return a.FileLocation < b.FileLocation; });
  return rows;
}

class CatalogueTest : public ::testing::Test {
 protected:
  TempDir folder_{L"callwright-core"};
  const std::wstring decimal_ = UserNumberSeparators().decimal;
};

TEST_F(CatalogueTest, RowsForTheWavFilesOfAFolder) {
  struct Fixture {
    const wchar_t* name;
    std::int64_t size;
    DWORD attributes;
  } fixtures[] = {
      {L"05032013_141516_john.doe.wav", 1536, FILE_ATTRIBUTE_NORMAL},
      {L"05032013_141517_live_jane.wav", 0, FILE_ATTRIBUTE_NORMAL},
      {L"06032013_101010_ab.WAVcd.WAV", 100, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM},
      {L"abc.wav", 999, FILE_ATTRIBUTE_READONLY},
      // Not recordings: their long names do not end in ".wav", though their short names may.
      {L"a.wavx", 1, FILE_ATTRIBUTE_NORMAL},
      {L"take.wavx", 1, FILE_ATTRIBUTE_NORMAL},
      {L"longer name.wav1", 1, FILE_ATTRIBUTE_NORMAL},
      {L"notes.txt", 1, FILE_ATTRIBUTE_NORMAL},
      {L"x.wa", 1, FILE_ATTRIBUTE_NORMAL},
  };
  for (const Fixture& f : fixtures) {
    ASSERT_TRUE(CreateFileOfSize(folder_.Join(f.name), f.size));
    ASSERT_TRUE(::SetFileAttributesW(folder_.Join(f.name).c_str(), f.attributes));
  }
  ASSERT_TRUE(::CreateDirectoryW(folder_.Join(L"dir.wav").c_str(), nullptr));
  ASSERT_TRUE(CreateFileOfSize(folder_.Join(L"dir.wav\\inner.wav"), 5));

  const std::vector<RecordingRow> expected = {
      {L"05/03/2013 at 14:15:16", L"john.doe", L"1" + decimal_ + L"50 KB",
       folder_.Join(L"05032013_141516_john.doe.wav")},
      {L"05/03/2013 at 14:15:17", L"live_jane", L"0" + decimal_ + L"00 Bytes",
       folder_.Join(L"05032013_141517_live_jane.wav")},
      {L"06/03/2013 at 10:10:10", L"abcd", L"100" + decimal_ + L"00 Bytes",
       folder_.Join(L"06032013_101010_ab.WAVcd.WAV")},
      {L"ab/c./wav at ::", L"abc", L"999" + decimal_ + L"00 Bytes", folder_.Join(L"abc.wav")},
  };
  EXPECT_EQ(SortedByLocation(ListRecordings(folder_.Path())), SortedByLocation(expected));
}

TEST_F(CatalogueTest, ListingTextHoldsOneFullPathPerLineWithCrLf) {
  ASSERT_TRUE(CreateFileOfSize(folder_.Join(L"07032013_090503_anna.k.wav"), 3));
  EXPECT_EQ(ListWavFiles(folder_.Path() + L"\\"), folder_.Join(L"07032013_090503_anna.k.wav\r\n"));

  ASSERT_TRUE(CreateFileOfSize(folder_.Join(L"07032013_090504_bob.wav"), 3));
  const std::wstring listing = ListWavFiles(folder_.Path() + L"\\");
  const std::wstring anna = folder_.Join(L"07032013_090503_anna.k.wav\r\n");
  const std::wstring bob = folder_.Join(L"07032013_090504_bob.wav\r\n");
  EXPECT_TRUE(listing == anna + bob || listing == bob + anna);
}

TEST_F(CatalogueTest, TrailingSeparatorGivesDoubledSeparatorsAndStillMeasures) {
  ASSERT_TRUE(CreateFileOfSize(folder_.Join(L"05032013_141516_x.wav"), 10));
  const std::vector<RecordingRow> rows = ListRecordings(folder_.Path() + L"\\");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].FileLocation, folder_.Path() + L"\\\\05032013_141516_x.wav");
  EXPECT_EQ(rows[0].Partner, L"x");
  EXPECT_EQ(rows[0].Size, L"10" + decimal_ + L"00 Bytes");
}

TEST_F(CatalogueTest, EmptyAndMissingFoldersListNothing) {
  EXPECT_TRUE(ListRecordings(folder_.Path()).empty());
  EXPECT_TRUE(ListRecordings(folder_.Join(L"missing")).empty());
  EXPECT_TRUE(ListRecordings(folder_.Join(L"missing\\deeper")).empty());
  EXPECT_EQ(ListWavFiles(folder_.Join(L"missing\\")), L"");
  // A folder text with a NUL inside names no folder.
  ASSERT_TRUE(CreateFileOfSize(folder_.Join(L"05032013_141516_x.wav"), 1));
  EXPECT_EQ(ListWavFiles(folder_.Path() + std::wstring(L"\\\0\\", 3)), L"");
}

TEST_F(CatalogueTest, SizeIsTheFullLengthOfTheOpenedFile) {
  constexpr std::int64_t kFiveGiB = std::int64_t{5} << 30;
  const std::wstring large = folder_.Join(L"05032013_141516_large.wav");
  ASSERT_TRUE(CreateFileOfSize(large, kFiveGiB + 1));
  EXPECT_EQ(GetRecordingSize(large), kFiveGiB + 1);
  EXPECT_EQ(MakeRecordingRow(large).Size, L"5" + decimal_ + L"00 GB");

  const std::wstring small = folder_.Join(L"small.wav");
  ASSERT_TRUE(CreateFileOfSize(small, 0, "RIFF"));
  EXPECT_EQ(GetRecordingSize(small), 4);
}

TEST_F(CatalogueTest, UnreadableEntriesMeasureMinusOne) {
  EXPECT_EQ(GetRecordingSize(folder_.Join(L"gone.wav")), -1);
  ASSERT_TRUE(::CreateDirectoryW(folder_.Join(L"dir.wav").c_str(), nullptr));
  EXPECT_EQ(GetRecordingSize(folder_.Join(L"dir.wav")), -1);
  ASSERT_TRUE(CreateFileOfSize(folder_.Join(L"a.wav"), 7));
  EXPECT_EQ(GetRecordingSize(folder_.Path() + std::wstring(L"\\a.wav\0x", 8)), -1);
  EXPECT_EQ(GetRecordingSize(L""), -1);
  EXPECT_EQ(MakeRecordingRow(folder_.Join(L"gone.wav")).Size, L"BUSY");
}

TEST_F(CatalogueTest, OtherReadersDoNotMakeAFileBusyButAWriterInThisProcessDoes) {
  const std::wstring file = folder_.Join(L"05032013_141516_x.wav");
  ASSERT_TRUE(CreateFileOfSize(file, 12));
  {
    const FileHandle reader(
        ::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(reader);
    EXPECT_EQ(GetRecordingSize(file), 12);
  }
  {
    const FileHandle writer(::CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(writer);
    EXPECT_EQ(GetRecordingSize(file), -1);
  }
  EXPECT_EQ(GetRecordingSize(file), 12);
}

TEST_F(CatalogueTest, FileHeldForWritingByAnotherProcessIsBusy) {
  const std::wstring busy = folder_.Join(L"07032013_090503_anna.k.wav");
  const std::wstring done = folder_.Join(L"07032013_080000_bob.wav");
  ASSERT_TRUE(CreateFileOfSize(busy, 2048));
  ASSERT_TRUE(CreateFileOfSize(done, 2048));
  {
    const FileHolder holder(busy);
    ASSERT_TRUE(holder.Held());
    // The holder lets others read: only our read-only sharing makes the open fail.
    const FileHandle shared_reader(::CreateFileW(busy.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                 nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_TRUE(shared_reader);

    const std::vector<RecordingRow> rows = SortedByLocation(ListRecordings(folder_.Path()));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].FileLocation, done);
    EXPECT_EQ(rows[0].Size, L"2" + decimal_ + L"00 KB");
    EXPECT_EQ(rows[1].FileLocation, busy);
    EXPECT_EQ(rows[1].Size, L"BUSY");
    EXPECT_EQ(rows[1].When, L"07/03/2013 at 09:05:03");
    EXPECT_EQ(rows[1].Partner, L"anna.k");
  }
  // Once the writer has let go the size shows again.
  EXPECT_EQ(MakeRecordingRow(busy).Size, L"2" + decimal_ + L"00 KB");
}


// The rows as the window now builds them: the directory search's sizes at once, then each file's
// own measure from the worker thread in place of its Size cell.
std::vector<RecordingRow> ListedTheNewWay(const std::wstring& folder) {
  const NumberSeparators separators = UserNumberSeparators();
  const std::vector<WavEntry> entries = ListWavEntries(folder + L"\\");
  std::vector<RecordingRow> rows;
  auto paths = std::make_shared<std::vector<std::wstring>>();
  for (const WavEntry& entry : entries) {
    rows.push_back(MakeRecordingRow(entry.path, entry.size, separators));
    paths->push_back(entry.path);
  }
  FileWorker probe(paths, NewestFirst(entries), [](const std::wstring& path) { return MeasureRecordingFile(path); },
                       {});
  EXPECT_TRUE(probe.WaitEnded(std::chrono::seconds(30)));
  for (const FileWorker::Result& result : probe.TakeResults()) {
    rows[result.index].Size = result.outcome.status != FileStatus::Done ? std::wstring(L"BUSY")
                                                                        : FormatFileSize(result.outcome.size, separators);
  }
  EXPECT_TRUE(probe.Done());
  return rows;
}

TEST_F(CatalogueTest, SearchEntriesCarryNameSizeAndTimeAndSkipWhatIsNoRecording) {
  ASSERT_TRUE(CreateFileOfSize(folder_.Join(L"05032013_141516_john.doe.wav"), 1536));
  ASSERT_TRUE(CreateFileOfSize(folder_.Join(L"take.wavx"), 1));
  ASSERT_TRUE(CreateFileOfSize(folder_.Join(L"notes.txt"), 1));
  ASSERT_TRUE(::CreateDirectoryW(folder_.Join(L"dir.wav").c_str(), nullptr));
  constexpr std::int64_t kFiveGiB = std::int64_t{5} << 30;
  ASSERT_TRUE(CreateFileOfSize(folder_.Join(L"big.WAV"), kFiveGiB + 3));
  // An old file: its write time is set back a day.
  const std::wstring old = folder_.Join(L"old.wav");
  ASSERT_TRUE(CreateFileOfSize(old, 2));
  {
    const FileHandle file(::CreateFileW(old.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file);
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER t{{now.dwLowDateTime, now.dwHighDateTime}};
    t.QuadPart -= 864000000000ull;
    const FILETIME day_ago{t.LowPart, t.HighPart};
    ASSERT_TRUE(::SetFileTime(file.Get(), nullptr, nullptr, &day_ago));
  }

  std::vector<WavEntry> entries = ListWavEntries(folder_.Path() + L"\\");
  std::sort(entries.begin(), entries.end(), [](const WavEntry& a, const WavEntry& b) { return a.path < b.path; });
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].path, folder_.Join(L"05032013_141516_john.doe.wav"));
  EXPECT_EQ(entries[0].size, 1536);
  EXPECT_EQ(entries[1].path, folder_.Join(L"big.WAV"));
  EXPECT_EQ(entries[1].size, kFiveGiB + 3) << "all 64 bits";
  EXPECT_EQ(entries[2].path, folder_.Join(L"old.wav"));
  EXPECT_LT(entries[2].write_time, entries[0].write_time);
  EXPECT_EQ(NewestFirst(entries).back(), 2u) << "the old file is measured last";

  // The same paths, in the same order, as the listing text.
  std::wstring listing;
  for (const WavEntry& entry : ListWavEntries(folder_.Path() + L"\\")) listing += entry.path + L"\r\n";
  EXPECT_EQ(listing, ListWavFiles(folder_.Path() + L"\\"));
  EXPECT_TRUE(ListWavEntries(folder_.Join(L"missing\\")).empty());
  EXPECT_TRUE(ListWavEntries(folder_.Path() + std::wstring(L"\\\0\\", 3)).empty());
}

TEST_F(CatalogueTest, RowsBuiltWithTheWorkerEqualTheRowsBuiltAtOnceCellForCell) {
  struct Fixture {
    const wchar_t* name;
    std::int64_t size;
    DWORD attributes;
  } fixtures[] = {
      {L"05032013_141516_john.doe.wav", 1536, FILE_ATTRIBUTE_NORMAL},
      {L"05032013_141517_live_jane.wav", 0, FILE_ATTRIBUTE_NORMAL},
      {L"06032013_101010_ab.WAVcd.WAV", 100, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM},
      {L"abc.wav", 999, FILE_ATTRIBUTE_READONLY},
      {L"07032013_090503_anna.k.wav", 2048, FILE_ATTRIBUTE_NORMAL},  // held open below: BUSY
      {L"08032013_000000_big.wav", (std::int64_t{3} << 30) + 7, FILE_ATTRIBUTE_NORMAL},
      {L"take.wavx", 1, FILE_ATTRIBUTE_NORMAL},
  };
  for (const Fixture& f : fixtures) {
    ASSERT_TRUE(CreateFileOfSize(folder_.Join(f.name), f.size));
    ASSERT_TRUE(::SetFileAttributesW(folder_.Join(f.name).c_str(), f.attributes));
  }
  for (int i = 0; i < 40; ++i) {
    ASSERT_TRUE(CreateFileOfSize(folder_.Join(L"09032013_1200" + std::to_wstring(10 + i) + L"_p" + std::to_wstring(i) +
                                            L".wav"),
                                 i * 1000));
  }
  ASSERT_TRUE(::CreateDirectoryW(folder_.Join(L"dir.wav").c_str(), nullptr));
  const FileHolder holder(folder_.Join(L"07032013_090503_anna.k.wav"));
  ASSERT_TRUE(holder.Held());

  const std::vector<RecordingRow> at_once = ListRecordings(folder_.Path());
  const std::vector<RecordingRow> with_worker = ListedTheNewWay(folder_.Path());
  ASSERT_EQ(at_once.size(), 46u);
  ASSERT_EQ(with_worker.size(), at_once.size());
  int busy = 0;
  for (std::size_t i = 0; i < at_once.size(); ++i) {
    EXPECT_EQ(with_worker[i].When, at_once[i].When) << i;
    EXPECT_EQ(with_worker[i].Partner, at_once[i].Partner) << i;
    EXPECT_EQ(with_worker[i].Size, at_once[i].Size) << i;
    EXPECT_EQ(with_worker[i].FileLocation, at_once[i].FileLocation) << i;
    busy += at_once[i].Size == L"BUSY";
  }
  EXPECT_EQ(busy, 1);
}

}  // namespace
}  // namespace callwright
