#pragma once
// What Delete tells and asks, and what became of each file it was given (window-free part).
#include <cstddef>
#include <cstdint>
#include <string>

namespace callwright {

// Delete moves recordings to the Recycle Bin; Shift+Delete removes them for good.
enum class DeletionKind { Recycle, Permanent };

// "Move 3 recordings to the Recycle Bin?" / "Permanently delete 3 recordings?".
std::wstring DeletionQuestion(std::size_t count, DeletionKind kind);
// The one question for the files that could not go to the Recycle Bin.
std::wstring NoRecycleBinQuestion(std::size_t count);
// "1 recording", "3 recordings".
std::wstring RecordingCount(std::size_t count);

}  // namespace callwright
