// Where a destination folder text points, and the folder texts built from it.
#include "core/destination_folder.h"

#include <gtest/gtest.h>

#include "support/test_platform.h"

namespace callwright {
namespace {

TEST(DestinationFolderText, CombinesWithTheProgramFolderAndTheDefault) {
  const std::wstring program = L"C:\\Apps\\Callwright\\";
  const std::wstring fallback = L"C:\\Apps\\Callwright\\Records";
  struct Case {
    const wchar_t* text;
    const wchar_t* program;
    const wchar_t* combined;
  } cases[] = {
      // Blank: the default folder, never the drive root.
      {L"", nullptr, L"C:\\Apps\\Callwright\\Records"},
      {L"   ", nullptr, L"C:\\Apps\\Callwright\\Records"},
      {L" \t\r\n", nullptr, L"C:\\Apps\\Callwright\\Records"},
      // Absolute texts stay, blanks around them dropped.
      {L"D:\\Calls", nullptr, L"D:\\Calls"},
      {L"D:/Calls", nullptr, L"D:/Calls"},
      {L"  D:\\Calls \t", nullptr, L"D:\\Calls"},
      {L"D:\\", nullptr, L"D:\\"},
      {L"\\\\server\\share\\calls", nullptr, L"\\\\server\\share\\calls"},
      // Relative texts start at the program's folder.
      {L"Calls", nullptr, L"C:\\Apps\\Callwright\\Calls"},
      {L"..\\Calls\\", nullptr, L"C:\\Apps\\Callwright\\..\\Calls\\"},
      {L".", nullptr, L"C:\\Apps\\Callwright\\."},
      {L"Calls", L"C:\\Apps\\Callwright", L"C:\\Apps\\Callwright\\Calls"},
      // A rooted text on the program's drive; a drive without a root at that drive's root.
      {L"\\Calls", nullptr, L"C:\\Calls"},
      {L"\\Calls", L"\\\\server\\share\\apps\\", L"\\\\server\\share\\Calls"},
      {L"D:Calls", nullptr, L"D:\\Calls"},
      {L"D:", nullptr, L"D:\\"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CombineFolder(c.text, c.program ? c.program : program, fallback), c.combined) << c.text;
  }
}

TEST(DestinationFolderText, PrefixesTakeOneSeparatorAndANameWithoutDoubling) {
  struct Case {
    const wchar_t* folder;
    const wchar_t* prefix;
    const wchar_t* shown;
  } cases[] = {
      {L"C:\\Calls", L"C:\\Calls", L"C:\\Calls"},
      {L"C:\\Calls\\", L"C:\\Calls", L"C:\\Calls"},
      {L"C:\\Calls\\\\/", L"C:\\Calls", L"C:\\Calls"},
      {L"D:\\", L"D:", L"D:\\"},
      {L"D:", L"D:", L"D:\\"},
      {L"\\\\server\\share\\", L"\\\\server\\share", L"\\\\server\\share"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FolderPrefix(c.folder), c.prefix) << c.folder;
    EXPECT_EQ(FolderFromPrefix(FolderPrefix(c.folder)), c.shown) << c.folder;
    EXPECT_EQ((FolderPrefix(c.folder) + L"\\x.wav").find(L"\\\\", 1), std::wstring::npos) << c.folder;
  }
}

TEST(DestinationFolderText, BlankFolders) {
  EXPECT_TRUE(IsBlankFolder(L""));
  EXPECT_TRUE(IsBlankFolder(L" \t\r\n\x1f"));
  EXPECT_FALSE(IsBlankFolder(L" C:\\ "));
}

TEST(DestinationFolderText, OnlyTextsTheCodePageHoldsSurviveIt) {
  const test::TestPlatform platform;
  EXPECT_TRUE(SurvivesAnsi(L"C:\\Calls", platform));
  EXPECT_TRUE(SurvivesAnsi(L"", platform));
  EXPECT_FALSE(SurvivesAnsi(L"C:\\\u0417\u0430\u043F\u0438\u0441\u0438", platform));
  EXPECT_FALSE(SurvivesAnsi(L"C:\\\u9332\u97F3", platform));
}

}  // namespace
}  // namespace callwright

namespace callwright {
namespace {

TEST(FolderFitsClient, LeavesRoomForADatePartACopyNumberTheExtensionAndAHandle) {
  // "\", "DDMMYYYY_hhmmss_", " (99)", ".wav" and 16 bytes of handle within 259 bytes.
  EXPECT_EQ(kMaxClientFolderBytes, 259u - 1 - 16 - 5 - 4 - 16);
  EXPECT_TRUE(FolderFitsClient(0));
  EXPECT_TRUE(FolderFitsClient(kMaxClientFolderBytes));
  EXPECT_FALSE(FolderFitsClient(kMaxClientFolderBytes + 1));
  EXPECT_FALSE(FolderFitsClient(262));  // 142 characters of a double-byte code page
}

}  // namespace
}  // namespace callwright
