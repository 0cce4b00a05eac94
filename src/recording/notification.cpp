#include "recording/notification.h"

#include "core/timestamp.h"

namespace callwright {

namespace {

constexpr std::wstring_view kCall = L"CALL";
constexpr std::wstring_view kInProgress = L"INPROGRESS";
constexpr std::wstring_view kStatusInProgress = L"STATUS INPROGRESS";
constexpr std::wstring_view kPartnerHandle = L"PARTNER_HANDLE";

bool IsBlank(wchar_t c) { return c <= L' '; }

bool NotAllowedInFileName(wchar_t c) {
  switch (c) {
    case L'<': case L'>': case L':': case L'"': case L'/': case L'\\': case L'|': case L'?': case L'*':
      return true;
    default:
      return c < L' ';
  }
}

std::wstring Trimmed(std::wstring_view text) { return std::wstring(TrimText(text)); }

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

// The notification and its upper-cased copy, made once: every test looks at the same text, and
// so does the first removal.
class Notification {
 public:
  Notification(std::wstring text, const Platform& platform)
      : platform_(platform), text_(std::move(text)), upper_(platform.UpperCase(text_)) {}
  // The removal shortens the text exactly when the scan finds a first match.
  bool Contains(std::wstring_view pattern) const {
    const std::wstring upper_pattern = platform_.UpperCase(pattern);
    return !upper_pattern.empty() && upper_.size() == text_.size() &&
           upper_.find(upper_pattern) != std::wstring::npos;
  }
  std::wstring Remove(std::wstring_view pattern) const {
    return RemoveMatches(text_, upper_, platform_.UpperCase(pattern));
  }

 private:
  const Platform& platform_;
  std::wstring text_;
  std::wstring upper_;
};

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

std::optional<std::string> CommandForNotification(std::string_view notification, std::wstring_view folder,
                                                  const Platform& platform) {
  notification = notification.substr(0, notification.find('\0'));
  const Notification text(platform.DecodeAnsi(notification), platform);
  if (!text.Contains(kCall)) return std::nullopt;

  if (text.Contains(kInProgress)) {
    std::wstring call_id = Trimmed(text.Remove(kCall));
    call_id = Trimmed(RemoveText(call_id, kStatusInProgress, platform));
    return platform.EncodeAnsi(L"GET CALL " + call_id + L" PARTNER_HANDLE");
  }

  if (text.Contains(kPartnerHandle)) {
    std::wstring rest = Trimmed(text.Remove(kCall));
    rest = Trimmed(RemoveText(rest, kPartnerHandle, platform));
    const std::size_t space = rest.find(L' ');
    std::wstring call_id;
    std::wstring handle;
    if (space == std::wstring::npos) {
      handle = Trimmed(rest);
    } else {
      call_id = Trimmed(std::wstring_view(rest).substr(0, space));
      handle = Trimmed(std::wstring_view(rest).substr(space + 1));
    }
    std::wstring command = L"ALTER CALL " + call_id + L" SET_OUTPUT file=\"";
    command += folder;
    command += L'\\';
    command += MakeTimestamp(platform);
    command += L'_';
    command += FileNamePart(handle, platform);
    command += L".wav\"";
    return platform.EncodeAnsi(command);
  }
  return std::nullopt;
}

}  // namespace callwright
