#include "base/message_hooks.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace callwright {
namespace {

// A chain whose hooks log "<name><message>" when they run.
struct Chain {
  MessageHookChain chain;
  std::vector<std::string> log;
  std::map<std::string, int> ids;

  // `then` runs after the entry is logged; its answer is the hook's (not consumed without one).
  void Add(const std::string& name, std::function<bool(HookMessage&)> then = {}) {
    ids[name] = chain.Add([this, name, then](HookMessage& message) {
      log.push_back(name + std::to_string(message.msg));
      return then ? then(message) : false;
    });
  }
  bool Dispatch(std::uint32_t msg) {
    HookMessage message{msg, 0, 0, 99};
    return chain.Dispatch(message);
  }
};

TEST(MessageHookChain, RunsHooksByTheRulesWhileTheyChangeTheChain) {
  struct Case {
    const char* what;
    std::function<void(Chain&)> install;
    int messages;  // dispatched as 1, 2, ...
    std::vector<std::string> calls;
    std::vector<bool> consumed;  // per message
    std::size_t count;           // hooks left installed
  } cases[] = {
      {"installation order",
       [](Chain& c) {
         c.Add("a");
         c.Add("b");
         c.Add("c");
       },
       2, {"a1", "b1", "c1", "a2", "b2", "c2"}, {false, false}, 3},
      {"the first consumer ends the message",
       [](Chain& c) {
         c.Add("a");
         c.Add("b", [](HookMessage& m) { return m.msg == 1; });
         c.Add("c");
       },
       2, {"a1", "b1", "a2", "b2", "c2"}, {true, false}, 3},
      {"result starts at 0 for every message",
       [](Chain& c) {
         c.Add("a", [&c](HookMessage& m) {
           c.log.push_back("result " + std::to_string(m.result));
           m.result = 7;
           return false;
         });
         c.Add("b", [&c](HookMessage& m) {
           c.log.push_back("result " + std::to_string(m.result));
           return true;
         });
       },
       2, {"a1", "result 0", "b1", "result 7", "a2", "result 0", "b2", "result 7"}, {true, true}, 2},
      {"a hook removed by an earlier hook is skipped",
       [](Chain& c) {
         c.Add("a", [&c](HookMessage& m) {
           if (m.msg == 1) c.chain.Remove(c.ids.at("b"));
           return false;
         });
         c.Add("b");
         c.Add("c");
       },
       2, {"a1", "c1", "a2", "c2"}, {false, false}, 2},
      {"a hook that removes itself runs to its end and is skipped afterwards",
       [](Chain& c) {
         c.Add("a");
         // Longer than any short-string buffer: its storage is freed with the closure.
         const std::string kept(100, 'k');
         c.Add("b", [&c, kept](HookMessage&) {
           c.chain.Remove(c.ids.at("b"));
           c.log.push_back(kept.substr(0, 4));
           return false;
         });
         c.Add("c");
       },
       2, {"a1", "b1", "kkkk", "c1", "a2", "c2"}, {false, false}, 2},
      {"a hook removed in a nested dispatch is skipped by the outer one",
       [](Chain& c) {
         // a runs a modal loop on message 1, in which b removes c.
         c.Add("a", [&c](HookMessage& m) {
           if (m.msg == 1) c.Dispatch(100);
           return false;
         });
         c.Add("b", [&c](HookMessage& m) {
           if (m.msg == 100) c.chain.Remove(c.ids.at("c"));
           return false;
         });
         c.Add("c");
       },
       2, {"a1", "a100", "b100", "b1", "a2", "b2"}, {false, false}, 2},
      {"a hook added during a dispatch runs from the next message on",
       [](Chain& c) {
         c.Add("a", [&c](HookMessage& m) {
           if (m.msg == 1) c.Add("d");
           return false;
         });
         c.Add("b");
       },
       2, {"a1", "b1", "a2", "b2", "d2"}, {false, false}, 3},
      {"a removed id and an unknown one are ignored",
       [](Chain& c) {
         c.Add("a", [&c](HookMessage& m) {
           if (m.msg == 1) {
             c.chain.Remove(c.ids.at("b"));
             c.chain.Remove(c.ids.at("b"));
             c.chain.Remove(12345);
             c.chain.Remove(0);
           }
           return false;
         });
         c.Add("b");
         c.Add("c");
       },
       2, {"a1", "c1", "a2", "c2"}, {false, false}, 2},
      {"every hook removed, the last one by the first",
       [](Chain& c) {
         c.Add("a", [&c](HookMessage& m) {
           if (m.msg == 1) {
             c.chain.Remove(c.ids.at("c"));
             c.chain.Remove(c.ids.at("a"));
           }
           return false;
         });
         c.Add("b", [&c](HookMessage&) {
           c.chain.Remove(c.ids.at("b"));
           return false;
         });
         c.Add("c");
       },
       2, {"a1", "b1"}, {false, false}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Chain chain;
    c.install(chain);
    std::vector<bool> consumed;
    for (int i = 1; i <= c.messages; ++i) consumed.push_back(chain.Dispatch(static_cast<std::uint32_t>(i)));
    EXPECT_EQ(chain.log, c.calls);
    EXPECT_EQ(consumed, c.consumed);
    EXPECT_EQ(chain.chain.Count(), c.count);
  }
}

TEST(MessageHookChain, AnEmptyChainConsumesNothingAndAnswersZero) {
  MessageHookChain chain;
  HookMessage message{1, 2, 3, 99};
  EXPECT_FALSE(chain.Dispatch(message));
  EXPECT_EQ(message.result, 0);
  const int id = chain.Add([](HookMessage&) { return true; });
  EXPECT_NE(id, 0);
  EXPECT_EQ(chain.Count(), 1u);
  chain.Remove(id);
  EXPECT_EQ(chain.Count(), 0u);
  message.result = 99;
  EXPECT_FALSE(chain.Dispatch(message));
  EXPECT_EQ(message.result, 0);
}

TEST(MessageHookChain, AHookThatThrowsLeavesTheChainUsable) {
  MessageHookChain chain;
  int runs = 0;
  int removed_id = 0;
  chain.Add([&](HookMessage&) -> bool {
    chain.Remove(removed_id);
    throw std::runtime_error("hook failed");
  });
  removed_id = chain.Add([&](HookMessage&) {
    ++runs;
    return false;
  });
  HookMessage message{1, 0, 0, 0};
  EXPECT_THROW(chain.Dispatch(message), std::runtime_error);
  // The dispatch has ended: the hook it removed is gone for good, and a removal now takes effect
  // at once.
  EXPECT_EQ(chain.Count(), 1u);
  EXPECT_EQ(runs, 0);
  const int later = chain.Add([&](HookMessage&) {
    ++runs;
    return true;
  });
  chain.Remove(later);
  EXPECT_THROW(chain.Dispatch(message), std::runtime_error);
  EXPECT_EQ(runs, 0);
}

}  // namespace
}  // namespace callwright
