#pragma once
// config.ini beside the executable, read and written one key at a time.
#include <functional>
#include <string>
#include <string_view>

#include "core/keep_format.h"

namespace callwright {

// The running executable's full path, and its folder part ending in "\".
std::wstring ExecutablePath();
std::wstring ExecutableFolder();
// The executable's folder followed by "Records".
std::wstring DefaultFolder();
std::wstring ConfigFilePath();

// Values are read whole, however long. A file saved as UTF-8 or as big-endian UTF-16 is first made
// little-endian UTF-16 (with a byte-order mark), which the profile functions read as it is meant.
std::wstring ReadSetting(std::wstring_view section, std::wstring_view key, std::wstring_view default_value);
// Throws AppError "Unable to write to <path>" when the file cannot be written, and for texts that
// the file cannot hold as one entry (line breaks, NUL). A new file is made UTF-16, and so is an
// ANSI or UTF-8 file before a text outside the ANSI code page goes into it; every line is kept.
void WriteSetting(std::wstring_view section, std::wstring_view key, std::wstring_view value);

// Replaces `file` by `replacement` with `replace` (ReplaceFileW without a backup; tests stand in
// for it) and loses neither: true when the replacement now has the file's name. After a failure
// that left the file whole, the replacement is deleted.
using FileReplacer = std::function<bool(const std::wstring& file, const std::wstring& replacement)>;
bool SwapInReplacement(const std::wstring& file, const std::wstring& replacement, const FileReplacer& replace);

// The destination folder that key "path" gives: its text as stored, or the default folder when it is
// missing, empty or blank.
std::wstring ReadDestinationFolder();

// Key "format": how recordings are kept; missing or unknown values read as WAV (and stay in the file).
KeepFormat ReadKeepFormat();

// Key "info": only the exact text "1" counts as set.
inline bool IsInfoSet(std::wstring_view value) { return value == L"1"; }

}  // namespace callwright
