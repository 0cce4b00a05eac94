#include "recording/notification.h"

#include <algorithm>
#include <vector>

#include "base/decimal.h"
#include "core/keep_format.h"
#include "core/timestamp.h"

namespace callwright {

namespace {

constexpr std::wstring_view kCall = L"CALL";
constexpr std::wstring_view kStatus = L"STATUS";
constexpr std::wstring_view kInProgress = L"INPROGRESS";
constexpr std::wstring_view kPartnerHandle = L"PARTNER_HANDLE";
constexpr std::wstring_view kExtension = L".wav";
// Beyond this many copies of one name in one second something else is wrong: no command.
constexpr unsigned kMaxCopies = 10000;
// Ended calls remembered for late partner handles; older ones are long answered.
constexpr std::size_t kRememberedEnds = 1024;

bool IsBlank(wchar_t c) { return c <= L' '; }
bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c < 0xDC00; }
bool IsLowSurrogate(wchar_t c) { return c >= 0xDC00 && c < 0xE000; }

bool NotAllowedInFileName(wchar_t c) {
  switch (c) {
    case L'<': case L'>': case L':': case L'"': case L'/': case L'\\': case L'|': case L'?': case L'*':
      return true;
    default:
      return c < L' ';
  }
}

// The removal proper, on a text and its upper-cased copy.
std::wstring RemoveMatches(std::wstring_view text, std::wstring_view upper_text, std::wstring_view upper_pattern) {
  // Positions in the upper-cased copy are positions in the text only while both have one length.
  if (upper_pattern.empty() || upper_text.size() != text.size()) return std::wstring(text);
  std::wstring rest;
  rest.reserve(text.size());
  std::size_t from = 0;
  for (;;) {
    const std::size_t hit = upper_text.find(upper_pattern, from);
    if (hit == std::wstring_view::npos) break;
    rest.append(text.substr(from, hit - from));
    from = hit + upper_pattern.size();
  }
  rest.append(text.substr(from));
  return rest;
}

// The next blank-separated word of rest, taken off its front; empty when none is left.
std::wstring_view NextWord(std::wstring_view& rest) {
  std::size_t from = 0;
  while (from < rest.size() && IsBlank(rest[from])) ++from;
  std::size_t to = from;
  while (to < rest.size() && !IsBlank(rest[to])) ++to;
  const std::wstring_view word = rest.substr(from, to - from);
  rest.remove_prefix(to);
  return word;
}

std::optional<std::string> WithinCommandLength(std::string command) {
  if (command.size() > kMaxCommandLength) return std::nullopt;
  return command;
}

}  // namespace

std::wstring RemoveText(std::wstring_view text, std::wstring_view pattern, const Platform& platform) {
  return RemoveMatches(text, platform.UpperCase(text), platform.UpperCase(pattern));
}

bool ContainsText(std::wstring_view text, std::wstring_view pattern, const Platform& platform) {
  return RemoveText(text, pattern, platform).size() != text.size();
}

std::wstring_view TrimText(std::wstring_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::string_view CopyDataText(const void* data, std::size_t size) {
  if (data == nullptr || size == 0) return {};
  const char* bytes = static_cast<const char*>(data);
  std::size_t length = 0;
  while (length < size && bytes[length] != '\0') ++length;
  return {bytes, length};
}

std::wstring FileNamePart(std::wstring_view handle, const Platform& platform) {
  // Best-fit encoding may turn, say, a full-width solidus into "\", and a character the code page
  // lacks into "?": judge the characters the client will actually see.
  std::wstring part = platform.DecodeAnsi(platform.EncodeAnsi(handle));
  for (wchar_t& c : part) {
    if (NotAllowedInFileName(c)) c = L'_';
  }
  return part;
}

std::optional<ClientNotification> ReadNotification(std::wstring_view text, const Platform& platform) {
  std::wstring_view rest = text;
  if (!SameWord(NextWord(rest), kCall, platform)) return std::nullopt;
  ClientNotification notification;
  notification.call_id = NextWord(rest);
  notification.property = NextWord(rest);
  if (notification.call_id.empty() || notification.property.empty()) return std::nullopt;
  notification.value = TrimText(rest);
  return notification;
}

std::optional<ClientNotification> ReadNotification(std::string_view notification, const Platform& platform) {
  notification = notification.substr(0, notification.find('\0'));
  return ReadNotification(std::wstring_view(platform.DecodeAnsi(notification)), platform);
}

bool IsCallEndStatus(std::wstring_view value, const Platform& platform) {
  static constexpr std::wstring_view kEnds[] = {L"FINISHED", L"CANCELLED", L"FAILED", L"REFUSED", L"MISSED", L"BUSY"};
  return std::any_of(std::begin(kEnds), std::end(kEnds), [&](std::wstring_view end) { return SameWord(value, end, platform); });
}

bool SameWord(std::wstring_view a, std::wstring_view b, const Platform& platform) {
  return a.size() == b.size() && platform.UpperCase(a) == platform.UpperCase(b);
}

CallHandler::CallHandler(const Platform& platform, FileExists file_exists)
    : platform_(platform), file_exists_(std::move(file_exists)) {}

std::optional<std::string> CallHandler::CommandFor(std::string_view notification, std::wstring_view folder) {
  CallDecision decision = Decide(notification, folder);
  if (decision.command.empty()) return std::nullopt;
  return std::move(decision.command);
}

CallDecision CallHandler::Decide(std::string_view notification, std::wstring_view folder) {
  return Decide(notification, [folder] { return std::wstring(folder); });
}

CallDecision CallHandler::Decide(std::string_view notification, const std::function<std::wstring()>& folder) {
  CallDecision decision;
  const std::optional<ClientNotification> read = ReadNotification(notification, platform_);
  if (!read) return decision;
  decision.call_id = read->call_id;
  if (SameWord(read->property, kStatus, platform_)) {
    if (SameWord(read->value, kInProgress, platform_)) {
      std::optional<std::string> request =
          WithinCommandLength(platform_.EncodeAnsi(L"GET CALL " + read->call_id + L" PARTNER_HANDLE"));
      in_progress_.insert(read->call_id);
      if (ended_set_.erase(read->call_id) != 0) std::erase(ended_, read->call_id);
      if (request) {
        decision.kind = CallDecision::Kind::Request;
        decision.command = std::move(*request);
      }
    } else if (IsCallEndStatus(read->value, platform_)) {
      CallEnded(read->call_id);
      decision.kind = CallDecision::Kind::CallEnded;
    }
    return decision;
  }
  if (SameWord(read->property, kPartnerHandle, platform_)) {
    // Its call is over: a command now would name a file that the client never writes.
    if (ended_set_.contains(read->call_id)) return decision;
    decision.partner = read->value;
    if (auto recording = RecordingCommand(read->call_id, read->value, folder())) {
      decision.kind = CallDecision::Kind::Recording;
      decision.command = std::move(recording->first);
      decision.path = std::move(recording->second);
    } else {
      decision.kind = CallDecision::Kind::Unrecordable;
    }
  }
  return decision;
}

void CallHandler::CallEnded(const std::wstring& call_id) {
  in_progress_.erase(call_id);
  if (!ended_set_.insert(call_id).second) return;
  ended_.push_back(call_id);
  if (ended_.size() > kRememberedEnds) {
    ended_set_.erase(ended_.front());
    ended_.pop_front();
  }
}

std::optional<std::pair<std::string, std::wstring>> CallHandler::RecordingCommand(const std::wstring& call_id,
                                                                                  std::wstring_view handle,
                                                                                  std::wstring_view folder) {
  const std::wstring stamp = MakeTimestamp(platform_) + L'_';
  const std::wstring part = FileNamePart(handle, platform_);
  const std::size_t folder_bytes = platform_.EncodeAnsi(folder).size() + 1;  // with its backslash

  // The bytes each leading piece of the handle part takes in the ANSI code page, where a character
  // may take two bytes; no more than a name can hold is measured.
  std::vector<std::size_t> bytes_before{0};
  for (std::size_t at = 0; at < part.size() && at < kMaxFileNameLength;) {
    const bool pair = at + 1 < part.size() && IsHighSurrogate(part[at]) && IsLowSurrogate(part[at + 1]);
    const std::size_t units = pair ? 2 : 1;
    const std::size_t bytes = platform_.EncodeAnsi(std::wstring_view(part).substr(at, units)).size();
    for (std::size_t i = 0; i < units; ++i) bytes_before.push_back(bytes_before.back() + (i + 1 == units ? bytes : 0));
    at += units;
  }
  // The handle part that leaves stamp, suffix and extension room in the name and in the path.
  auto fitted = [&](const std::wstring& suffix) -> std::optional<std::wstring_view> {
    const std::size_t fixed_units = stamp.size() + suffix.size() + kExtension.size();
    const std::size_t fixed_bytes = folder_bytes + platform_.EncodeAnsi(stamp + suffix).size() + kExtension.size();
    if (fixed_units > kMaxFileNameLength || fixed_bytes > kMaxClientPathLength) return std::nullopt;
    std::size_t keep = std::min(bytes_before.size() - 1, kMaxFileNameLength - fixed_units);
    // Never half a surrogate pair: its first unit alone takes no bytes above.
    while (keep > 0 && (bytes_before[keep] > kMaxClientPathLength - fixed_bytes ||
                        (keep < part.size() && IsLowSurrogate(part[keep]) && IsHighSurrogate(part[keep - 1])))) {
      --keep;
    }
    return std::wstring_view(part).substr(0, keep);
  };

  // A recording kept as FLAC or Opus has left its WAV name: a new WAV there would be converted over it.
  const auto exists = [&](const std::wstring& wav) {
    if (!file_exists_) return false;
    const std::wstring_view stem = std::wstring_view(wav).substr(0, wav.size() - kExtension.size());
    for (const KeepFormat format : {KeepFormat::Flac, KeepFormat::Opus}) {
      if (file_exists_(std::wstring(stem) + KeepFormatExtension(format))) return true;
    }
    return file_exists_(wav);
  };
  unsigned& last_copy = last_copy_[platform_.UpperCase(std::wstring(folder) + L'\\' + stamp + part)];
  for (unsigned tries = 0; tries < kMaxCopies; ++tries) {
    const unsigned copy = ++last_copy;
    const std::wstring suffix = copy == 1 ? std::wstring() : L" (" + DecimalText(copy) + L")";
    const std::optional<std::wstring_view> kept = fitted(suffix);
    if (!kept) return std::nullopt;  // the folder alone leaves no room for a name
    std::wstring path(folder);
    path += L'\\';
    path += stamp;
    path += *kept;
    path += suffix;
    path += kExtension;
    const std::wstring client_path = platform_.DecodeAnsi(platform_.EncodeAnsi(path));
    std::wstring key = platform_.UpperCase(client_path);
    if (taken_.contains(key) || exists(client_path)) continue;
    std::optional<std::string> command =
        WithinCommandLength(platform_.EncodeAnsi(L"ALTER CALL " + call_id + L" SET_OUTPUT file=\"" + path + L"\""));
    if (!command) return std::nullopt;
    taken_.insert(std::move(key));
    return std::pair{std::move(*command), std::move(path)};
  }
  return std::nullopt;
}

std::optional<std::string> CommandForNotification(std::string_view notification, std::wstring_view folder,
                                                  const Platform& platform) {
  return CallHandler(platform).CommandFor(notification, folder);
}

}  // namespace callwright
