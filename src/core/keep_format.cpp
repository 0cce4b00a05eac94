#include "core/keep_format.h"

#include <string>

namespace callwright {

bool ParseKeepFormat(std::wstring_view text, KeepFormat& format) {
  std::wstring lower(text);
  for (wchar_t& c : lower)
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  for (KeepFormat candidate : {KeepFormat::Wav, KeepFormat::Flac, KeepFormat::Opus}) {
    if (lower == KeepFormatName(candidate)) {
      format = candidate;
      return true;
    }
  }
  return false;
}

const wchar_t* KeepFormatName(KeepFormat format) {
  switch (format) {
    case KeepFormat::Flac: return L"flac";
    case KeepFormat::Opus: return L"opus";
    default: return L"wav";
  }
}

const wchar_t* KeepFormatExtension(KeepFormat format) {
  switch (format) {
    case KeepFormat::Flac: return L".flac";
    case KeepFormat::Opus: return L".opus";
    default: return L".wav";
  }
}

}  // namespace callwright
