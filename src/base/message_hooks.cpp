#include "base/message_hooks.h"

#include <iterator>
#include <utility>

namespace callwright {

int MessageHookChain::Add(MessageHook hook) {
  const int id = next_id_++;
  entries_.push_back({id, std::move(hook)});
  ++count_;
  return id;
}

void MessageHookChain::Remove(int id) noexcept {
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (it->id != id || it->removed) continue;
    --count_;
    if (depth_ == 0) {
      entries_.erase(it);
    } else {
      it->removed = true;
    }
    return;
  }
}

bool MessageHookChain::Dispatch(HookMessage& message) {
  message.result = 0;
  if (entries_.empty()) return false;
  // Hooks added from here on are appended after this one and wait for the next message.
  const auto last = std::prev(entries_.end());
  ++depth_;
  struct Leave {
    MessageHookChain& chain;
    ~Leave() { chain.EndDispatch(); }
  } leave{*this};
  for (auto it = entries_.begin();; ++it) {
    if (!it->removed && it->hook(message)) return true;
    if (it == last) return false;
  }
}

void MessageHookChain::EndDispatch() noexcept {
  if (--depth_ == 0) entries_.remove_if([](const Entry& entry) { return entry.removed; });
}

}  // namespace callwright
