#pragma once
// The file list that Explorer puts on the clipboard and hands to drop targets (CF_HDROP): a
// DROPFILES header followed by the full paths in UTF-16, each ended by a NUL, and one more NUL.
// Window-free, so that the layout is checked on every platform.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace callwright {

// The header's size, and so the offset of the first path: pFiles, pt.x, pt.y, fNC, fWide, each
// four bytes.
inline constexpr std::size_t kDropFilesHeaderSize = 20;

// The whole block for these paths, fWide set and no drop point. A path that is empty or holds a
// NUL cannot be told apart from the list's end and is left out.
std::vector<std::byte> DropFilesBlock(const std::vector<std::wstring>& paths);

// The paths of a block as DropFilesBlock lays it out (or any holder of the wide form). A header
// that does not fit, an offset outside the block, the narrow form, or a list that runs off the end
// without its closing NUL give what could be read up to there, never more.
std::vector<std::wstring> DropFilesPaths(const std::vector<std::byte>& block);

}  // namespace callwright
