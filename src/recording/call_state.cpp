#include "recording/call_state.h"

#include <algorithm>
#include <array>

#include "recording/notification.h"

namespace callwright {

namespace {

constexpr std::wstring_view kTooltipPrefix = L"Callwright \u2013 ";

}  // namespace

void CallState::LinkChanged(std::uintptr_t client) {
  if (client == client_) return;
  // The calls of a client we no longer hear from never report their end to us.
  recordings_.clear();
  client_ = client;
}

void CallState::Decided(const CallDecision& decision) {
  if (decision.kind == CallDecision::Kind::Recording) Started(decision.call_id, decision.partner);
  if (decision.kind == CallDecision::Kind::CallEnded) Ended(decision.call_id);
}

void CallState::Started(const std::wstring& call_id, const std::wstring& partner) {
  // A call reported in progress again is asked about again: still one recording, the latest name.
  const auto same = std::find_if(recordings_.begin(), recordings_.end(),
                                 [&](const Recording& r) { return r.call_id == call_id; });
  if (same != recordings_.end()) {
    same->partner = partner;
  } else {
    recordings_.push_back({call_id, partner});
  }
}

void CallState::Ended(const std::wstring& call_id) {
  std::erase_if(recordings_, [&](const Recording& r) { return r.call_id == call_id; });
}

LinkDisplay CallState::Display() const noexcept {
  if (!recordings_.empty()) return LinkDisplay::Recording;
  return Linked() ? LinkDisplay::Linked : LinkDisplay::Waiting;
}

std::wstring CallState::Tooltip() const {
  std::wstring tip(kTooltipPrefix);
  // First, so that a long list of partners never hides it.
  if (!warning_.empty()) tip += warning_ + L" \u2013 ";
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
      // Thousands of calls may be open: stop once the text is past what the shell shows.
      for (const Recording& r : recordings_) {
        if (tip.size() > kMaxTooltip) break;
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
