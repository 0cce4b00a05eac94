#pragma once
// The call event handler's text logic: one notification of the client in, at most one command
// out.
#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "core/platform.h"

namespace callwright {

// The longest command the client takes, without its terminating NUL.
inline constexpr std::size_t kMaxCommandLength = 8191;
// The longest file name the file systems take, in UTF-16 units.
inline constexpr std::size_t kMaxFileNameLength = 255;
// The longest path the client can create: it opens files through ANSI paths of at most MAX_PATH
// bytes with the NUL.
inline constexpr std::size_t kMaxClientPathLength = 259;

// Removes every occurrence of pattern: matches are found without regard to case in one
// left-to-right scan of an upper-cased copy, never overlapping; the remaining characters keep their
// case. An occurrence that forms only when the pieces around a match join up stays.
std::wstring RemoveText(std::wstring_view text, std::wstring_view pattern, const Platform& platform);
// True when the text contains the pattern without regard to case (removing it shortens the text).
bool ContainsText(std::wstring_view text, std::wstring_view pattern, const Platform& platform);
// Without leading and trailing characters of code 32 or below.
std::wstring_view TrimText(std::wstring_view text);

// The text carried by a copy-data record: its bytes up to the first NUL, and never more than size
// bytes when there is none. Empty for no data.
std::string_view CopyDataText(const void* data, std::size_t size);

// One notification of the client, read word by word: "CALL" (any case), the call id, the
// property, then the value. Words are separated by runs of blanks (codes 32 and below).
struct ClientNotification {
  std::wstring call_id;   // never empty, holds no blank
  std::wstring property;  // as sent; compare it with SameWord
  std::wstring value;     // the rest of the text, trimmed; may be empty or hold blanks
};
// None when the text is not of that shape: another first word, or no call id or property.
std::optional<ClientNotification> ReadNotification(std::wstring_view text, const Platform& platform);
// The notification bytes up to their first NUL, decoded from the ANSI code page, then read.
std::optional<ClientNotification> ReadNotification(std::string_view notification, const Platform& platform);
// True for a STATUS value that ends a call (FINISHED, CANCELLED, FAILED, REFUSED, MISSED, BUSY),
// in any case.
bool IsCallEndStatus(std::wstring_view value, const Platform& platform);
// True when the two words are equal without regard to case.
bool SameWord(std::wstring_view a, std::wstring_view b, const Platform& platform);

// The partner handle as it goes into a recording file name: characters that file names cannot hold
// (< > : " / \ | ? * and codes below 32) become "_". The handle is first passed through the ANSI
// code page, so that a character that the encoding would turn into one of those is caught too.
std::wstring FileNamePart(std::wstring_view handle, const Platform& platform);

// What one notification asks of the program, read once and handed to whoever shows it.
struct CallDecision {
  enum class Kind {
    Nothing,       // not a call's news, or news that needs no answer
    Request,       // a call went in progress: ask for its partner's handle
    Recording,     // the partner's handle came: tell the client where to write the call
    Unrecordable,  // the partner's handle came, but no recording command can be given
    CallEnded,     // a call ended
  };
  Kind kind = Kind::Nothing;
  std::wstring call_id;
  std::wstring partner;  // Recording, Unrecordable: the handle as the client sent it
  std::wstring path;     // Recording: where the client is told to write
  std::string command;   // Request, Recording: the bytes to send, in the ANSI code page
};

// Turns notifications into commands. It remembers every recording path it has handed out, so that
// two calls never share a file: a path that exists or went out before gets " (2)", " (3)", ...
// before ".wav". The path is taken before the command is returned, so a notification handled
// while that command is being sent (nested inside the send) gets another one. It also keeps the
// calls in progress: a partner handle that arrives after its call's end gets no command.
class CallHandler {
 public:
  // Whether something exists at this path (as the client will see it, after the ANSI round trip).
  using FileExists = std::function<bool(const std::wstring& path)>;

  explicit CallHandler(const Platform& platform, FileExists file_exists = {});

  // The command that answers one notification (bytes up to the first NUL), as bytes in the ANSI
  // code page, or none; folder is the destination folder. A recording command's file name keeps
  // within kMaxFileNameLength and its path within kMaxClientPathLength by shortening the handle;
  // when the folder leaves no room even for an empty handle, no command is given.
  std::optional<std::string> CommandFor(std::string_view notification, std::wstring_view folder);
  // The whole decision for one notification; CommandFor is its command.
  CallDecision Decide(std::string_view notification, std::wstring_view folder);
  // The same, asking for the folder only when a recording command needs it.
  CallDecision Decide(std::string_view notification, const std::function<std::wstring()>& folder);
  // The calls reported in progress whose end has not come yet.
  bool InProgress(std::wstring_view call_id) const { return in_progress_.contains(std::wstring(call_id)); }
  std::size_t CallsInProgress() const noexcept { return in_progress_.size(); }

 private:
  std::optional<std::pair<std::string, std::wstring>> RecordingCommand(const std::wstring& call_id,
                                                                       std::wstring_view handle,
                                                                       std::wstring_view folder);
  void CallEnded(const std::wstring& call_id);

  const Platform& platform_;
  FileExists file_exists_;
  // Upper-cased paths of the recording commands given in this run.
  std::unordered_set<std::wstring> taken_;
  // The last copy number given for each name before shortening and numbering: the next call with
  // that name starts looking after it.
  std::unordered_map<std::wstring, unsigned> last_copy_;
  std::unordered_set<std::wstring> in_progress_;
  // The latest ended calls, oldest first, kept so that a late partner handle is known as late.
  std::deque<std::wstring> ended_;
  std::unordered_set<std::wstring> ended_set_;
};

// The command for one notification from a fresh handler that sees no files.
std::optional<std::string> CommandForNotification(std::string_view notification, std::wstring_view folder,
                                                  const Platform& platform);

}  // namespace callwright
