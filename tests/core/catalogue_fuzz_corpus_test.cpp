// Replays the committed fuzz corpus through the fuzz entry (host build only).
#ifdef CALLWRIGHT_FUZZ_CORPUS
#include <gtest/gtest.h>

#include <filesystem>
#include <utility>
#include <fstream>
#include <iterator>
#include <vector>

#include "core/fuzz/catalogue_fuzz_entry.h"

namespace callwright {
namespace {

TEST(CatalogueFuzzCorpus, EveryInputKeepsTheChecks) {
  std::size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(CALLWRIGHT_FUZZ_CORPUS)) {
    std::ifstream file(entry.path(), std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    EXPECT_EQ(fuzz::CheckCatalogueInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), "")
        << entry.path();
    ++count;
  }
  EXPECT_GE(count, 8u);
}

TEST(CatalogueFuzzCorpus, ChecksNoticeWrongResults) {
  // The checks themselves must catch what the routines could get wrong.
  const NumberSeparators english;
  const std::wstring path = L"C:\\Rec\\05032013_141516_x.wav";
  const RecordingRow good = MakeRecordingRow(path, 1048575, english);
  ASSERT_EQ(fuzz::CheckRow(path, 1048575, english, good), "");
  const std::pair<const wchar_t*, const char*> wrong_sizes[] = {
      {L"1,023.99 KB", "value"}, {L"1024.00 KB", "grouping"}, {L"1,024.00 MB", "unit"}, {L"1,024,00 KB", "decimal"}};
  for (const auto& [text, what] : wrong_sizes) {
    RecordingRow row = good;
    row.Size = text;
    EXPECT_NE(fuzz::CheckRow(path, 1048575, english, row), "") << what;
  }
  RecordingRow row = good;
  row.When = L"05/03/2013 at 14:15:1";
  EXPECT_NE(fuzz::CheckRow(path, 1048575, english, row), "");
  row = good;
  row.Partner = L"x.wav";
  EXPECT_NE(fuzz::CheckRow(path, 1048575, english, row), "");
  row = good;
  row.FileLocation += L"x";
  EXPECT_NE(fuzz::CheckRow(path, 1048575, english, row), "");
  EXPECT_NE(fuzz::CheckRow(path, -1, english, good), "");
  EXPECT_NE(fuzz::CheckLines(L"a\r\nb\r\n", {L"a", L"b", L""}), "");
  EXPECT_NE(fuzz::CheckLines(L"a\rb", {L"a\rb"}), "");
  EXPECT_EQ(fuzz::CheckLines(L"a\rb\r\n", {L"a", L"b"}), "");
}

}  // namespace
}  // namespace callwright
#endif
