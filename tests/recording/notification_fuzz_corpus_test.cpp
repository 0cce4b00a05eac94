// Replays the committed fuzz corpus of the call event handler through the fuzz entry (host build
// only).
#ifdef CALLWRIGHT_NOTIFICATION_FUZZ_CORPUS
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "recording/fuzz/notification_fuzz_entry.h"

namespace callwright {
namespace {

TEST(NotificationFuzzCorpus, EveryInputKeepsTheChecks) {
  std::size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(CALLWRIGHT_NOTIFICATION_FUZZ_CORPUS)) {
    std::ifstream file(entry.path(), std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    EXPECT_EQ(fuzz::CheckNotificationInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), "")
        << entry.path();
    ++count;
  }
  EXPECT_GE(count, 10u);
}

TEST(NotificationFuzzCorpus, ChecksNoticeWrongCommands) {
  // The checks themselves must catch what the handler could get wrong.
  const fuzz::FuzzPlatform platform(false);
  platform.Now();
  auto problem = [&](std::string_view notification, std::optional<std::string> command,
                     std::wstring folder = L"C:\\R") {
    fuzz::FuzzRun run{platform, std::move(folder), {}, {}, false};
    return fuzz::CheckCommand(run, notification, command);
  };
  const std::string partner = "CALL 1 PARTNER_HANDLE a";
  EXPECT_EQ(problem(partner, "ALTER CALL 1 SET_OUTPUT file=\"C:\\R\\07032013_090503_a.wav\""), "");
  EXPECT_EQ(problem("CALL 1 STATUS INPROGRESS", "GET CALL 1 PARTNER_HANDLE"), "");
  const std::pair<std::string, std::optional<std::string>> wrong[] = {
      {"CALL 1 STATUS INPROGRESS", std::nullopt},
      {"CALL 1 STATUS INPROGRESS", "GET CALL 2 PARTNER_HANDLE"},
      {"CALL 1 STATUS RINGING", "GET CALL 1 PARTNER_HANDLE"},
      {partner, "ALTER CALL 1 SET_OUTPUT file=\"C:\\R\\07032013_090503_a.wav\"\n"},
      {partner, "ALTER CALL 1 SET_OUTPUT file=\"C:\\R\\07032013_090503_a\\..\\b.wav\""},
      {partner, "ALTER CALL 1 SET_OUTPUT file=\"C:\\R\\07032013_090503_.wav\""},
      {partner, "ALTER CALL 1 SET_OUTPUT file=\"C:\\R\\07032013_090503_a (1).wav\""},
      {partner, "ALTER CALL 1 SET_OUTPUT file=\"C:\\R\\07032013_090504_a.wav\""},
      {partner, "ALTER CALL 1 SET_OUTPUT file=\"C:\\Q\\07032013_090503_a.wav\""},
      {partner, std::string(kMaxCommandLength + 1, 'A')},
      {"CALL 1 PARTNER_HANDLE " + std::string(300, 'h'),
       "ALTER CALL 1 SET_OUTPUT file=\"C:\\R\\07032013_090503_" + std::string(300, 'h') + ".wav\""},
  };
  for (const auto& [notification, command] : wrong) {
    EXPECT_NE(problem(notification, command), "") << command.value_or("<nothing>");
  }
  // A name given twice, or the name of a file that exists.
  fuzz::FuzzRun run{platform, L"C:\\R", {L"C:\\R\\07032013_090503_B.WAV"}, {}, false};
  const std::string first = "ALTER CALL 1 SET_OUTPUT file=\"C:\\R\\07032013_090503_a.wav\"";
  EXPECT_EQ(fuzz::CheckCommand(run, partner, first), "");
  EXPECT_NE(fuzz::CheckCommand(run, "CALL 2 PARTNER_HANDLE A", "ALTER CALL 2 SET_OUTPUT file=\"C:\\R\\07032013_090503_A.wav\""), "");
  EXPECT_NE(fuzz::CheckCommand(run, "CALL 3 PARTNER_HANDLE b", "ALTER CALL 3 SET_OUTPUT file=\"C:\\R\\07032013_090503_b.wav\""), "");
  EXPECT_EQ(fuzz::CheckCommand(run, "CALL 3 PARTNER_HANDLE b", "ALTER CALL 3 SET_OUTPUT file=\"C:\\R\\07032013_090503_b (2).wav\""), "");
}

}  // namespace
}  // namespace callwright
#endif
