#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "base/app_error.h"
#include "core/platform.h"
#include "core/settings_win.h"
#include "support/config_file_win.h"
#include "support/files_win.h"
#include "support/temp_dir_win.h"
#include "base/handles.h"

namespace callwright {
namespace {

using test::PathExists;
using test::ReadBytes;
using test::RemoveConfig;
using test::WriteBytes;

// config.ini lives beside this test program: any existing file is set aside and brought back.
class ConfigFileTest : public ::testing::Test {
 protected:
  // Runs `write` and expects it to fail with the error naming the file.
  template <typename Write>
  void ExpectWriteError(Write write) {
    try {
      write();
      ADD_FAILURE() << "no error";
    } catch (const AppError& error) {
      EXPECT_EQ(error.Message(), L"Unable to write to " + path_);
    }
  }

  test::ConfigFileAside aside_;
  const std::wstring path_ = ConfigFilePath();
};

TEST(ExecutablePaths, ComeFromTheRunningModule) {
  const std::wstring exe = ExecutablePath();
  EXPECT_TRUE(exe.ends_with(L"\\core_wintests.exe")) << exe.c_str();
  EXPECT_TRUE(PathExists(exe));
  const std::wstring folder = ExecutableFolder();
  EXPECT_EQ(folder, exe.substr(0, exe.size() - std::wstring_view(L"core_wintests.exe").size()));
  EXPECT_EQ(DefaultFolder(), folder + L"Records");
  EXPECT_EQ(ConfigFilePath(), folder + L"config.ini");
}

TEST_F(ConfigFileTest, MissingFileYieldsTheCallersDefaultsAndCreatesNothing) {
  EXPECT_EQ(ReadSetting(L"SYSTEM", L"path", DefaultFolder()), ExecutableFolder() + L"Records");
  EXPECT_EQ(ReadSetting(L"SYSTEM", L"info", L"0"), L"0");
  EXPECT_FALSE(PathExists(path_));
}

TEST_F(ConfigFileTest, ReadsValuesOfAnExistingFile) {
  struct Case {
    const char* content;
    const wchar_t* section;
    const wchar_t* key;
    const wchar_t* value;
  } cases[] = {
      {"[SYSTEM]\r\npath=\r\ninfo=1\r\n", L"SYSTEM", L"path", L""},  // empty, not the default
      {"[SYSTEM]\r\npath=\r\ninfo=1\r\n", L"SYSTEM", L"info", L"1"},
      {"[system]\r\nPATH=C:\\Calls\r\n", L"SYSTEM", L"path", L"C:\\Calls"},
      {"[SYSTEM]\r\ninfo=1\r\n", L"System", L"INFO", L"1"},
      {"[OTHER]\r\npath=C:\\Calls\r\n", L"SYSTEM", L"path", L"<default>"},
      {"[SYSTEM]\r\npaths=C:\\Calls\r\n", L"SYSTEM", L"path", L"<default>"},
      {"[SYSTEM]\n[OTHER]\npath=C:\\Calls\n", L"SYSTEM", L"path", L"<default>"},
      {"", L"SYSTEM", L"path", L"<default>"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(WriteBytes(path_, c.content));
    EXPECT_EQ(ReadSetting(c.section, c.key, L"<default>"), c.value) << c.content;
  }
}

TEST_F(ConfigFileTest, ValuesAreReadWholeHoweverLong) {
  for (const std::size_t length : {2046u, 2047u, 2048u, 3000u, 4095u, 4096u, 40000u}) {
    std::string value;
    for (std::size_t i = 0; i < length; ++i) value.push_back(static_cast<char>('a' + i % 26));
    ASSERT_TRUE(WriteBytes(path_, "[SYSTEM]\r\npath=" + value + "\r\ninfo=1\r\n"));
    EXPECT_EQ(ReadSetting(L"SYSTEM", L"path", L""), std::wstring(value.begin(), value.end())) << length;
    EXPECT_EQ(ReadSetting(L"SYSTEM", L"info", L"0"), L"1") << length;
    const std::wstring long_default(length, L'd');
    EXPECT_EQ(ReadSetting(L"SYSTEM", L"missing", long_default), long_default) << length;
  }
  // Stored and read back in UTF-16, past the old limit.
  const std::wstring folder = L"C:\\" + std::wstring(5000, L'\u0416');
  WriteSetting(L"SYSTEM", L"path", folder);
  EXPECT_EQ(ReadSetting(L"SYSTEM", L"path", L""), folder);
}

// The text of a UTF-16 file with a byte-order mark, or "<not UTF-16>".
std::wstring Utf16Text(const std::string& bytes) {
  if (bytes.size() < 2 || bytes.size() % 2 != 0 || bytes.compare(0, 2, "\xFF\xFE") != 0) return L"<not UTF-16>";
  return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
}

TEST_F(ConfigFileTest, ATextOutsideTheCodePageMakesAnAnsiFileUnicodeKeepingEverything) {
  // Code page 1252: e acute is 0xE9.
  ASSERT_TRUE(WriteBytes(path_, "; kept\r\n[SYSTEM]\r\npath=C:\\old\r\nother=caf\xE9\r\n[X]\r\npath=C:\\x\r\n"));
  const std::wstring folder = L"C:\\\u0417\u0430\u043F\u0438\u0441\u0438";
  WriteSetting(L"SYSTEM", L"path", folder);
  EXPECT_EQ(Utf16Text(ReadBytes(path_).value_or("<missing>")),
            L"; kept\r\n[SYSTEM]\r\npath=" + folder + L"\r\nother=caf\u00E9\r\n[X]\r\npath=C:\\x\r\n");
  EXPECT_EQ(ReadSetting(L"SYSTEM", L"path", L""), folder);
  EXPECT_EQ(ReadSetting(L"SYSTEM", L"other", L""), L"caf\u00E9");
  EXPECT_EQ(ReadSetting(L"X", L"path", L""), L"C:\\x");

  // A text the code page holds leaves an ANSI file ANSI.
  ASSERT_TRUE(WriteBytes(path_, "[SYSTEM]\r\npath=C:\\old\r\n"));
  WriteSetting(L"SYSTEM", L"path", L"C:\\caf\u00E9");
  EXPECT_EQ(ReadBytes(path_), "[SYSTEM]\r\npath=C:\\caf\xE9\r\n");

  // A reader that shares nothing but reading keeps the file from being replaced: the error, and
  // the file as it was, with nothing left beside it.
  {
    const FileHandle reader(
        ::CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(reader);
    ExpectWriteError([&] { WriteSetting(L"SYSTEM", L"path", folder); });
  }
  EXPECT_EQ(ReadBytes(path_), "[SYSTEM]\r\npath=C:\\caf\xE9\r\n");
  EXPECT_FALSE(PathExists(path_ + L".~" + std::to_wstring(::GetCurrentProcessId())));
}

TEST(SwapInReplacement, NeitherTheFileNorItsReplacementIsLostWhateverTheReplaceLeaves) {
  // ReplaceFileW's documented outcomes when no backup name is given, played on real files.
  struct Case {
    const char* what;
    std::function<bool(const std::wstring& file, const std::wstring& replacement)> replace;
    bool replaced;
    const char* file_after;
  };
  const Case cases[] = {
      {"the real call", [](const std::wstring& file, const std::wstring& replacement) {
         return ::ReplaceFileW(file.c_str(), replacement.c_str(), nullptr, 0, nullptr, nullptr) != FALSE;
       },
       true, "new"},
      {"file deleted, replacement not renamed (1176)",
       [](const std::wstring& file, const std::wstring&) {
         ::DeleteFileW(file.c_str());
         ::SetLastError(ERROR_UNABLE_TO_MOVE_REPLACEMENT);
         return false;
       },
       true, "new"},
      {"file moved to a name of the system's (1177)",
       [](const std::wstring& file, const std::wstring&) {
         ::MoveFileW(file.c_str(), (file + L".sys").c_str());
         ::SetLastError(ERROR_UNABLE_TO_MOVE_REPLACEMENT_2);
         return false;
       },
       true, "new"},
      {"refused, both as they were",
       [](const std::wstring&, const std::wstring&) {
         ::SetLastError(ERROR_SHARING_VIOLATION);
         return false;
       },
       false, "old"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const test::TempDir dir;
    const std::wstring file = dir.Join(L"config.ini");
    const std::wstring replacement = dir.Join(L"config.ini.~1");
    ASSERT_TRUE(WriteBytes(file, "old"));
    ASSERT_TRUE(WriteBytes(replacement, "new"));
    EXPECT_EQ(SwapInReplacement(file, replacement, c.replace), c.replaced);
    EXPECT_EQ(ReadBytes(file).value_or("<missing>"), c.file_after);
    EXPECT_FALSE(PathExists(replacement));
  }
}

TEST_F(ConfigFileTest, AUtf8FileIsMadeUnicodeBeforeReadingLosingNothing) {
  const std::string utf8 =
      "; \xD0\xB7\xD0\xB0\xD0\xBC\xD0\xB5\xD1\x82\xD0\xBA\xD0\xB0\r\n[SYSTEM]\r\n"
      "path=C:\\\xD0\x97\xD0\xB0\xD0\xBF\xD0\xB8\xD1\x81\xD0\xB8\\\xE9\x8C\xB2\xE9\x9F\xB3\r\n"
      "info=1\r\n[X]\r\nk=caf\xC3\xA9\r\n";
  const std::wstring text =
      L"; \u0437\u0430\u043C\u0435\u0442\u043A\u0430\r\n[SYSTEM]\r\n"
      L"path=C:\\\u0417\u0430\u043F\u0438\u0441\u0438\\\u9332\u97F3\r\ninfo=1\r\n[X]\r\nk=caf\u00E9\r\n";
  struct Case {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"no byte-order mark", utf8},
      {"UTF-8 byte-order mark", "\xEF\xBB\xBF" + utf8},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(WriteBytes(path_, c.bytes));
    EXPECT_EQ(ReadSetting(L"SYSTEM", L"path", L""), L"C:\\\u0417\u0430\u043F\u0438\u0441\u0438\\\u9332\u97F3")
        << c.name;
    EXPECT_EQ(Utf16Text(ReadBytes(path_).value_or("<missing>")), text) << c.name;
    EXPECT_EQ(ReadSetting(L"SYSTEM", L"info", L"0"), L"1") << c.name;
    EXPECT_EQ(ReadSetting(L"X", L"k", L""), L"caf\u00E9") << c.name;
  }
  // Writing converts it too, before the value goes in.
  ASSERT_TRUE(WriteBytes(path_, utf8));
  WriteSetting(L"SYSTEM", L"info", L"0");
  EXPECT_EQ(ReadSetting(L"SYSTEM", L"path", L""), L"C:\\\u0417\u0430\u043F\u0438\u0441\u0438\\\u9332\u97F3");
  EXPECT_EQ(ReadSetting(L"X", L"k", L""), L"caf\u00E9");

  // Bytes that are not UTF-8 (ANSI), or only ASCII: the file stays as it is.
  for (const std::string& bytes : {std::string("[SYSTEM]\r\npath=C:\\caf\xE9\r\n"),
                                  std::string("[SYSTEM]\r\npath=C:\\\xC3\r\n"),
                                  std::string("[SYSTEM]\r\npath=C:\\plain\r\n")}) {
    ASSERT_TRUE(WriteBytes(path_, bytes));
    EXPECT_EQ(ReadSetting(L"SYSTEM", L"path", L""), SystemPlatform().DecodeAnsi(bytes.substr(15, bytes.size() - 17)));
    EXPECT_EQ(ReadBytes(path_), bytes);
  }
}

// Big-endian UTF-16 bytes after their mark.
std::string BigEndianFile(const std::wstring& text) {
  std::string bytes = "\xFE\xFF";
  for (const wchar_t c : text) {
    bytes.push_back(static_cast<char>(c >> 8));
    bytes.push_back(static_cast<char>(c & 0xFF));
  }
  return bytes;
}

// The profile functions read only little-endian UTF-16: a big-endian file (mark FE FF) is made
// little-endian with its mark before it is read or written, keeping every line.
TEST_F(ConfigFileTest, ABigEndianFileIsReadAndMadeLittleEndianKeepingEveryKey) {
  const std::wstring text =
      L"; \u0437\u0430\u043C\u0435\u0442\u043A\u0430\r\n[SYSTEM]\r\npath=C:\\old\r\ninfo=1\r\n[X]\r\nk=caf\u00E9\r\n";
  const std::wstring folder = L"C:\\\u0417\u0430\u043F\u0438\u0441\u0438\\\u9332\u97F3";
  struct Case {
    const char* name;
    std::function<void()> use;
    std::wstring path_after;
  } cases[] = {
      {"read", [] { EXPECT_EQ(ReadSetting(L"SYSTEM", L"info", L"0"), L"1"); }, L"C:\\old"},
      {"a folder outside the code page saved", [&] { WriteSetting(L"SYSTEM", L"path", folder); }, folder},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(WriteBytes(path_, BigEndianFile(text)));
    c.use();
    const std::wstring expected = L"; \u0437\u0430\u043C\u0435\u0442\u043A\u0430\r\n[SYSTEM]\r\npath=" + c.path_after +
                                  L"\r\ninfo=1\r\n[X]\r\nk=caf\u00E9\r\n";
    EXPECT_EQ(Utf16Text(ReadBytes(path_).value_or("<missing>")), expected);
    EXPECT_EQ(ReadSetting(L"SYSTEM", L"path", L""), c.path_after);
    EXPECT_EQ(ReadSetting(L"SYSTEM", L"info", L"0"), L"1");
    EXPECT_EQ(ReadSetting(L"X", L"k", L""), L"caf\u00E9");
  }
}

TEST_F(ConfigFileTest, OnlyOneCountsAsInfoSet) {
  struct Case {
    const wchar_t* stored;
    bool set;
  } cases[] = {{L"1", true}, {L"0", false}, {L"yes", false}, {L"true", false},
               {L"2", false}, {L"", false},  {L"11", false},  {L"1.0", false}};
  for (const Case& c : cases) {
    WriteSetting(L"SYSTEM", L"info", c.stored);
    EXPECT_EQ(IsInfoSet(ReadSetting(L"SYSTEM", L"info", L"0")), c.set) << c.stored;
  }
  RemoveConfig();
  EXPECT_FALSE(IsInfoSet(ReadSetting(L"SYSTEM", L"info", L"0")));
}

TEST_F(ConfigFileTest, WritingToAMissingFileCreatesItWithSectionAndKey) {
  WriteSetting(L"SYSTEM", L"path", L"D:\\Calls");
  ASSERT_TRUE(PathExists(path_));
  const std::string bytes = ReadBytes(path_).value_or("<missing>");
  // UTF-16 with a byte-order mark.
  const std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
  EXPECT_EQ(text, L"\uFEFF[SYSTEM]\r\npath=D:\\Calls\r\n");
  EXPECT_EQ(ReadSetting(L"SYSTEM", L"path", L""), L"D:\\Calls");
  EXPECT_EQ(ReadSetting(L"SYSTEM", L"info", L"0"), L"0");
}

TEST_F(ConfigFileTest, FolderNamesOutsideTheAnsiCodePageSurvive) {
  const std::wstring folder = L"C:\\\u0417\u0430\u043F\u0438\u0441\u0438\\\u901A\u8BDD \U0001F4DE";
  WriteSetting(L"SYSTEM", L"path", folder);
  WriteSetting(L"SYSTEM", L"info", L"1");
  EXPECT_EQ(ReadSetting(L"SYSTEM", L"path", L""), folder);
  EXPECT_EQ(ReadSetting(L"SYSTEM", L"info", L"0"), L"1");
}

TEST_F(ConfigFileTest, WritingAPresentKeyReplacesItsValueInPlace) {
  ASSERT_TRUE(WriteBytes(path_, "; kept\r\n[SYSTEM]\r\npath=C:\\old\r\nother=keep\r\n[X]\r\npath=C:\\x\r\n"));
  WriteSetting(L"system", L"PATH", L"C:\\new");
  EXPECT_EQ(ReadBytes(path_), "; kept\r\n[SYSTEM]\r\npath=C:\\new\r\nother=keep\r\n[X]\r\npath=C:\\x\r\n");

  WriteSetting(L"SYSTEM", L"info", L"1");
  EXPECT_EQ(ReadSetting(L"SYSTEM", L"path", L""), L"C:\\new");
  EXPECT_EQ(ReadSetting(L"SYSTEM", L"info", L""), L"1");
  EXPECT_EQ(ReadSetting(L"X", L"path", L""), L"C:\\x");
  EXPECT_EQ(ReadSetting(L"SYSTEM", L"other", L""), L"keep");
}

TEST_F(ConfigFileTest, UnwritableFileRaisesTheErrorWithTheFullPath) {
  // A folder in the file's place.
  ASSERT_TRUE(::CreateDirectoryW(path_.c_str(), nullptr));
  ExpectWriteError([] { WriteSetting(L"SYSTEM", L"path", L"C:\\x"); });
  RemoveConfig();

  // A file that another opener holds without sharing.
  ASSERT_TRUE(WriteBytes(path_, "[SYSTEM]\r\npath=C:\\old\r\n"));
  {
    const FileHandle locked(::CreateFileW(path_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(locked);
    ExpectWriteError([] { WriteSetting(L"SYSTEM", L"path", L"C:\\new"); });
  }
  EXPECT_EQ(ReadBytes(path_), "[SYSTEM]\r\npath=C:\\old\r\n");
}

TEST_F(ConfigFileTest, ReadOnlyFileRaisesTheErrorWithTheFullPath) {
  ASSERT_TRUE(WriteBytes(path_, "[SYSTEM]\r\npath=C:\\old\r\n"));
  ASSERT_TRUE(::SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_READONLY));
  const FileHandle probe(::CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  if (probe) {
    // Wine running as root does not enforce the attribute: nothing can fail here.
    GTEST_SKIP() << "the read-only attribute is not enforced on this system";
  }
  ExpectWriteError([] { WriteSetting(L"SYSTEM", L"path", L"C:\\new"); });
  EXPECT_EQ(ReadSetting(L"SYSTEM", L"path", L""), L"C:\\old");
}

TEST_F(ConfigFileTest, TextsThatWouldBreakTheFileAreRefused) {
  ASSERT_TRUE(WriteBytes(path_, "[SYSTEM]\r\npath=C:\\old\r\n"));
  ExpectWriteError([] { WriteSetting(L"SYSTEM", L"path", L"C:\\new\r\ninfo=1"); });
  ExpectWriteError([] { WriteSetting(L"SYSTEM", L"path", L"C:\\new\ninfo=1"); });
  ExpectWriteError([] { WriteSetting(L"SYSTEM", L"path", std::wstring(L"C:\\new\0x", 8)); });
  ExpectWriteError([] { WriteSetting(L"SYSTEM\r\n[X]", L"path", L"C:\\new"); });
  EXPECT_EQ(ReadBytes(path_), "[SYSTEM]\r\npath=C:\\old\r\n");
  EXPECT_EQ(ReadSetting(L"SYSTEM", std::wstring(L"path\0info", 9), L"<default>"), L"<default>");
}

}  // namespace
}  // namespace callwright
