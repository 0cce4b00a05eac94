#pragma once
// How recordings are kept after their call: as the client wrote them, or converted.
#include <string_view>

namespace callwright {

// Key "format" in config.ini's [SYSTEM] section.
enum class KeepFormat { Wav, Flac, Opus };

// "wav", "flac" or "opus" (any case); nothing else names a format.
bool ParseKeepFormat(std::wstring_view text, KeepFormat& format);
// The key's value: "wav", "flac" or "opus".
const wchar_t* KeepFormatName(KeepFormat format);
// ".wav", ".flac" or ".opus".
const wchar_t* KeepFormatExtension(KeepFormat format);

}  // namespace callwright
