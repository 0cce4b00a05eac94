#pragma once
// The call event handler's text logic: one notification of the client in, at most one command
// out. It keeps no state, so it may run nested inside the sending of an earlier command.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "core/platform.h"

namespace callwright {

// The longest command the client takes, without its terminating NUL.
inline constexpr std::size_t kMaxCommandLength = 8191;

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

// The partner handle as it goes into a recording file name: characters that file names cannot hold
// (< > : " / \ | ? * and codes below 32) become "_". The handle is first passed through the ANSI
// code page, so that a character that the encoding would turn into one of those is caught too.
std::wstring FileNamePart(std::wstring_view handle, const Platform& platform);

// The command that answers one notification, as bytes in the ANSI code page, or none. The
// notification is read up to its first NUL; folder is the destination folder.
std::optional<std::string> CommandForNotification(std::string_view notification, std::wstring_view folder,
                                                  const Platform& platform);

}  // namespace callwright
