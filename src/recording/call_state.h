#pragma once
// What the notification-area icon shows: whether the client is linked and which calls are being
// recorded. Fed by the client link's events; keeps no window and no platform handle.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/platform.h"
#include "recording/notification.h"

namespace callwright {

enum class LinkDisplay { Waiting, Linked, Recording };

class CallState {
 public:
  // The tooltip's limit: the shell keeps 127 characters.
  static constexpr std::size_t kMaxTooltip = 127;

  explicit CallState(const Platform& platform) : platform_(platform) {}

  // The link now goes to this client (0: none). Losing the link, or a link to another client, ends
  // every recording; the same client again changes nothing.
  void LinkChanged(std::uintptr_t client);
  // The call handler's decision on a notification of the linked client, before its command is
  // sent: a recording command starts a recording, a call's end stops it.
  void Decided(const CallDecision& decision);
  // A warning added to the tooltip (e.g. the free space left); empty for none.
  void SetWarning(std::wstring warning) { warning_ = std::move(warning); }

  bool Linked() const noexcept { return client_ != 0; }
  std::uintptr_t Client() const noexcept { return client_; }
  LinkDisplay Display() const noexcept;
  // "Callwright – waiting for the client", "Callwright – linked to the client" or
  // "Callwright – recording <partner>[, <partner>...]", with "<warning> – " before the state
  // when there is one; at most kMaxTooltip characters.
  std::wstring Tooltip() const;

 private:
  struct Recording {
    std::wstring call_id;
    std::wstring partner;
  };

  const Platform& platform_;
  std::uintptr_t client_ = 0;
  std::vector<Recording> recordings_;  // in the order they started
  std::wstring warning_;

  void Started(const std::wstring& call_id, const std::wstring& partner);
  void Ended(const std::wstring& call_id);
};

}  // namespace callwright
