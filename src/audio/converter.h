#pragma once
// Turns a finished WAV recording into FLAC or Opus beside it, and removes the WAV only once its
// replacement is complete, on disk and checked against it: at every moment either the WAV or a
// verified replacement is in the folder.
#include <atomic>
#include <string>
#include <string_view>
#include <vector>

#include "audio/file_system.h"
#include "core/keep_format.h"

namespace callwright {

// Tags written into an Opus file, in UTF-8.
struct RecordingTags {
  std::string partner;
  std::string date;  // YYYY-MM-DDThh:mm:ss
};
// The partner and time a name DDMMYYYY_hhmmss_<partner>.<ext> states (empty when it does not).
RecordingTags TagsFromName(std::wstring_view name);

struct Conversion {
  bool converted = false;
  std::string reason;            // why not, when not
  std::wstring result;  // the replacement, when converted
};

// The name the replacement is written under until it is verified.
std::wstring TemporaryPath(const std::wstring& target);

// Converts `wav` into `format` (Flac or Opus) beside it: temporary file, flush, verify, rename,
// then delete the WAV. On failure the WAV stays and the temporary file is removed. `stop`, when
// set, ends the work before its next block (as a failure, so the WAV stays).
Conversion ConvertRecording(FileSystem& files, const std::wstring& wav, KeepFormat format,
                            const std::atomic<bool>* stop = nullptr);

// A conversion an earlier run began and did not finish.
struct UnfinishedConversion {
  std::wstring wav;
  KeepFormat format = KeepFormat::Wav;
  bool operator==(const UnfinishedConversion&) const = default;
};
// Removes the temporary files a stopped or crashed run left in `folder`, and names the WAVs whose
// conversion it did not finish: those it left a temporary file for, and those whose replacement
// is in place while the WAV is still there.
std::vector<UnfinishedConversion> CleanUpFolder(FileSystem& files, const std::wstring& folder);

}  // namespace callwright
