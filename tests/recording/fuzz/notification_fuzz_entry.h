#pragma once
// Arbitrary notifications through one call event handler, each command checked against the rules
// the client and the file system need.
// Input: 1 byte choosing the destination folder, 1 byte of flags (1: each notification handled
// while the previous command is being sent, 2: the clock moves on a second at every reading), then
// texts separated by byte 0x1E. A text starting with "+" is not sent: the rest names a file that
// already exists in the folder.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/timestamp.h"
#include "recording/notification.h"

namespace callwright::fuzz {

// An ANSI code page of one and two bytes a character, like the East Asian ones: lead bytes
// 0x81..0x9F with a trail byte 0x40..0xFE are U+4E00 onwards, every other byte is Latin-1.
class FuzzPlatform final : public Platform {
 public:
  explicit FuzzPlatform(bool ticking) : ticking_(ticking) {}

  std::wstring UpperCase(std::wstring_view text) const override {
    std::wstring upper(text);
    for (wchar_t& c : upper) {
      if ((c >= L'a' && c <= L'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) c = static_cast<wchar_t>(c - 0x20);
    }
    return upper;
  }
  std::wstring DecodeAnsi(std::string_view bytes) const override {
    std::wstring text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      const auto lead = static_cast<unsigned char>(bytes[i]);
      if (IsLead(lead)) {
        const auto trail = i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[i + 1]) : 0;
        if (trail >= 0x40 && trail <= 0xFE) {
          text += static_cast<wchar_t>(kDoubleFirst + (lead - 0x81) * kTrails + (trail - 0x40));
          ++i;
        } else {
          text += L'?';
        }
      } else {
        text += static_cast<wchar_t>(lead);
      }
    }
    return text;
  }
  std::string EncodeAnsi(std::wstring_view text) const override {
    std::string bytes;
    for (const wchar_t c : text) {
      const auto code = static_cast<unsigned>(c);
      if (code <= 0xFF && !IsLead(code)) {
        bytes += static_cast<char>(c);
      } else if (code >= kDoubleFirst && code < kDoubleFirst + 31 * kTrails) {
        bytes += static_cast<char>(0x81 + (code - kDoubleFirst) / kTrails);
        bytes += static_cast<char>(0x40 + (code - kDoubleFirst) % kTrails);
      } else {
        bytes += '?';
      }
    }
    return bytes;
  }
  LocalTime Now() const override {
    last_ = now_;
    if (ticking_ && ++now_.second == 60) {
      now_.second = 0;
      ++now_.minute;
    }
    return last_;
  }
  const LocalTime& LastReading() const { return last_; }

 private:
  static constexpr unsigned kDoubleFirst = 0x4E00;
  static constexpr unsigned kTrails = 0xFE - 0x40 + 1;
  static bool IsLead(unsigned byte) { return byte >= 0x81 && byte <= 0x9F; }

  bool ticking_;
  mutable LocalTime now_{2013, 3, 7, 9, 5, 3};
  mutable LocalTime last_{};
};

inline bool Blank(wchar_t c) { return c <= L' '; }

inline bool AsciiSame(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto up = [](wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - 32) : c; };
    if (up(a[i]) != up(b[i])) return false;
  }
  return true;
}

inline bool BadInName(wchar_t c) { return c < 32 || std::wstring_view(L"<>:\"/\\|?*").find(c) != std::wstring_view::npos; }

// What a checked run has seen so far.
struct FuzzRun {
  const FuzzPlatform& platform;
  std::wstring folder;
  std::set<std::wstring> disk;   // upper-cased paths of files that exist
  std::set<std::wstring> given;  // upper-cased paths of recording commands given
  bool any_recording = false;
};

// The longest prefix of part whose name and path stay within the limits, or none. Both grow with
// the prefix, so a binary search finds it.
inline std::optional<std::wstring> Fit(const FuzzRun& run, const std::wstring& stamp, const std::wstring& part) {
  auto fits = [&](std::size_t keep) {
    const std::wstring name = stamp + L"_" + part.substr(0, keep) + L".wav";
    return name.size() <= kMaxFileNameLength &&
           run.platform.EncodeAnsi(run.folder + L"\\" + name).size() <= kMaxClientPathLength;
  };
  if (!fits(0)) return std::nullopt;
  std::size_t low = 0, high = std::min(part.size(), kMaxFileNameLength);  // fits(low) holds
  while (low < high) {
    const std::size_t middle = (low + high + 1) / 2;
    if (fits(middle)) {
      low = middle;
    } else {
      high = middle - 1;
    }
  }
  return part.substr(0, low);
}

// Checks the command given for one notification; empty when it holds.
inline std::string CheckCommand(FuzzRun& run, std::string_view notification, const std::optional<std::string>& command) {
  const FuzzPlatform& platform = run.platform;
  if (command) {
    if (command->size() > kMaxCommandLength) return "command longer than the client takes";
    for (const char c : *command) {
      if (static_cast<unsigned char>(c) < 32) return "command holds a control code (could read as two)";
    }
  }
  // The words, found independently of the handler.
  const std::wstring text = platform.DecodeAnsi(notification.substr(0, notification.find('\0')));
  std::vector<std::wstring> words;
  std::size_t i = 0;
  while (words.size() < 3) {
    while (i < text.size() && Blank(text[i])) ++i;
    const std::size_t from = i;
    while (i < text.size() && !Blank(text[i])) ++i;
    words.push_back(text.substr(from, i - from));
  }
  std::wstring value = text.substr(std::min(i, text.size()));
  while (!value.empty() && Blank(value.front())) value.erase(0, 1);
  while (!value.empty() && Blank(value.back())) value.pop_back();
  const bool notification_shape = AsciiSame(words[0], L"CALL") && !words[1].empty() && !words[2].empty();
  const bool in_progress = notification_shape && AsciiSame(words[2], L"STATUS") && AsciiSame(value, L"INPROGRESS");
  const bool partner = notification_shape && AsciiSame(words[2], L"PARTNER_HANDLE");

  if (in_progress) {
    const std::string request = platform.EncodeAnsi(L"GET CALL " + words[1] + L" PARTNER_HANDLE");
    if (request.size() <= kMaxCommandLength && command != request) return "wrong or missing partner handle request";
    if (request.size() > kMaxCommandLength && command) return "over-long request given";
    return {};
  }
  if (!partner) return command ? "command for a text that asks for none" : "";
  if (!command) return {};  // allowed: too long a call id, too long a folder, no free number

  // ALTER CALL <id> SET_OUTPUT file="<folder>\<name>"
  const std::string head = platform.EncodeAnsi(L"ALTER CALL " + words[1] + L" SET_OUTPUT file=\"" + run.folder + L"\\");
  if (!command->starts_with(head) || !command->ends_with("\"") || command->size() < head.size() + 1) {
    return "recording command of the wrong shape";
  }
  const std::string name_bytes = command->substr(head.size(), command->size() - head.size() - 1);
  const std::wstring name = platform.DecodeAnsi(name_bytes);
  if (platform.EncodeAnsi(name) != name_bytes) return "file name does not survive the code page";
  if (std::any_of(name.begin(), name.end(), BadInName)) return "file name holds a character names cannot hold";
  if (name.size() > kMaxFileNameLength) return "file name longer than 255 units";
  if (head.size() - head.rfind('"') - 1 + name_bytes.size() > kMaxClientPathLength) return "path longer than the client takes";
  const std::wstring stamp = FormatTimestamp(platform.LastReading());
  if (!name.starts_with(stamp + L"_") || !name.ends_with(L".wav")) return "file name not stamp_handle.wav";

  std::wstring part = platform.DecodeAnsi(platform.EncodeAnsi(value));
  std::replace_if(part.begin(), part.end(), BadInName, L'_');
  const std::wstring core = name.substr(stamp.size() + 1, name.size() - stamp.size() - 5);
  auto prefix_of_part = [&](std::wstring_view piece) { return std::wstring_view(part).starts_with(piece); };
  bool shaped = prefix_of_part(core);
  if (!shaped && core.ends_with(L")")) {
    const std::size_t open = core.rfind(L" (");
    const std::wstring number = open == std::wstring::npos ? L"" : core.substr(open + 2, core.size() - open - 3);
    shaped = !number.empty() && number.size() <= 5 && number[0] != L'0' && number != L"1" &&
             std::all_of(number.begin(), number.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; }) &&
             prefix_of_part(std::wstring_view(core).substr(0, open));
  }
  if (!shaped) return "file name is not the handle, shortened, with a number";
  if (!run.any_recording && run.disk.empty()) {
    const std::optional<std::wstring> fit = Fit(run, stamp, part);
    if (!fit || core != *fit) return "first file name not the longest handle that fits";
  }

  const std::wstring key = platform.UpperCase(run.folder + L"\\" + name);
  if (run.disk.contains(key)) return "file name of an existing file";
  if (!run.given.insert(key).second) return "file name given twice";
  run.any_recording = true;
  return {};
}

inline std::string CheckNotificationInput(const std::uint8_t* data, std::size_t size) {
  static const std::array<std::wstring, 8> kFolders = {
      L"C:\\Records", L"D:", L"", L"C:\\" + std::wstring(120, L'f'), L"C:\\" + std::wstring(234, L'f'),
      L"C:\\" + std::wstring(235, L'f'), L"C:\\" + std::wstring(236, L'f'),
      L"C:\\\u4E00\u4E01" + std::wstring(100, L'\u4E02')};
  const std::wstring& folder = kFolders[size > 0 ? data[0] % kFolders.size() : 0];
  const std::uint8_t flags = size > 1 ? data[1] : 0;
  const FuzzPlatform platform((flags & 2) != 0);
  FuzzRun run{platform, folder, {}, {}, false};

  std::vector<std::string> texts;
  std::string current;
  for (std::size_t i = 2; i < size; ++i) {
    if (data[i] == 0x1E) {
      texts.push_back(std::move(current));
      current.clear();
    } else {
      current += static_cast<char>(data[i]);
    }
  }
  if (size > 2) texts.push_back(std::move(current));

  CallHandler handler(platform, [&](const std::wstring& path) { return run.disk.contains(platform.UpperCase(path)); });
  std::vector<int> sent(texts.size(), 0);
  std::string problem;
  // Nested: the next text arrives while the command is being sent, as the client's reply does.
  std::function<std::size_t(std::size_t, int)> handle = [&](std::size_t at, int depth) -> std::size_t {
    const std::string& text = texts[at];
    if (!text.empty() && text[0] == '+') {
      run.disk.insert(platform.UpperCase(folder + L"\\" + platform.DecodeAnsi(std::string_view(text).substr(1))));
      return at + 1;
    }
    const std::optional<std::string> command = handler.CommandFor(text, folder);
    if (problem.empty()) problem = CheckCommand(run, text, command);
    std::size_t next = at + 1;
    if (command && (flags & 1) && depth < 64 && next < texts.size()) next = handle(next, depth + 1);
    if (command && ++sent[at] > 1 && problem.empty()) problem = "more than one command for a notification";
    return next;
  };
  for (std::size_t at = 0; at < texts.size() && problem.empty();) at = handle(at, 0);
  return problem;
}

}  // namespace callwright::fuzz
