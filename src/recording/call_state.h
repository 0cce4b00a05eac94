#pragma once
// What the notification-area icon shows: whether the client is linked and which calls are being
// recorded. Fed by the client link's events; keeps no window and no platform handle.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/platform.h"

namespace callwright {

// One notification of the form CALL <id> <property> <value>: blank-separated words, "CALL" and the
// property in any case, the value the rest of the text trimmed.
struct CallProperty {
  std::wstring call_id;
  std::wstring property;  // as it came
  std::wstring value;
};
std::optional<CallProperty> ReadCallProperty(std::wstring_view text);

// True for a STATUS value that ends a call (FINISHED, CANCELLED, FAILED, REFUSED, MISSED, BUSY),
// in any case.
bool IsCallEndStatus(std::wstring_view value);
// True for the command that tells the client where to write a call's audio.
bool IsRecordingCommand(std::string_view command);

enum class LinkDisplay { Waiting, Linked, Recording };

class CallState {
 public:
  // The tooltip's limit: the shell keeps 127 characters.
  static constexpr std::size_t kMaxTooltip = 127;

  explicit CallState(const Platform& platform) : platform_(platform) {}

  // A discovery goes out. When the previous one was never answered, or the linked client's window
  // is gone, the link is lost and so is every recording.
  void DiscoveryStarted(bool client_window_exists);
  // An attach reply. A refusal, or another client than before, loses the link to the old one.
  void AttachReplied(std::uintptr_t client, bool refused);
  // The link is lost at once (the client's window went away).
  void LinkLost();
  // A notification of the linked client (bytes in the ANSI code page): a call's end stops its
  // recording.
  void NotificationArrived(std::string_view text);
  // The recording command for this partner-handle reply is being sent.
  void RecordingCommandSending(std::string_view notification);

  bool Linked() const noexcept { return linked_; }
  std::uintptr_t Client() const noexcept { return client_; }
  LinkDisplay Display() const noexcept;
  // "Callwright – waiting for the client", "Callwright – linked to the client" or
  // "Callwright – recording <partner>[, <partner>...]", at most kMaxTooltip characters.
  std::wstring Tooltip() const;

 private:
  struct Recording {
    std::wstring call_id;
    std::wstring partner;
  };

  const Platform& platform_;
  bool linked_ = false;
  bool awaiting_reply_ = false;
  std::uintptr_t client_ = 0;
  std::vector<Recording> recordings_;  // in the order they started
};

}  // namespace callwright
