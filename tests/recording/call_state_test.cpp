#include "recording/call_state.h"

#include <gtest/gtest.h>

#include <string>

#include "support/test_platform.h"

namespace callwright {
namespace {

using test::TestPlatform;

constexpr std::uintptr_t kClient = 0x1234;
constexpr std::uintptr_t kOtherClient = 0x5678;

class CallStateTest : public ::testing::Test {
 protected:
  void Link(std::uintptr_t client = kClient) { state_.LinkChanged(client); }
  // A notification of the linked client, as the link hands the call handler's decision on.
  void Apply(const std::string& notification) { state_.Decided(handler_.Decide(notification, L"C:\\Records")); }
  // A call in progress and its partner-handle reply, whose recording command goes out.
  void Record(const std::string& id, const std::string& partner) {
    Apply("CALL " + id + " STATUS INPROGRESS");
    Apply("CALL " + id + " PARTNER_HANDLE " + partner);
  }

  TestPlatform platform_;
  CallState state_{platform_};
  CallHandler handler_{platform_};
};

TEST(IsCallEndStatus, TheSixEndsInAnyCaseAndNothingElse) {
  const TestPlatform platform;
  for (const wchar_t* end : {L"FINISHED", L"finished", L"Cancelled", L"FAILED", L"refused", L"MiSsEd", L"BUSY"}) {
    EXPECT_TRUE(IsCallEndStatus(end, platform)) << std::wstring(end).size();
  }
  for (const wchar_t* other : {L"INPROGRESS", L"RINGING", L"ROUTING", L"ONHOLD", L"FINISHED2", L"FINISHED X",
                               L"BUS", L"", L"UNPLACED"}) {
    EXPECT_FALSE(IsCallEndStatus(other, platform)) << std::wstring(other).size();
  }
}

TEST_F(CallStateTest, WaitingLinkedRecordingAndBack) {
  EXPECT_EQ(state_.Display(), LinkDisplay::Waiting);
  EXPECT_EQ(state_.Tooltip(), L"Callwright \u2013 waiting for the client");
  Link();
  EXPECT_EQ(state_.Display(), LinkDisplay::Linked);
  EXPECT_EQ(state_.Tooltip(), L"Callwright \u2013 linked to the client");
  Apply("CALL 1234 STATUS INPROGRESS");
  EXPECT_EQ(state_.Display(), LinkDisplay::Linked) << "in progress, but not yet recorded";
  Record("1234", "anna.k");
  EXPECT_EQ(state_.Display(), LinkDisplay::Recording);
  EXPECT_EQ(state_.Tooltip(), L"Callwright \u2013 recording anna.k");
  Apply("CALL 1234 STATUS FINISHED");
  EXPECT_EQ(state_.Display(), LinkDisplay::Linked);
  EXPECT_EQ(state_.Tooltip(), L"Callwright \u2013 linked to the client");
}

TEST_F(CallStateTest, EachEndStatusEndsOnlyItsOwnCall) {
  struct Case {
    std::string notification;
    bool ends;
  } cases[] = {
      {"CALL 7 STATUS FINISHED", true},     {"call 7 status cancelled", true},
      {"CALL 7 STATUS Failed", true},       {"CALL 7 STATUS REFUSED\r\n", true},
      {"  CALL  7  STATUS  MISSED", true},  {"CALL 7 STATUS busy", true},
      {"CALL 8 STATUS FINISHED", false},    {"CALL 77 STATUS FINISHED", false},
      {"CALL 7 STATUS INPROGRESS", false},  {"CALL 7 STATUS ONHOLD", false},
      {"CALL 7 STATUS FINISHEDX", false},   {"CALL 7 STATUSFINISHED", false},
      {"CALL 7 DURATION FINISHED", false},  {"CALLS 7 STATUS FINISHED", false},
      {"CALL 7 STATUS FINISHED NOW", false}, {"", false},
  };
  for (const Case& c : cases) {
    CallState state(platform_);
    CallHandler handler(platform_);
    state.LinkChanged(kClient);
    for (const std::string& text : {std::string("CALL 7 STATUS INPROGRESS"), std::string("CALL 7 PARTNER_HANDLE anna.k"),
                                    c.notification}) {
      state.Decided(handler.Decide(text, L"C:\\Records"));
    }
    EXPECT_EQ(state.Display(), c.ends ? LinkDisplay::Linked : LinkDisplay::Recording) << c.notification;
  }
}

TEST_F(CallStateTest, SeveralCallsAreNamedInTheOrderTheyStarted) {
  Link();
  Record("1", "anna.k");
  Record("2", "live:jane");
  EXPECT_EQ(state_.Tooltip(), L"Callwright \u2013 recording anna.k, live:jane");
  Record("1", "anna.k2");  // reported in progress again: one recording, the latest handle
  EXPECT_EQ(state_.Tooltip(), L"Callwright \u2013 recording anna.k2, live:jane");
  Apply("CALL 1 STATUS MISSED");
  EXPECT_EQ(state_.Tooltip(), L"Callwright \u2013 recording live:jane");
  Record("3", "");
  EXPECT_EQ(state_.Tooltip(), L"Callwright \u2013 recording live:jane, a call");
}

TEST_F(CallStateTest, TheHandleIsShownAsTheClientSentIt) {
  Link();
  Record("3", "j\xF6rg  mccall");
  EXPECT_EQ(state_.Tooltip(), L"Callwright \u2013 recording j\u00F6rg  mccall");
}

TEST_F(CallStateTest, ALongTooltipIsCutWithAnEllipsis) {
  Link();
  Record("1", std::string(200, 'a'));
  const std::wstring tip = state_.Tooltip();
  ASSERT_EQ(tip.size(), CallState::kMaxTooltip);
  EXPECT_EQ(tip.back(), L'\u2026');
  EXPECT_EQ(tip.substr(0, 25), L"Callwright \u2013 recording aa");
}

TEST_F(CallStateTest, ControlCharactersInAHandleBecomeSpaces) {
  Link();
  Apply("CALL 1 STATUS INPROGRESS");
  Apply(std::string("CALL 1 PARTNER_HANDLE a\tb\x01" "c", 27));
  EXPECT_EQ(state_.Tooltip(), L"Callwright \u2013 recording a b c");
}

TEST_F(CallStateTest, TheSameClientAgainKeepsTheRecordings) {
  Link();
  Record("1", "anna.k");
  state_.LinkChanged(kClient);
  EXPECT_EQ(state_.Display(), LinkDisplay::Recording);
  EXPECT_EQ(state_.Tooltip(), L"Callwright \u2013 recording anna.k");
}

TEST_F(CallStateTest, TheLinkIsLostWhenTheClientWindowIsGone) {
  Link();
  Record("1", "anna.k");
  state_.LinkChanged(0);
  EXPECT_EQ(state_.Display(), LinkDisplay::Waiting);
  EXPECT_FALSE(state_.Linked());
  // Its calls do not come back with a new client.
  state_.LinkChanged(kOtherClient);
  EXPECT_EQ(state_.Display(), LinkDisplay::Linked);
}

TEST_F(CallStateTest, AnotherClientOrARefusalEndsTheRecordings) {
  Link();
  Record("1", "anna.k");
  state_.LinkChanged(kOtherClient);
  EXPECT_EQ(state_.Display(), LinkDisplay::Linked);
  EXPECT_EQ(state_.Client(), kOtherClient);
  Record("2", "anna.k");
  state_.LinkChanged(0);  // a refusal unlinks
  EXPECT_EQ(state_.Display(), LinkDisplay::Waiting) << "refused: no calls can be recorded";
}

}  // namespace
}  // namespace callwright

namespace callwright {
namespace {

TEST(CallStateDecisions, RecordingStartsWithItsCommandAndEndsWithItsCall) {
  const test::TestPlatform platform;
  CallState state(platform);
  state.LinkChanged(0x1234);
  CallHandler handler(platform);
  const auto apply = [&](const char* text) { state.Decided(handler.Decide(text, L"C:\\Records")); };
  apply("CALL 1 STATUS INPROGRESS");
  EXPECT_EQ(state.Display(), LinkDisplay::Linked);
  apply("CALL 1 STATUS FINISHED");
  apply("CALL 1 PARTNER_HANDLE dave");  // late: no command, no recording
  EXPECT_EQ(state.Display(), LinkDisplay::Linked);
  apply("CALL 2 STATUS INPROGRESS");
  apply("CALL 2 PARTNER_HANDLE erin");
  EXPECT_EQ(state.Tooltip(), L"Callwright \u2013 recording erin");
  state.SetWarning(L"only 420 MB free on D:");
  EXPECT_EQ(state.Tooltip(), L"Callwright \u2013 only 420 MB free on D: \u2013 recording erin");
  apply("CALL 2 STATUS REFUSED");
  EXPECT_EQ(state.Tooltip(), L"Callwright \u2013 only 420 MB free on D: \u2013 linked to the client");
}

TEST(CallStateDecisions, ThousandsOfCallsMakeATooltipOfTheLimitAndTheWarningStays) {
  const test::TestPlatform platform;
  CallState state(platform);
  state.LinkChanged(0x1234);
  state.SetWarning(L"only 12 MB free on E:");
  for (int call = 0; call < 3000; ++call) {
    CallDecision decision;
    decision.kind = CallDecision::Kind::Recording;
    decision.call_id = std::to_wstring(call);
    decision.partner = L"partner" + std::to_wstring(call);
    state.Decided(decision);
  }
  const std::wstring tip = state.Tooltip();
  EXPECT_EQ(tip.size(), CallState::kMaxTooltip);
  EXPECT_EQ(tip.rfind(L"Callwright \u2013 only 12 MB free on E: \u2013 recording partner0, partner1, ", 0), 0u);
  EXPECT_EQ(tip.back(), L'\u2026');
}

}  // namespace
}  // namespace callwright
