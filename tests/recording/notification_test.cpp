#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <set>
#include <string>

#include "core/catalogue.h"
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
      {"CALL 1234 PARTNER_HANDLE anna.k", Recording("1234", "C:\\Records\\07032013_090503_anna.k.wav")},
      {"CALL  1234   PARTNER_HANDLE   anna.k", Recording("1234", "C:\\Records\\07032013_090503_anna.k.wav")},
      {"CALL 5 PARTNER_HANDLE a b", Recording("5", "C:\\Records\\07032013_090503_a b.wav")},
      {"CALL\t1234\tSTATUS\tINPROGRESS", "GET CALL 1234 PARTNER_HANDLE"},
      {"Call 8 Status InProgress", "GET CALL 8 PARTNER_HANDLE"},
      // The words "CALL" and "INPROGRESS" inside a handle are the handle's own.
      {"CALL 77 PARTNER_HANDLE mccall.jr", Recording("77", "C:\\Records\\07032013_090503_mccall.jr.wav")},
      {"CALL 78 PARTNER_HANDLE callum", Recording("78", "C:\\Records\\07032013_090503_callum.wav")},
      {"CALL 9 PARTNER_HANDLE inprogress.fan", Recording("9", "C:\\Records\\07032013_090503_inprogress.fan.wav")},
      // Malformed texts, read word by word.
      {"CALL 1234 STATUS INPROGRESS extra", none},
      {"CALL 5 X INPROGRESS", none},
      {"CALL 12 STATUS INPROGRESS CALL 34 STATUS INPROGRESS", none},
      {"CALL 1 PARTNER_HANDLE a CALL 2 PARTNER_HANDLE b",
       Recording("1", "C:\\Records\\07032013_090503_a CALL 2 PARTNER_HANDLE b.wav")},
      {"CALL 1 PARTNER_HANDLE x\r\nCALL 2 STATUS INPROGRESS",
       Recording("1", "C:\\Records\\07032013_090503_x__CALL 2 STATUS INPROGRESS.wav")},
      {"CALL 1234 PARTNER_HANDLE", Recording("1234", "C:\\Records\\07032013_090503_.wav")},
      {"CALL PARTNER_HANDLE", none},
      {"CALL PARTNER_HANDLE anna.k", none},
      {"CALL 1234 STATUS", none},
      {"CALL 1234", none},
      {"CALL", none},
      {"XCALL 1 STATUS INPROGRESS", none},
      {"CALL 1 STATUS INPROGRESSED", none},
      {"GET CALL 1234 PARTNER_HANDLE", none},
      {"ALTER CALL 1234 SET_OUTPUT file=\"C:\\Records\\x.wav\"", none},
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

TEST(ReadNotification, ReadsCallIdPropertyAndValueWordByWord) {
  const TestPlatform platform;
  const struct {
    std::wstring text;
    std::wstring call_id, property, value;  // no call id: not a notification
  } cases[] = {
      {L"CALL 1234 STATUS FINISHED", L"1234", L"STATUS", L"FINISHED"},
      {L"call 12 status finished", L"12", L"status", L"finished"},
      {L" \tCALL\t7\r\nSTATUS   IN  PROGRESS \r\n", L"7", L"STATUS", L"IN  PROGRESS"},
      {L"CALL 1 PARTNER_HANDLE", L"1", L"PARTNER_HANDLE", L""},
      {L"CALL 1 DURATION 0", L"1", L"DURATION", L"0"},
      {L"  CALL\t12   STATUS   FINISHED \r\n", L"12", L"STATUS", L"FINISHED"},
      {L"CALL 5 PARTNER_HANDLE a b", L"5", L"PARTNER_HANDLE", L"a b"},
      {L"CALL 5 PARTNER_HANDLE mccall.jr", L"5", L"PARTNER_HANDLE", L"mccall.jr"},
      {L"XCALL 5 STATUS FINISHED", L"", L"", L""},
      {L"CALL 1", L"", L"", L""},
      {L"CALL", L"", L"", L""},
      {L"CALLS 1 STATUS FINISHED", L"", L"", L""},
      {L"GET CALL 1 STATUS", L"", L"", L""},
      {L"", L"", L"", L""},
  };
  for (const auto& c : cases) {
    const std::optional<ClientNotification> read = ReadNotification(std::wstring_view(c.text), platform);
    ASSERT_EQ(read.has_value(), !c.call_id.empty()) << c.text;
    if (!read) continue;
    EXPECT_EQ(read->call_id, c.call_id) << c.text;
    EXPECT_EQ(read->property, c.property) << c.text;
    EXPECT_EQ(read->value, c.value) << c.text;
  }
  // From the bytes as they arrive: up to the NUL, decoded from the ANSI code page.
  const auto read = ReadNotification(std::string_view("CALL 5 STATUS FINISHED\0 x", 25), platform);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->value, L"FINISHED");
  EXPECT_TRUE(SameWord(read->property, L"status", platform));
  EXPECT_FALSE(SameWord(L"STATUS", L"STATUSX", platform));
}

// The path between the quotes of a recording command.
std::string PathOf(const std::optional<std::string>& command) {
  if (!command) return "<nothing>";
  const std::size_t open = command->find('"');
  return open == std::string::npos ? "<no path>" : command->substr(open + 1, command->size() - open - 2);
}

TEST(CallHandler, NumbersANameThatWentOutOrExists) {
  const TestPlatform platform;
  // Recordings converted to FLAC or Opus keep their names but for the extension.
  std::set<std::wstring> files = {L"C:\\Records\\07032013_090503_b.wav", L"C:\\Records\\07032013_090503_a (4).flac",
                                  L"C:\\Records\\07032013_090503_a (6).opus"};
  std::vector<std::wstring> asked;
  CallHandler handler(platform, [&](const std::wstring& path) {
    asked.push_back(path);
    return files.contains(path);
  });
  const std::string partner_a = "CALL 1 PARTNER_HANDLE a";
  EXPECT_EQ(PathOf(handler.CommandFor(partner_a, L"C:\\Records")), "C:\\Records\\07032013_090503_a.wav");
  EXPECT_EQ(PathOf(handler.CommandFor(partner_a, L"C:\\Records")), "C:\\Records\\07032013_090503_a (2).wav");
  // Names differing only in case are one file.
  EXPECT_EQ(PathOf(handler.CommandFor("CALL 2 PARTNER_HANDLE A", L"C:\\Records")),
            "C:\\Records\\07032013_090503_A (3).wav");
  EXPECT_EQ(PathOf(handler.CommandFor(partner_a, L"C:\\Records")), "C:\\Records\\07032013_090503_a (5).wav");
  EXPECT_EQ(PathOf(handler.CommandFor(partner_a, L"C:\\Records")), "C:\\Records\\07032013_090503_a (7).wav");
  EXPECT_EQ(PathOf(handler.CommandFor("CALL 3 PARTNER_HANDLE b", L"C:\\Records")),
            "C:\\Records\\07032013_090503_b (2).wav");
  EXPECT_EQ(asked.back(), L"C:\\Records\\07032013_090503_b (2).wav");
  // Another folder or another second is another name.
  EXPECT_EQ(PathOf(handler.CommandFor(partner_a, L"D:\\Other")), "D:\\Other\\07032013_090503_a.wav");
  EXPECT_EQ(PathOf(handler.CommandFor(partner_a, L"C:\\Records\\")), "C:\\Records\\\\07032013_090503_a.wav");
  // Requests take no name.
  EXPECT_EQ(handler.CommandFor("CALL 1 STATUS INPROGRESS", L"C:\\Records"), "GET CALL 1 PARTNER_HANDLE");
  // The catalogue shows the number with the partner.
  const std::wstring path = platform.DecodeAnsi(PathOf(handler.CommandFor("CALL 9 PARTNER_HANDLE same.p", L"C:\\R")));
  EXPECT_EQ(MakeRecordingRow(path, 0, {}).Partner, L"same.p");
  const std::wstring second = platform.DecodeAnsi(PathOf(handler.CommandFor("CALL 9 PARTNER_HANDLE same.p", L"C:\\R")));
  EXPECT_EQ(MakeRecordingRow(second, 0, {}).Partner, L"same.p (2)");

  // The name of a command not yet sent is taken: a notification handled while it is being sent
  // (nested inside the send) gets the next one, at any depth.
  TestPlatform later({2013, 3, 7, 9, 5, 4});
  CallHandler nested(later);
  std::vector<std::string> sent;
  std::function<void(int)> handle = [&](int depth) {
    const std::optional<std::string> command = nested.CommandFor("CALL 1 PARTNER_HANDLE same.p", L"C:\\R");
    ASSERT_TRUE(command);
    if (depth < 3) handle(depth + 1);  // the client answers with another notification meanwhile
    sent.push_back(PathOf(command));
  };
  handle(0);
  EXPECT_EQ(sent, (std::vector<std::string>{"C:\\R\\07032013_090504_same.p (4).wav", "C:\\R\\07032013_090504_same.p (3).wav",
                                            "C:\\R\\07032013_090504_same.p (2).wav", "C:\\R\\07032013_090504_same.p.wav"}));
}

// A code page of one and two bytes a character: the ASCII range, and U+4E00..U+4EFF as two bytes.
class DoubleBytePlatform final : public Platform {
 public:
  std::wstring UpperCase(std::wstring_view text) const override { return base_.UpperCase(text); }
  std::wstring DecodeAnsi(std::string_view bytes) const override {
    std::wstring text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      const auto byte = static_cast<unsigned char>(bytes[i]);
      if (byte == 0x81 && i + 1 < bytes.size()) {
        text += static_cast<wchar_t>(0x4E00 + static_cast<unsigned char>(bytes[++i]));
      } else {
        text += byte < 0x80 ? static_cast<wchar_t>(byte) : L'?';
      }
    }
    return text;
  }
  std::string EncodeAnsi(std::wstring_view text) const override {
    std::string bytes;
    for (const wchar_t c : text) {
      if (c >= 0x4E00 && c <= 0x4EFF) {
        bytes += '\x81';
        bytes += static_cast<char>(c - 0x4E00);
      } else {
        bytes += c < 0x80 ? static_cast<char>(c) : '?';
      }
    }
    return bytes;
  }
  LocalTime Now() const override { return base_.Now(); }

 private:
  TestPlatform base_;
};

TEST(CallHandler, ShortensTheHandleToNamesAndPathsTheClientCanCreate) {
  const TestPlatform platform;
  const std::string long_handle = "CALL 1 PARTNER_HANDLE " + std::string(300, 'h');
  const std::wstring stamp = L"07032013_090503_";
  const struct {
    std::wstring folder;
    std::size_t handle_kept;
  } cases[] = {
      {L"D:", 235},                             // the name's 255 units bind
      {L"C:\\Records", 228},                     // the path's 259 bytes bind
      {L"C:\\" + std::wstring(235, L'f'), 0},    // room for an empty handle only
      {L"C:\\" + std::wstring(100, L'f'), 135},
  };
  for (const auto& c : cases) {
    CallHandler handler(platform);
    const std::string path = PathOf(handler.CommandFor(long_handle, c.folder));
    const std::wstring name = stamp + std::wstring(c.handle_kept, L'h');
    EXPECT_EQ(path, platform.EncodeAnsi(c.folder + L"\\" + name + L".wav")) << c.folder.size();
    // Numbered names are shortened further to stay within the same limits.
    const std::string second = PathOf(handler.CommandFor(long_handle, c.folder));
    if (c.handle_kept >= 4) {
      EXPECT_EQ(second, platform.EncodeAnsi(c.folder + L"\\" + name.substr(0, name.size() - 4) + L" (2).wav"));
    }
    EXPECT_LE(second.size(), kMaxClientPathLength);
  }
  // A folder that leaves no room for the fixed part of the name gets no command.
  EXPECT_EQ(CommandForNotification(long_handle, L"C:\\" + std::wstring(236, L'f'), platform), std::nullopt);
  EXPECT_EQ(CommandForNotification("CALL 1 PARTNER_HANDLE a", L"C:\\" + std::wstring(236, L'f'), platform),
            std::nullopt);

  // Two bytes a character in the code page: the path's bytes bind, never a character cut in two.
  const DoubleBytePlatform double_byte;
  const std::string handle_bytes = [] {
    std::string bytes;
    for (int i = 0; i < 200; ++i) bytes += "\x81\x01";
    return bytes;
  }();
  const auto command = CommandForNotification("CALL 1 PARTNER_HANDLE " + handle_bytes, L"C:\\Records", double_byte);
  const std::string path = PathOf(command);
  EXPECT_EQ(path, "C:\\Records\\07032013_090503_" + handle_bytes.substr(0, 228) + ".wav");
  EXPECT_EQ(double_byte.DecodeAnsi(path).size(), 11u + 16 + 114 + 4);
}

TEST(CallHandler, GivesNoCommandLongerThanTheClientTakes) {
  const TestPlatform platform;
  const std::size_t get_fixed = std::string("GET CALL  PARTNER_HANDLE").size();
  const std::string longest_id(kMaxCommandLength - get_fixed, '9');
  EXPECT_EQ(CommandForNotification("CALL " + longest_id + " STATUS INPROGRESS", L"C:\\R", platform)->size(),
            kMaxCommandLength);
  EXPECT_EQ(CommandForNotification("CALL 9" + longest_id + " STATUS INPROGRESS", L"C:\\R", platform), std::nullopt);
  const std::string alter_fixed = Recording("", "C:\\R\\07032013_090503_x.wav");
  const std::string longest_alter_id(kMaxCommandLength - alter_fixed.size(), '7');
  EXPECT_EQ(CommandForNotification("CALL " + longest_alter_id + " PARTNER_HANDLE x", L"C:\\R", platform)->size(),
            kMaxCommandLength);
  EXPECT_EQ(CommandForNotification("CALL 7" + longest_alter_id + " PARTNER_HANDLE x", L"C:\\R", platform),
            std::nullopt);
}

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

namespace callwright {
namespace {

TEST(CallHandler, DecidesOnceAndKeepsTheCallsInProgress) {
  const TestPlatform platform;
  CallHandler handler(platform);
  using Kind = CallDecision::Kind;
  struct Step {
    const char* notification;
    Kind kind;
    const char* command;  // the start of the command, or empty
    bool in_progress;     // call 5 afterwards
  } steps[] = {
      {"CALL 5 STATUS RINGING", Kind::Nothing, "", false},
      {"CALL 5 STATUS INPROGRESS", Kind::Request, "GET CALL 5 PARTNER_HANDLE", true},
      {"CALL 5 PARTNER_HANDLE dave", Kind::Recording, "ALTER CALL 5 SET_OUTPUT file=\"C:\\Records\\", true},
      {"call 5 status finished", Kind::CallEnded, "", false},
      // Late: its call is over, so no file is named for it.
      {"CALL 5 PARTNER_HANDLE dave", Kind::Nothing, "", false},
      {"CALL 5 STATUS MISSED", Kind::CallEnded, "", false},
      // The same id in progress again is a new call.
      {"CALL 5 STATUS INPROGRESS", Kind::Request, "GET CALL 5 PARTNER_HANDLE", true},
      {"CALL 5 PARTNER_HANDLE dave", Kind::Recording, "ALTER CALL 5 SET_OUTPUT file=\"C:\\Records\\", true},
      // A call never seen in progress still gets its command (the program may have started late).
      {"CALL 6 PARTNER_HANDLE erin", Kind::Recording, "ALTER CALL 6 SET_OUTPUT ", true},
      {"CALL 5 STATUS BUSY", Kind::CallEnded, "", false},
  };
  for (const Step& step : steps) {
    const CallDecision decision = handler.Decide(step.notification, L"C:\\Records");
    EXPECT_EQ(decision.kind, step.kind) << step.notification;
    EXPECT_EQ(decision.command.rfind(step.command, 0), 0u) << step.notification;
    EXPECT_EQ(decision.command.empty(), std::string_view(step.command).empty()) << step.notification;
    EXPECT_EQ(handler.InProgress(L"5"), step.in_progress) << step.notification;
    if (decision.kind == Kind::Recording) {
      EXPECT_EQ(decision.command, "ALTER CALL " + platform.EncodeAnsi(decision.call_id) + " SET_OUTPUT file=\"" +
                                      platform.EncodeAnsi(decision.path) + "\"");
      EXPECT_TRUE(decision.path.ends_with(L"_" + decision.partner + L".wav") ||
                  decision.path.ends_with(L"_" + decision.partner + L" (2).wav"))
          << step.notification;
    }
  }
}

TEST(CallHandler, AHandleThatCannotBeGivenACommandIsUnrecordableWithItsPartner) {
  const TestPlatform platform;
  CallHandler handler(platform);
  const std::string long_id(kMaxCommandLength, '7');
  const CallDecision too_long = handler.Decide("CALL " + long_id + " PARTNER_HANDLE zoe", L"C:\\Records");
  EXPECT_EQ(too_long.kind, CallDecision::Kind::Unrecordable);
  EXPECT_EQ(too_long.partner, L"zoe");
  EXPECT_TRUE(too_long.command.empty());
  // A folder that leaves no room for even an empty handle.
  const std::wstring deep(kMaxClientPathLength - 20, L'd');
  const CallDecision no_room = handler.Decide("CALL 8 PARTNER_HANDLE amy", L"C:\\" + deep);
  EXPECT_EQ(no_room.kind, CallDecision::Kind::Unrecordable);
  EXPECT_EQ(no_room.partner, L"amy");
  // The folder is asked for only when a recording command needs it.
  int asked = 0;
  const auto folder = [&] {
    ++asked;
    return std::wstring(L"C:\\Records");
  };
  EXPECT_EQ(handler.Decide("CALL 9 STATUS INPROGRESS", folder).kind, CallDecision::Kind::Request);
  EXPECT_EQ(handler.Decide("CALL 9 STATUS RINGING", folder).kind, CallDecision::Kind::Nothing);
  EXPECT_EQ(asked, 0);
  EXPECT_EQ(handler.Decide("CALL 9 PARTNER_HANDLE amy", folder).kind, CallDecision::Kind::Recording);
  EXPECT_EQ(asked, 1);
}

}  // namespace
}  // namespace callwright
