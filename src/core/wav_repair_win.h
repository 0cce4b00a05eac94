#pragma once
// Mends the header of a recording that a client left unfinished.
#include <string_view>

#include "core/file_worker.h"

namespace callwright {

// Sets the RIFF and "data" sizes of a damaged recording to the bytes present (an odd trailing
// byte dropped): the mended file is written beside it as "<name>.repairing" and replaces it with
// ReplaceFileW only when complete, so the recording is never the only copy at risk. Done when
// mended; Busy (untouched) while another process writes it; Failed for a file that is not a
// damaged WAV or could not be mended (the copy is removed).
FileOutcome RepairRecordingFile(std::wstring_view path);

}  // namespace callwright
