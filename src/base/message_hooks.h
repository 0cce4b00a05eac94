#pragma once
// A chain of hooks on one window's messages. Window-free, so that its rules are tested on the host:
// the window side converts its UINT, WPARAM, LPARAM and LRESULT to and from these fields.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>

namespace callwright {

// One message as the hooks see it; result starts at 0 and is the window's answer when a hook
// consumes the message.
struct HookMessage {
  std::uint32_t msg;
  std::uintptr_t wparam;
  std::intptr_t lparam;
  std::intptr_t result;
};
// Returns true when it consumed the message; a consumed message goes to no further hook.
using MessageHook = std::function<bool(HookMessage&)>;

// Hooks run in installation order. A hook may add and remove hooks while it runs, also from a
// nested dispatch (a modal loop inside a hook): a removed hook is never called again, not even by a
// dispatch that is still going, and one added during a dispatch first runs for the next message.
class MessageHookChain {
 public:
  MessageHookChain() = default;
  MessageHookChain(const MessageHookChain&) = delete;
  MessageHookChain& operator=(const MessageHookChain&) = delete;

  // Returns the id for Remove, never 0.
  int Add(MessageHook hook);
  // Unknown ids are ignored.
  void Remove(int id) noexcept;
  // True when a hook consumed the message.
  bool Dispatch(HookMessage& message);
  // The hooks that are installed and not removed.
  std::size_t Count() const noexcept { return count_; }

 private:
  struct Entry {
    int id;
    MessageHook hook;
    bool removed = false;
  };
  void EndDispatch() noexcept;

  // A list: entries keep their place while hooks are added, and removed ones are only erased once
  // no dispatch runs, because a hook that removes itself is still running.
  std::list<Entry> entries_;
  int next_id_ = 1;
  int depth_ = 0;
  std::size_t count_ = 0;
};

}  // namespace callwright
