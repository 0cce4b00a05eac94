// The recording folder as the program and the client see it, on the real file system: folders
// resolved against the program's folder, short names for folders outside the ANSI code page, and
// a folder made ready (created, proved writable) before recording into it.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <string>

#include "core/destination_folder.h"
#include "core/platform.h"
#include "core/settings_win.h"
#include "support/files_win.h"
#include "support/temp_dir_win.h"
#include "base/handles.h"

namespace callwright {
namespace {

using test::CreateFileOfSize;
using test::PathExists;
using test::TempDir;

// "Записи 録音": Cyrillic and Japanese, outside code page 1252 and most others.
const std::wstring kForeignName = L"\u0417\u0430\u043F\u0438\u0441\u0438 \u9332\u97F3";

std::wstring DefaultPrefix() { return ExecutableFolder() + L"Records"; }

std::wstring LongPath(const std::wstring& path) {
  wchar_t buffer[32768] = {};
  const DWORD length = ::GetLongPathNameW(path.c_str(), buffer, 32768);
  return std::wstring(buffer, length);
}

int EntriesIn(const std::wstring& folder) {
  int count = 0;
  WIN32_FIND_DATAW entry;
  FindHandle search(::FindFirstFileW((folder + L"\\*").c_str(), &entry));
  if (!search) return 0;
  do {
    const std::wstring name = entry.cFileName;
    if (name != L"." && name != L"..") ++count;
  } while (::FindNextFileW(search.Get(), &entry));
  return count;
}

class RecordingFolderTest : public ::testing::Test {
 protected:
  void TearDown() override { SetDestinationFolder(L""); }
  TempDir scratch_{L"callwright-core"};
};

TEST_F(RecordingFolderTest, ResolvesBlankRelativeAndTrailingSeparators) {
  const std::wstring exe_folder = ExecutableFolder();
  struct Case {
    std::wstring destination;
    std::wstring recording;
  } cases[] = {
      {L"", DefaultPrefix()},
      {L"  \t", DefaultPrefix()},
      {L"calls", exe_folder + L"calls"},
      {L"calls\\", exe_folder + L"calls"},
      {L".\\a\\..\\calls", exe_folder + L"calls"},
      {scratch_.Path() + L"\\", scratch_.Path()},
      {scratch_.Path() + L"\\\\", scratch_.Path()},
      {scratch_.Path() + L"/", scratch_.Path()},
      {scratch_.Path() + L"\\sub\\..", scratch_.Path()},
      {L"C:\\", L"C:"},
  };
  for (const Case& c : cases) {
    SetDestinationFolder(c.destination);
    EXPECT_EQ(RecordingFolder(), c.recording) << c.destination.c_str();
    EXPECT_EQ(ClientFolderText(), c.recording) << c.destination.c_str();
  }
  SetDestinationFolder(L"C:\\");
  EXPECT_EQ(FolderFromPrefix(RecordingFolder()), L"C:\\") << "a drive root stays a root";
}

TEST_F(RecordingFolderTest, TheClientGetsTheShortFormOfAFolderOutsideTheCodePage) {
  const std::wstring folder = scratch_.Join(kForeignName);
  ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
  ASSERT_FALSE(SurvivesAnsi(folder, SystemPlatform()));
  SetDestinationFolder(folder);
  EXPECT_EQ(RecordingFolder(), folder) << "listed under its own name";
  const std::wstring client_text = ClientFolderText();
  EXPECT_TRUE(SurvivesAnsi(client_text, SystemPlatform())) << "the text survives the code page";
  EXPECT_NE(client_text, folder);
  EXPECT_EQ(LongPath(client_text), folder) << "and names the same folder";
  EXPECT_EQ(PrepareRecordingFolder(), L"");

  // Through the code page as the command carries it, a file lands in the folder.
  const std::wstring through = SystemPlatform().DecodeAnsi(SystemPlatform().EncodeAnsi(client_text + L"\\x.wav"));
  {
    const FileHandle file(::CreateFileW(through.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    EXPECT_TRUE(file);
  }
  EXPECT_TRUE(PathExists(folder + L"\\x.wav"));
}

TEST_F(RecordingFolderTest, AFolderTheClientCannotBeGivenSendsRecordingsToTheDefaultFolder) {
  // A folder cannot be made below a file, so it has no short form either.
  const std::wstring file = scratch_.Join(L"a file");
  ASSERT_TRUE(CreateFileOfSize(file, 3));
  const std::wstring folder = file + L"\\" + kForeignName;
  SetDestinationFolder(folder);
  EXPECT_EQ(ResolvedDestinationFolder(), folder);
  EXPECT_EQ(RecordingFolder(), DefaultPrefix());
  EXPECT_EQ(ClientFolderText(), DefaultPrefix());
  const std::wstring problem = PrepareRecordingFolder();
  EXPECT_TRUE(problem.starts_with(L"Recordings cannot be saved in the folder \"" + folder + L"\": "))
      << problem.c_str();
  EXPECT_TRUE(problem.ends_with(L" Recordings go to \"" + DefaultPrefix() + L"\" instead.")) << problem.c_str();

  EXPECT_EQ(FolderRefusal(folder).find(L"\"" + folder + L"\""), std::wstring(L"The folder ").size());
  EXPECT_EQ(FolderRefusal(scratch_.Path()), L"");
  EXPECT_EQ(FolderRefusal(scratch_.Join(kForeignName)),
            L"The folder \"" + scratch_.Join(kForeignName) +
                L"\" cannot be chosen for recordings. Skype cannot be given it: its name holds characters outside "
                L"the system's code page, and it has no short (8.3) name.")
      << "missing, so without a short name";
  ASSERT_TRUE(::CreateDirectoryW(scratch_.Join(kForeignName).c_str(), nullptr));
  EXPECT_EQ(FolderRefusal(scratch_.Join(kForeignName)), L"") << "its short form will do";
}

TEST_F(RecordingFolderTest, AMissingFolderIsCreatedAndProvedWritableLeavingNothing) {
  const std::wstring folder = scratch_.Join(L"deep\\er\\calls");
  SetDestinationFolder(folder + L"\\");
  EXPECT_EQ(PrepareRecordingFolder(), L"");
  EXPECT_TRUE(::GetFileAttributesW(folder.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(EntriesIn(folder), 0) << "the probe file is gone";
  EXPECT_EQ(PrepareRecordingFolder(), L"") << "an existing folder";
  EXPECT_EQ(EntriesIn(folder), 0);
}

TEST_F(RecordingFolderTest, AFolderThatCannotBeMadeOrWrittenIsToldWithTheReason) {
  const std::wstring file = scratch_.Join(L"a file");
  ASSERT_TRUE(CreateFileOfSize(file, 3));
  struct Case {
    std::wstring folder;
    bool needs_unix_root;  // Wine maps drive Z: to the root of the Unix file system
  } cases[] = {
      {file, false},                // a file in its place
      {file + L"\\calls", false},   // below a file
      {L"Z:\\proc", true},          // exists, takes no files
  };
  for (const Case& c : cases) {
    if (c.needs_unix_root && !PathExists(L"Z:\\proc\\self")) continue;
    SetDestinationFolder(c.folder);
    const std::wstring problem = PrepareRecordingFolder();
    const std::wstring lead = L"Recordings cannot be saved in the folder \"" + c.folder + L"\": ";
    EXPECT_TRUE(problem.starts_with(lead)) << problem.c_str();
    EXPECT_GT(problem.size(), lead.size() + 3) << "a reason follows: " << problem.c_str();
    // A folder nothing can be written to loses every call: they go to the default folder.
    EXPECT_TRUE(problem.ends_with(L" Recordings go to \"" + DefaultPrefix() + L"\" instead.")) << problem.c_str();
    EXPECT_EQ(RecordingFolder(), DefaultPrefix());
    EXPECT_EQ(PreparedClientText(), DefaultPrefix());
  }
  EXPECT_TRUE(PathExists(file)) << "the file is left alone";
}

}  // namespace
}  // namespace callwright

namespace callwright {
namespace {

// A folder under the scratch folder whose path takes exactly this many bytes (ASCII: one a
// character).
std::wstring FolderOfBytes(const std::wstring& base, std::size_t bytes) {
  std::wstring folder = base + L"\\";
  while (folder.size() + 40 < bytes) folder += std::wstring(30, L'x') + L"\\";
  folder += std::wstring(bytes - folder.size(), L'y');
  return folder;
}

TEST_F(RecordingFolderTest, AFolderTooLongForTheClientsPathLimitIsRefusedAndRecordingsGoToTheDefault) {
  struct Case {
    std::size_t bytes;
    bool fits;
  } cases[] = {{kMaxClientFolderBytes - 1, true}, {kMaxClientFolderBytes, true}, {kMaxClientFolderBytes + 1, false},
               {240, false}};
  for (const Case& c : cases) {
    const std::wstring folder = FolderOfBytes(scratch_.Path(), c.bytes);
    ASSERT_EQ(folder.size(), c.bytes);
    const std::wstring refusal = FolderRefusal(folder);
    SetDestinationFolder(folder);
    const std::wstring problem = PrepareRecordingFolder();
    if (c.fits) {
      EXPECT_EQ(refusal, L"") << c.bytes;
      EXPECT_EQ(problem, L"") << c.bytes;
      EXPECT_EQ(RecordingFolder(), folder);
      EXPECT_EQ(PreparedClientText(), folder);
      continue;
    }
    const std::wstring reason = L"Its path takes " + std::to_wstring(c.bytes) +
                                L" bytes in the system's code page; Skype takes recording paths of at most 259 "
                                L"bytes, which leaves 217 for the folder.";
    EXPECT_EQ(refusal, L"The folder \"" + folder + L"\" cannot be chosen for recordings. " + reason);
    EXPECT_EQ(problem, L"The folder \"" + folder + L"\" cannot be used for recordings. " + reason +
                           L" Recordings go to \"" + DefaultPrefix() + L"\" instead.");
    EXPECT_EQ(RecordingFolder(), DefaultPrefix());
    EXPECT_EQ(PreparedClientText(), DefaultPrefix());
  }
}

TEST_F(RecordingFolderTest, APreparerNeverHoldsUpItsCallerAndMergesRequests) {
  KernelHandle release(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  std::atomic<int> checks{0};
  const FolderCheck saved = CheckRecordingFolder;
  CheckRecordingFolder = [&](const std::wstring& folder, bool& created) {
    ++checks;
    ::WaitForSingleObject(release.Get(), 30000);
    return CheckFolderOnDisk(folder, created);
  };
  {
    std::atomic<int> notices{0};
    FolderPreparer preparer([&] { ++notices; });
    const std::wstring folder = scratch_.Join(L"made");
    preparer.Request(folder);
    for (int i = 0; i < 1000 && checks == 0; ++i) ::Sleep(10);
    for (int i = 0; i < 5; ++i) preparer.Request(folder);  // while the first is held up
    EXPECT_TRUE(preparer.Busy());
    EXPECT_FALSE(preparer.Take());
    ::SetEvent(release.Get());
    std::optional<FolderPreparer::Result> result;
    for (int i = 0; i < 1000 && (!result || preparer.Busy()); ++i) {
      if (auto taken = preparer.Take()) result = std::move(taken);
      ::Sleep(10);
    }
    EXPECT_EQ(checks.load(), 2) << "the first request, then one for the five that waited";
    EXPECT_GE(notices.load(), 1);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->prepared.folder, folder);
    EXPECT_EQ(result->prepared.problem, L"");
    EXPECT_TRUE(PathExists(folder));
    EXPECT_FALSE(preparer.Busy());
  }
  CheckRecordingFolder = saved;
}

}  // namespace
}  // namespace callwright
