#pragma once
// Turning recording file names into the rows of the recordings list (window-free part).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace callwright {

struct RecordingRow {
  std::wstring When;
  std::wstring Partner;
  std::wstring Size;          // size text, or "BUSY"
  std::wstring FileLocation;  // full path

  bool operator==(const RecordingRow&) const = default;
};

struct NumberSeparators {
  std::wstring decimal = L".";
  std::wstring thousands = L",";
};

// Size text with two decimals (half up) and the unit " Bytes", " KB", " MB" or " GB". Sizes of
// 1024^4 and more keep " GB" with a longer integer part; a negative size is written with a
// leading "-" (it never comes from a file).
std::wstring FormatFileSize(std::int64_t size, const NumberSeparators& separators);
// A row from a full path and the file's size (negative: could not be read -> "BUSY").
RecordingRow MakeRecordingRow(std::wstring_view path, std::int64_t size, const NumberSeparators& separators);
// What a filtered list shows of all its rows: "12 of 3,480", with the thousands separator given.
std::wstring ShownOfTotal(std::uint64_t shown, std::uint64_t total, const NumberSeparators& separators);
// A length as "m:ss" under an hour, "h:mm:ss" from an hour on.
std::wstring FormatLength(std::uint64_t seconds);
// The cells that come from a recording's file name alone (no folder in front).
std::wstring WhenText(std::wstring_view name);
// WhenText written into `out`, for callers that make it for every row: no allocation.
constexpr std::size_t kWhenTextMax = 22;
std::wstring_view WhenTextIn(std::wstring_view name, wchar_t (&out)[kWhenTextMax]);
std::wstring PartnerText(std::wstring_view name);
// The recording's start from a name that begins "DDMMYYYY_hhmmss" as the number YYYYMMDDhhmmss,
// so that numbers order as times do; 0 for a name that does not begin so.
std::uint64_t RecordingTime(std::wstring_view name);
// Names ending in ".wav", any letter case: the client's recordings.
bool IsWavName(std::wstring_view name);
// The files the recordings list takes: the client's recordings and their conversions, names ending
// in ".wav", ".flac" or ".opus", any letter case.
bool IsRecordingName(std::wstring_view name);
enum class RecordingFormat { None, Wav, Flac, Opus };
RecordingFormat FormatOfName(std::wstring_view name);

// One entry of the directory search that lists the recordings.
struct WavEntry {
  std::wstring path;            // folder text + name
  std::int64_t size = 0;        // as the search reports it; the file's own measure may differ
  std::uint64_t write_time = 0;  // last write, in the platform's ticks
};

// Indices of `entries`, the most recently written first; equal times keep the search's order.
// Files the client still writes are the newest, so they are measured first.
std::vector<std::size_t> NewestFirst(const std::vector<WavEntry>& entries);

// Lines ending at CR, LF or CR LF; the final break adds no empty line.
std::vector<std::wstring> SplitLines(std::wstring_view text);

}  // namespace callwright
