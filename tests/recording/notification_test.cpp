#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "recording/notification.h"
#include "support/test_platform.h"

namespace callwright {
namespace {

using test::TestPlatform;

std::optional<std::string> Answer(std::string_view notification, std::wstring_view folder = L"C:\\Records") {
  const TestPlatform platform;
  return CommandForNotification(notification, folder, platform);
}

std::string Recording(std::string_view call_id, std::string_view path) {
  return "ALTER CALL " + std::string(call_id) + " SET_OUTPUT file=\"" + std::string(path) + "\"";
}

TEST(CommandForNotification, AnswersEachShapeOfNotification) {
  const std::string none = "<nothing>";
  struct Case {
    std::string notification;
    std::string command;
  } cases[] = {
      {"CALL 1234 STATUS INPROGRESS", "GET CALL 1234 PARTNER_HANDLE"},
      {"call 1234 status inprogress", "GET CALL 1234 PARTNER_HANDLE"},
      {"CALL 1234 STATUS INPROGRESS\r\n", "GET CALL 1234 PARTNER_HANDLE"},
      {"CALL 1234 STATUS INPROGRESS extra", "GET CALL 1234  extra PARTNER_HANDLE"},
      {"CALL 5 X INPROGRESS", "GET CALL 5 X INPROGRESS PARTNER_HANDLE"},
      {"CALL 12 STATUS INPROGRESS CALL 34 STATUS INPROGRESS", "GET CALL 12   34 PARTNER_HANDLE"},
      {"CALL 9 PARTNER_HANDLE inprogress.fan", "GET CALL 9 PARTNER_HANDLE inprogress.fan PARTNER_HANDLE"},
      {"CALL 1234 PARTNER_HANDLE anna.k", Recording("1234", "C:\\Records\\07032013_090503_anna.k.wav")},
      {"CALL  1234   PARTNER_HANDLE   anna.k", Recording("1234", "C:\\Records\\07032013_090503_anna.k.wav")},
      {"CALL 5 PARTNER_HANDLE a b", Recording("5", "C:\\Records\\07032013_090503_a b.wav")},
      {"CALL 77 PARTNER_HANDLE mccall.jr", Recording("77", "C:\\Records\\07032013_090503_mc.jr.wav")},
      {"CALL 1234 PARTNER_HANDLE", Recording("", "C:\\Records\\07032013_090503_1234.wav")},
      {"CALL PARTNER_HANDLE", Recording("", "C:\\Records\\07032013_090503_.wav")},
      {"call 8 partner_handle Anna.K", Recording("8", "C:\\Records\\07032013_090503_Anna.K.wav")},
      {"CALL 3 PARTNER_HANDLE j\xF6rg", Recording("3", "C:\\Records\\07032013_090503_j\xF6rg.wav")},
      {"\t CALL 4 PARTNER_HANDLE anna.k \r\n", Recording("4", "C:\\Records\\07032013_090503_anna.k.wav")},
      {"CALL 1234 STATUS RINGING", none},
      {"CALLS 12, 34", none},
      {"CALL 1234 STATUS FINISHED", none},
      {Recording("1234", "C:\\Records\\07032013_090503_anna.k.wav"), none},
      {"INPROGRESS PARTNER_HANDLE", none},
      {"", none},
      {std::string("\0CALL 1 STATUS INPROGRESS", 25), none},
      {std::string("CALL 1 STATUS INPROGRESS\0 extra", 31), "GET CALL 1 PARTNER_HANDLE"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Answer(c.notification).value_or(none), c.command) << c.notification;
  }
}

TEST(CommandForNotification, ReadsTheClockOnceAndOnlyForARecording) {
  TestPlatform platform({2013, 12, 31, 23, 59, 59});
  EXPECT_TRUE(CommandForNotification("CALL 1 STATUS INPROGRESS", L"C:\\Records", platform));
  EXPECT_EQ(platform.ClockReadings(), 0);
  EXPECT_EQ(CommandForNotification("CALL 1 PARTNER_HANDLE x", L"C:\\Records", platform),
            Recording("1", "C:\\Records\\31122013_235959_x.wav"));
  EXPECT_EQ(platform.ClockReadings(), 1);
  platform.SetNow({2014, 1, 1, 0, 0, 0});
  EXPECT_EQ(CommandForNotification("CALL 1 PARTNER_HANDLE x", L"C:\\Records", platform),
            Recording("1", "C:\\Records\\01012014_000000_x.wav"));
}

TEST(CommandForNotification, PutsOneBackslashAfterTheFolderWhateverItEndsWith) {
  const struct {
    std::wstring folder;
    std::string path;
  } cases[] = {
      {L"D:\\", "D:\\\\07032013_090503_anna.k.wav"},
      {L"", "\\07032013_090503_anna.k.wav"},
      {L"C:\\Records\\", "C:\\Records\\\\07032013_090503_anna.k.wav"},
      {L"\\\\server\\share:x", "\\\\server\\share:x\\07032013_090503_anna.k.wav"},
      {L"C:\\M\u00FCll", "C:\\M\xFCll\\07032013_090503_anna.k.wav"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Answer("CALL 7 PARTNER_HANDLE anna.k", c.folder), Recording("7", c.path)) << c.path;
  }
}

TEST(CommandForNotification, KeepsTheFileNameInsideTheFolder) {
  const struct {
    std::string notification;
    std::string path;
  } cases[] = {
      {"CALL 1 PARTNER_HANDLE live:jane", "C:\\Records\\07032013_090503_live_jane.wav"},
      {"CALL 1 PARTNER_HANDLE ..\\..\\Windows\\evil", "C:\\Records\\07032013_090503_.._.._Windows_evil.wav"},
      {"CALL 1 PARTNER_HANDLE a/b", "C:\\Records\\07032013_090503_a_b.wav"},
      {"CALL 1 PARTNER_HANDLE <>:\"/\\|?*", "C:\\Records\\07032013_090503__________.wav"},
      {"CALL 1 PARTNER_HANDLE tab\there\x01" "and\x1F" "end", "C:\\Records\\07032013_090503_tab_here_and_end.wav"},
      {"CALL 1 PARTNER_HANDLE anna.k", "C:\\Records\\07032013_090503_anna.k.wav"},
      {"CALL 1 PARTNER_HANDLE a_b c-d+e'f(g)!", "C:\\Records\\07032013_090503_a_b c-d+e'f(g)!.wav"},
  };
  for (const auto& c : cases) EXPECT_EQ(Answer(c.notification), Recording("1", c.path)) << c.notification;
}

// A code page with best-fit mappings, as Windows has: full-width solidi become path separators and
// a character without a counterpart becomes "?".
class BestFitPlatform final : public Platform {
 public:
  std::wstring UpperCase(std::wstring_view text) const override { return base_.UpperCase(text); }
  std::wstring DecodeAnsi(std::string_view bytes) const override { return base_.DecodeAnsi(bytes); }
  std::string EncodeAnsi(std::wstring_view text) const override {
    std::string bytes;
    for (const wchar_t c : text) {
      if (c == 0xFF0F) {
        bytes += '/';
      } else if (c == 0xFF3C) {
        bytes += '\\';
      } else if (c < 0x80) {
        bytes += static_cast<char>(c);
      } else {
        bytes += '?';
      }
    }
    return bytes;
  }
  LocalTime Now() const override { return base_.Now(); }

 private:
  TestPlatform base_;
};

TEST(FileNamePart, JudgesTheCharactersTheEncodingProduces) {
  const BestFitPlatform platform;
  EXPECT_EQ(FileNamePart(L"..\uFF3C..\uFF0Fx", platform), L".._.._x");
  EXPECT_EQ(FileNamePart(L"\u4E2D\u6587", platform), L"__");
  EXPECT_EQ(FileNamePart(L"anna.k", platform), L"anna.k");
  const auto command = CommandForNotification("CALL 1 PARTNER_HANDLE x", L"C:\\Records", platform);
  EXPECT_EQ(command, Recording("1", "C:\\Records\\07032013_090503_x.wav"));
}

#ifdef _WIN32
TEST(FileNamePart, NeverGivesASeparatorThroughTheSystemCodePage) {
  const TestPlatform platform;
  for (const wchar_t* handle : {L"..\uFF3C..\uFF3Cevil", L"a\uFF0Fb", L"\u2215\u2216\uFE68", L"\u4E2D"}) {
    const std::wstring part = FileNamePart(handle, platform);
    const std::string encoded = platform.EncodeAnsi(part);
    EXPECT_EQ(encoded.find_first_of("<>:\"/\\|?*"), std::string::npos) << encoded;
  }
}
#endif

TEST(RemoveText, ScansOnceForNonOverlappingMatchesWithoutRegardToCase) {
  const TestPlatform platform;
  const struct {
    std::wstring text, pattern, rest;
  } cases[] = {
      {L"CCALLALL", L"CALL", L"CALL"},
      {L"call 1234 status inprogress", L"CALL", L" 1234 status inprogress"},
      {L"xCaLly", L"call", L"xy"},
      {L"mccall.jr", L"CALL", L"mc.jr"},
      {L"AAA", L"AA", L"A"},
      {L"AAAA", L"aa", L""},
      {L"CAL", L"CALL", L"CAL"},
      {L"", L"CALL", L""},
      {L"a\u00C9\u00E9b", L"\u00E9", L"ab"},
      {L"anything", L"", L"anything"},
  };
  for (const auto& c : cases) EXPECT_EQ(RemoveText(c.text, c.pattern, platform), c.rest) << c.text;
}

TEST(ContainsText, FindsThePatternWithoutRegardToCase) {
  const TestPlatform platform;
  const struct {
    std::wstring text, pattern;
    bool contained;
  } cases[] = {
      {L"CCALLALL", L"CALL", true}, {L"the Call", L"CALL", true}, {L"CALS", L"CALL", false},
      {L"", L"CALL", false},        {L"abc", L"", false},          {L"status\tinprogress", L"STATUS INPROGRESS", false},
  };
  for (const auto& c : cases) EXPECT_EQ(ContainsText(c.text, c.pattern, platform), c.contained) << c.text;
}

TEST(TrimText, DropsCodesUpToSpaceAtBothEnds) {
  const struct {
    std::wstring text, trimmed;
  } cases[] = {
      {L" \t\r\n\x01" L"abc \x1F", L"abc"},
      {L"a b", L"a b"},
      {L"!x~", L"!x~"},
      {L"\x7F" L"a\x80", L"\x7F" L"a\x80"},
      {L" \r\n ", L""},
      {L"", L""},
  };
  for (const auto& c : cases) EXPECT_EQ(TrimText(c.text), c.trimmed);
}

TEST(CopyDataText, ReadsUpToTheNulAndNeverBeyondTheSize) {
  const char with_nul[] = "CALL 1\0tail";
  EXPECT_EQ(CopyDataText(with_nul, sizeof(with_nul)), "CALL 1");
  // Exactly the record's bytes, without a NUL: the sanitizers catch any read past them.
  const std::string text = "CALL 7 STATUS INPROGRESS";
  const auto exact = std::make_unique<char[]>(text.size());
  std::copy(text.begin(), text.end(), exact.get());
  EXPECT_EQ(CopyDataText(exact.get(), text.size()), text);
  EXPECT_EQ(CopyDataText(exact.get(), 4), "CALL");
  EXPECT_EQ(CopyDataText(exact.get(), 0), "");
  EXPECT_EQ(CopyDataText(nullptr, 5), "");
  EXPECT_EQ(CopyDataText("\0abc", 4), "");
}

}  // namespace
}  // namespace callwright
