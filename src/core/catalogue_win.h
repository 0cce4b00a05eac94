#pragma once
// The recordings of a folder, measured on disk.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/catalogue.h"
#include "core/file_worker.h"

namespace callwright {

// Full paths of the folder's *.wav entries, each followed by CR LF. `folder` ends in "\".
std::wstring ListWavFiles(std::wstring_view folder);
// The folder's recordings (names IsRecordingName takes) with the sizes and times the search
// reports, in search order.
// `folder` ends in "\". Fetches entries in large batches and skips the short names.
// `stop`, when given, is asked now and then and ends the search early when it says so. With
// EntryPath::Name the entries' paths are the names alone.
enum class EntryPath { Full, Name };
std::vector<WavEntry> ListWavEntries(std::wstring_view folder, const std::function<bool()>& stop = {},
                                     EntryPath entry_path = EntryPath::Full);
// One entry of a directory search as a recording, with the size and time the search reports, or
// none for a folder or a name IsRecordingName does not take. Its path is `prefix` and the name.
std::optional<WavEntry> RecordingEntry(const WIN32_FIND_DATAW& entry, std::wstring_view prefix = {});
// The file's length, or -1 when it cannot be opened for reading with read-only sharing.
std::int64_t GetRecordingSize(std::wstring_view path);
// The recordings list's measure: size (and length, from the WAV, FLAC or Opus stream) in one open that shares
// reading and deleting, so a file the client writes is Busy and a Delete never waits for it.
FileOutcome MeasureRecordingFile(std::wstring_view path);
// Deletes a recording; a link to a folder goes too, a real folder never. Done when it is gone now,
// Gone when it was gone before.
FileOutcome DeleteRecordingFile(std::wstring_view path);
// FormatFileSize with the user's separators.
std::wstring FormatFileSize(std::int64_t size);
NumberSeparators UserNumberSeparators();
RecordingRow MakeRecordingRow(std::wstring_view path);
// Rows of the folder (given without trailing separator), in directory order.
std::vector<RecordingRow> ListRecordings(std::wstring_view folder);

}  // namespace callwright
