#include "recording/call_state.h"

#include <algorithm>
#include <array>

#include "recording/notification.h"

namespace callwright {

namespace {

constexpr std::wstring_view kTooltipPrefix = L"Callwright \u2013 ";

}  // namespace

bool IsCallEndStatus(std::wstring_view value, const Platform& platform) {
  static constexpr std::array<std::wstring_view, 6> kEnds = {L"FINISHED", L"CANCELLED", L"FAILED",
                                                             L"REFUSED",  L"MISSED",    L"BUSY"};
  return std::any_of(kEnds.begin(), kEnds.end(), [&](std::wstring_view end) { return SameWord(value, end, platform); });
}

bool IsRecordingCommand(std::string_view command) { return command.starts_with("ALTER CALL "); }

void CallState::LinkChanged(std::uintptr_t client) {
  if (client == client_) return;
  // The calls of a client we no longer hear from never report their end to us.
  recordings_.clear();
  client_ = client;
}

void CallState::NotificationArrived(std::string_view text) {
  const std::optional<ClientNotification> read = ReadNotification(text, platform_);
  if (!read || !SameWord(read->property, L"STATUS", platform_) || !IsCallEndStatus(read->value, platform_)) return;
  std::erase_if(recordings_, [&](const Recording& r) { return r.call_id == read->call_id; });
}

void CallState::RecordingCommandSending(std::string_view notification) {
  const std::optional<ClientNotification> read = ReadNotification(notification, platform_);
  if (!read) return;
  // A call reported in progress again is asked about again: still one recording, the latest name.
  const auto same = std::find_if(recordings_.begin(), recordings_.end(),
                                 [&](const Recording& r) { return r.call_id == read->call_id; });
  if (same != recordings_.end()) {
    same->partner = read->value;
  } else {
    recordings_.push_back({read->call_id, read->value});
  }
}

LinkDisplay CallState::Display() const noexcept {
  if (!recordings_.empty()) return LinkDisplay::Recording;
  return Linked() ? LinkDisplay::Linked : LinkDisplay::Waiting;
}

std::wstring CallState::Tooltip() const {
  std::wstring tip(kTooltipPrefix);
  switch (Display()) {
    case LinkDisplay::Waiting:
      tip += L"waiting for the client";
      break;
    case LinkDisplay::Linked:
      tip += L"linked to the client";
      break;
    case LinkDisplay::Recording: {
      tip += L"recording";
      const wchar_t* separator = L" ";
      for (const Recording& r : recordings_) {
        tip += separator;
        tip += r.partner.empty() ? L"a call" : r.partner;
        separator = L", ";
      }
      break;
    }
  }
  // Control characters in a handle would break the line; the shell cuts a longer text itself, but
  // without a sign that it did.
  std::replace_if(tip.begin(), tip.end(), [](wchar_t c) { return c < L' '; }, L' ');
  if (tip.size() > kMaxTooltip) {
    tip.resize(kMaxTooltip - 1);
    if (tip.back() >= 0xD800 && tip.back() <= 0xDBFF) tip.pop_back();  // never half a character
    tip += L'\u2026';
  }
  return tip;
}

}  // namespace callwright
