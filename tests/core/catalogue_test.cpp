#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <utility>

#include "core/catalogue.h"

namespace callwright {
namespace {

const NumberSeparators kEnglish{L".", L","};

TEST(FormatFileSize, UnitsAndRoundingWithEnglishSeparators) {
  struct Case {
    std::int64_t size;
    const wchar_t* text;
  } cases[] = {
      {0, L"0.00 Bytes"},
      {1, L"1.00 Bytes"},
      {999, L"999.00 Bytes"},
      {1023, L"1,023.00 Bytes"},
      {1024, L"1.00 KB"},
      {1029, L"1.00 KB"},  // 1.00488...
      {1030, L"1.01 KB"},  // 1.00585...
      {1152, L"1.13 KB"},  // exactly 1.125: half rounds up
      {1141, L"1.11 KB"},  // 1.11425...
      {1536, L"1.50 KB"},
      {1048575, L"1,024.00 KB"},
      {1048576, L"1.00 MB"},
      {1073741823, L"1,024.00 MB"},
      {1073741824, L"1.00 GB"},
      {4294967295, L"4.00 GB"},
      {1099511627775, L"1,024.00 GB"},
      {1920, L"1.88 KB"},          // 1.875
      {1179647, L"1.12 MB"},       // just below 1.125
      {1179648, L"1.13 MB"},       // 1.125
      {1208485888, L"1.13 GB"},    // 1.125
  };
  for (const Case& c : cases) EXPECT_EQ(FormatFileSize(c.size, kEnglish), c.text) << c.size;
}

TEST(FormatFileSize, SizesFromOneTebibyteOnStayInGigabytes) {
  constexpr std::int64_t kTiB = std::int64_t{1} << 40;
  EXPECT_EQ(FormatFileSize(kTiB, kEnglish), L"1,024.00 GB");
  EXPECT_EQ(FormatFileSize(2 * kTiB, kEnglish), L"2,048.00 GB");
  EXPECT_EQ(FormatFileSize(2 * kTiB + 536870912, kEnglish), L"2,048.50 GB");
  // 2^63 - 1 bytes is 8589934591.999999999 GiB.
  EXPECT_EQ(FormatFileSize(std::numeric_limits<std::int64_t>::max(), kEnglish), L"8,589,934,592.00 GB");
}

TEST(FormatFileSize, NegativeSizesCarryASign) {
  EXPECT_EQ(FormatFileSize(-1, kEnglish), L"-1.00 Bytes");
  EXPECT_EQ(FormatFileSize(-1152, kEnglish), L"-1.13 KB");
  EXPECT_EQ(FormatFileSize(std::numeric_limits<std::int64_t>::min(), kEnglish), L"-8,589,934,592.00 GB");
}

TEST(FormatFileSize, UsesTheGivenSeparators) {
  struct Case {
    NumberSeparators separators;
    std::int64_t size;
    const wchar_t* text;
  } cases[] = {
      {{L",", L"."}, 1023, L"1.023,00 Bytes"},
      {{L",", L"."}, 1152, L"1,13 KB"},
      {{L",", L"\u00A0"}, 1099511627775, L"1\u00A0024,00 GB"},
      {{L",", L"\u00A0"}, std::numeric_limits<std::int64_t>::max(), L"8\u00A0589\u00A0934\u00A0592,00 GB"},
      {{L".", L"'"}, 1048575, L"1'024.00 KB"},
      {{L"\u066B", L"\u066C"}, 1023, L"1\u066C023\u066B00 Bytes"},
      {{L".", L""}, 1023, L"1023.00 Bytes"},      // no grouping
      {{L"::", L" - "}, 1023, L"1 - 023::00 Bytes"},  // separators of several characters
  };
  for (const Case& c : cases) EXPECT_EQ(FormatFileSize(c.size, c.separators), c.text) << c.size;
}

TEST(MakeRecordingRow, CellsFromFileNames) {
  struct Case {
    const wchar_t* name;
    const wchar_t* when;
    const wchar_t* partner;
  } cases[] = {
      {L"05032013_141516_john.doe.wav", L"05/03/2013 at 14:15:16", L"john.doe"},
      {L"05032013_141516_live_jane.wav", L"05/03/2013 at 14:15:16", L"live_jane"},
      {L"05032013_141516_ab.WAVcd.WAV", L"05/03/2013 at 14:15:16", L"abcd"},
      {L"abc.wav", L"ab/c./wav at ::", L"abc"},
      {L"07032013_090503_.wav", L"07/03/2013 at 09:05:03", L""},
      {L"07032013_090503_a b.wav", L"07/03/2013 at 09:05:03", L"a b"},
      {L"07032013_090503_.w.wavav.wav", L"07/03/2013 at 09:05:03", L".wav"},
      {L"07032013_090503_x.wav.wav", L"07/03/2013 at 09:05:03", L"x"},
      {L"07032013_090503_x.wa", L"07/03/2013 at 09:05:03", L"x.wa"},
      {L"07032013_090503_.wAv.WaV.", L"07/03/2013 at 09:05:03", L"."},
      {L"07032013_0905", L"07/03/2013 at 09:05:", L"0905"},  // second "_" missing: nothing more removed
      {L"a_b", L"a_/b/ at ::", L"b"},
      {L"_", L"_// at ::", L""},
      {L"1", L"1// at ::", L"1"},
      {L"", L"// at ::", L""},
  };
  for (const Case& c : cases) {
    const std::wstring path = std::wstring(L"C:\\Rec\\") + c.name;
    const RecordingRow row = MakeRecordingRow(path, 1024, kEnglish);
    EXPECT_EQ(row.When, c.when) << c.name;
    EXPECT_EQ(row.Partner, c.partner) << c.name;
    EXPECT_EQ(row.Size, L"1.00 KB") << c.name;
    EXPECT_EQ(row.FileLocation, path) << c.name;
  }
}

TEST(MakeRecordingRow, NameIsTheTextAfterTheLastBackslashOrColon) {
  struct Case {
    const wchar_t* path;
    const wchar_t* partner;
  } cases[] = {
      {L"C:\\Rec\\\\05032013_141516_x.wav", L"x"},
      {L"C:05032013_141516_x.wav", L"x"},
      {L"05032013_141516_x.wav", L"x"},
      {L"C:\\a_b_c\\05032013_141516_x.wav", L"x"},  // underscores of folders do not count
      {L"C:\\Rec\\", L""},
  };
  for (const Case& c : cases) {
    const RecordingRow row = MakeRecordingRow(c.path, 0, kEnglish);
    EXPECT_EQ(row.Partner, c.partner) << c.path;
    EXPECT_EQ(row.FileLocation, c.path);
  }
  EXPECT_EQ(MakeRecordingRow(L"C:\\Rec\\05032013_141516_x.wav", 0, kEnglish).When, L"05/03/2013 at 14:15:16");
  EXPECT_EQ(MakeRecordingRow(L"C:05032013_141516_x.wav", 0, kEnglish).When, L"05/03/2013 at 14:15:16");
}

TEST(MakeRecordingRow, SizeCellIsBusyForAnyNegativeSize) {
  const wchar_t* path = L"C:\\Rec\\05032013_141516_x.wav";
  EXPECT_EQ(MakeRecordingRow(path, -1, kEnglish).Size, L"BUSY");
  EXPECT_EQ(MakeRecordingRow(path, -2, kEnglish).Size, L"BUSY");
  EXPECT_EQ(MakeRecordingRow(path, std::numeric_limits<std::int64_t>::min(), kEnglish).Size, L"BUSY");
  EXPECT_EQ(MakeRecordingRow(path, 0, kEnglish).Size, L"0.00 Bytes");
  EXPECT_EQ(MakeRecordingRow(path, 1023, {L",", L"."}).Size, L"1.023,00 Bytes");
}

TEST(FormatLength, MinutesUnderAnHourThenHours) {
  const std::pair<std::uint64_t, const wchar_t*> cases[] = {
      {0, L"0:00"}, {9, L"0:09"}, {75, L"1:15"}, {3599, L"59:59"}, {3600, L"1:00:00"}, {36061, L"10:01:01"},
      {4294967294ull, L"1193046:28:14"},
  };
  for (const auto& [seconds, text] : cases) EXPECT_EQ(FormatLength(seconds), text) << seconds;
}

TEST(ShownOfTotal, GroupsBothNumbersWithTheUsersSeparator) {
  const struct {
    std::uint64_t shown, total;
    NumberSeparators separators;
    const wchar_t* text;
  } cases[] = {
      {12, 3480, kEnglish, L"12 of 3,480"},
      {0, 0, kEnglish, L"0 of 0"},
      {1234, 1000000, {L",", L"."}, L"1.234 of 1.000.000"},
      {999, 1000, {L".", L"\u00A0"}, L"999 of 1\u00A0000"},
      {5, 5, {L".", L""}, L"5 of 5"},
  };
  for (const auto& c : cases) EXPECT_EQ(ShownOfTotal(c.shown, c.total, c.separators), c.text) << c.total;
}

TEST(RecordingTime, OrdersAsTheNamesTimesAndZeroForOtherNames) {
  EXPECT_EQ(RecordingTime(L"05032013_141516_anna.wav"), 20130305141516u);
  EXPECT_LT(RecordingTime(L"31122012_235959_x.wav"), RecordingTime(L"01012013_000000_x.wav"));
  for (const wchar_t* name : {L"", L"05032013-141516_x.wav", L"0503201x_141516_x.wav", L"05032013_14151", L"notes.wav"}) {
    EXPECT_EQ(RecordingTime(name), 0u) << name;
  }
}

TEST(SplitLines, BreaksAtCrLfAndCrLf) {
  using Lines = std::vector<std::wstring>;
  struct Case {
    const wchar_t* text;
    Lines lines;
  } cases[] = {
      {L"", {}},
      {L"a", {L"a"}},
      {L"a\r\n", {L"a"}},
      {L"a\r\nb\r\n", {L"a", L"b"}},
      {L"a\rb\nc\r\nd", {L"a", L"b", L"c", L"d"}},
      {L"a\n\rb", {L"a", L"", L"b"}},  // LF CR is two breaks
      {L"a\r\n\r\nb", {L"a", L"", L"b"}},
      {L"\r\n", {L""}},
      {L"\r\r", {L"", L""}},
      {L"a\r", {L"a"}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitLines(c.text), c.lines) << c.text;
}

}  // namespace
}  // namespace callwright
