#include "recording/call_state.h"

#include <algorithm>
#include <array>

#include "recording/notification.h"

namespace callwright {

namespace {

constexpr std::wstring_view kTooltipPrefix = L"Callwright \u2013 ";

bool IsBlank(wchar_t c) { return c <= L' '; }

// Protocol words are ASCII: compared without regard to case and independently of the locale.
bool SameWord(std::wstring_view a, std::wstring_view b) {
  auto upper = [](wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c; };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](wchar_t x, wchar_t y) {
           return upper(x) == upper(y);
         });
}

// The next blank-separated word; `text` keeps what follows it.
std::wstring_view NextWord(std::wstring_view& text) {
  std::size_t from = 0;
  while (from < text.size() && IsBlank(text[from])) ++from;
  std::size_t to = from;
  while (to < text.size() && !IsBlank(text[to])) ++to;
  const std::wstring_view word = text.substr(from, to - from);
  text.remove_prefix(to);
  return word;
}

}  // namespace

std::optional<CallProperty> ReadCallProperty(std::wstring_view text) {
  if (!SameWord(NextWord(text), L"CALL")) return std::nullopt;
  CallProperty property;
  property.call_id = NextWord(text);
  property.property = NextWord(text);
  if (property.call_id.empty() || property.property.empty()) return std::nullopt;
  property.value = TrimText(text);
  return property;
}

bool IsCallEndStatus(std::wstring_view value) {
  static constexpr std::array<std::wstring_view, 6> kEnds = {L"FINISHED", L"CANCELLED", L"FAILED",
                                                             L"REFUSED",  L"MISSED",    L"BUSY"};
  return std::any_of(kEnds.begin(), kEnds.end(), [&](std::wstring_view end) { return SameWord(value, end); });
}

bool IsRecordingCommand(std::string_view command) { return command.starts_with("ALTER CALL "); }

void CallState::DiscoveryStarted(bool client_window_exists) {
  if (linked_ && (awaiting_reply_ || !client_window_exists)) LinkLost();
  awaiting_reply_ = true;
}

void CallState::AttachReplied(std::uintptr_t client, bool refused) {
  awaiting_reply_ = false;
  if (refused || (linked_ && client != client_)) LinkLost();
  if (refused) return;
  linked_ = true;
  client_ = client;
}

void CallState::LinkLost() {
  linked_ = false;
  client_ = 0;
  recordings_.clear();
}

void CallState::NotificationArrived(std::string_view text) {
  const std::optional<CallProperty> property = ReadCallProperty(platform_.DecodeAnsi(text));
  if (!property || !SameWord(property->property, L"STATUS") || !IsCallEndStatus(property->value)) return;
  std::erase_if(recordings_, [&](const Recording& r) { return r.call_id == property->call_id; });
}

void CallState::RecordingCommandSending(std::string_view notification) {
  const std::optional<CallProperty> property = ReadCallProperty(platform_.DecodeAnsi(notification));
  if (!property) return;
  // A call reported in progress again is asked about again: still one recording, the latest name.
  const auto same = std::find_if(recordings_.begin(), recordings_.end(),
                                 [&](const Recording& r) { return r.call_id == property->call_id; });
  if (same != recordings_.end()) {
    same->partner = property->value;
  } else {
    recordings_.push_back({property->call_id, property->value});
  }
}

LinkDisplay CallState::Display() const noexcept {
  if (!recordings_.empty()) return LinkDisplay::Recording;
  return linked_ ? LinkDisplay::Linked : LinkDisplay::Waiting;
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
