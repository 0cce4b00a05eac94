#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/drop_files.h"

namespace callwright {
namespace {

std::uint32_t Uint32At(const std::vector<std::byte>& block, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value |= static_cast<std::uint32_t>(block[at + i]) << (8 * i);
  return value;
}

// The block as UTF-16 code units from the first path on.
std::u16string UnitsAfterHeader(const std::vector<std::byte>& block) {
  std::u16string units;
  for (std::size_t at = kDropFilesHeaderSize; at + 1 < block.size(); at += 2) {
    units.push_back(static_cast<char16_t>(static_cast<unsigned>(block[at]) | static_cast<unsigned>(block[at + 1]) << 8));
  }
  return units;
}

TEST(DropFilesBlock, HeaderThenWidePathsEachEndedAndTheListEndedByOneMoreNul) {
  struct Case {
    std::vector<std::wstring> paths;
    std::u16string units;  // after the header
  } cases[] = {
      {{L"C:\\r\\a.wav"}, std::u16string(u"C:\\r\\a.wav\0\0", 12)},
      {{L"C:\\r\\a.wav", L"D:\\b.wav"}, std::u16string(u"C:\\r\\a.wav\0D:\\b.wav\0\0", 21)},
      {{}, std::u16string(u"\0", 1)},
      // An empty path or one holding a NUL would end the list early: left out.
      {{L"", L"C:\\x.wav", std::wstring(L"C:\\y\0z.wav", 10)}, std::u16string(u"C:\\x.wav\0\0", 10)},
      // Outside the basic plane: a surrogate pair, as Windows holds it.
      {{L"C:\\\U0001F4DE.wav"}, std::u16string(u"C:\\\U0001F4DE.wav\0\0", 11)},
      {{L"C:\\Записи 録音\\a.wav"}, std::u16string(u"C:\\Записи 録音\\a.wav\0\0", 20)},
  };
  for (const Case& c : cases) {
    const std::vector<std::byte> block = DropFilesBlock(c.paths);
    ASSERT_GE(block.size(), kDropFilesHeaderSize);
    EXPECT_EQ(Uint32At(block, 0), 20u) << "pFiles: the paths follow the header";
    EXPECT_EQ(Uint32At(block, 4), 0u) << "pt.x";
    EXPECT_EQ(Uint32At(block, 8), 0u) << "pt.y";
    EXPECT_EQ(Uint32At(block, 12), 0u) << "fNC";
    EXPECT_EQ(Uint32At(block, 16), 1u) << "fWide";
    EXPECT_EQ(block.size() % 2, 0u);
    EXPECT_EQ(UnitsAfterHeader(block), c.units) << c.paths.size();
  }
}

TEST(DropFilesPaths, ReadsBackWhatTheBlockHolds) {
  const std::vector<std::vector<std::wstring>> lists = {
      {L"C:\\r\\a.wav"},
      {L"C:\\r\\a.wav", L"C:\\r\\b.wav", L"\\\\server\\share\\c.wav"},
      {L"C:\\\U0001F4DE.wav", L"C:\\Записи 録音\\a.wav"},
      {},
  };
  for (const auto& paths : lists) EXPECT_EQ(DropFilesPaths(DropFilesBlock(paths)), paths) << paths.size();
}

TEST(DropFilesPaths, ABlockThatDoesNotHoldAListGivesWhatCouldBeReadAndNoMore) {
  std::vector<std::byte> whole = DropFilesBlock({L"C:\\a.wav", L"C:\\b.wav"});
  struct Case {
    const char* what;
    std::vector<std::byte> block;
    std::vector<std::wstring> paths;
  };
  std::vector<Case> cases;
  cases.push_back({"empty", {}, {}});
  cases.push_back({"header cut short", std::vector<std::byte>(whole.begin(), whole.begin() + 12), {}});
  // Cut inside the second path: the first one is whole, the second has no end.
  cases.push_back({"list cut short", std::vector<std::byte>(whole.begin(), whole.begin() + 20 + 2 * 12), {L"C:\\a.wav"}});
  // Cut inside a unit.
  cases.push_back({"odd size", std::vector<std::byte>(whole.begin(), whole.end() - 3), {L"C:\\a.wav"}});
  auto past_end = whole;
  past_end[0] = std::byte{0xFF};
  cases.push_back({"offset past the end", past_end, {}});
  auto into_header = whole;
  into_header[0] = std::byte{4};
  cases.push_back({"offset into the header", into_header, {}});
  auto narrow = whole;
  narrow[16] = std::byte{0};
  cases.push_back({"narrow form", narrow, {}});
  for (const Case& c : cases) EXPECT_EQ(DropFilesPaths(c.block), c.paths) << c.what;
}

}  // namespace
}  // namespace callwright
