#include "audio/file_system.h"

namespace callwright {
namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

void PutUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

void PutWide(std::wstring& out, char32_t c) {
  if constexpr (sizeof(wchar_t) == 2) {
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<wchar_t>(0xD800 + (c >> 10));
      out += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
      return;
    }
  }
  out += static_cast<wchar_t>(c);
}

constexpr char32_t kReplacement = 0xFFFD;

}  // namespace

std::wstring_view FileNameOf(std::wstring_view path) {
  for (std::size_t i = path.size(); i > 0; --i)
    if (IsSeparator(path[i - 1])) return path.substr(i);
  return path;
}

std::wstring WithExtension(std::wstring_view path, std::wstring_view extension) {
  const std::wstring_view name = FileNameOf(path);
  const std::size_t dot = name.rfind(L'.');
  const std::size_t keep = dot == std::wstring_view::npos ? path.size() : path.size() - name.size() + dot;
  std::wstring result(path.substr(0, keep));
  result += extension;
  return result;
}

std::wstring JoinPath(std::wstring_view folder, std::wstring_view name) {
  std::wstring path(folder);
  if (!path.empty() && !IsSeparator(path.back())) path += kPathSeparator;
  path += name;
  return path;
}

std::string ToUtf8(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = static_cast<char32_t>(text[i]);
    if constexpr (sizeof(wchar_t) == 2) c &= 0xFFFF;
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && (static_cast<char32_t>(text[i + 1]) & 0xFC00) == 0xDC00) {
      c = 0x10000 + ((c - 0xD800) << 10) + ((static_cast<char32_t>(text[i + 1]) & 0xFFFF) - 0xDC00);
      ++i;
    } else if ((c >= 0xD800 && c < 0xE000) || c > 0x10FFFF) {
      c = kReplacement;
    }
    PutUtf8(out, c);
  }
  return out;
}

std::wstring FromUtf8(std::string_view text) {
  std::wstring out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 && lead < 0xF5 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    char32_t c = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
    bool valid = length != 0 && i + length <= text.size();
    for (std::size_t k = 1; valid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      valid = (next & 0xC0) == 0x80;
      c = (c << 6) | (next & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are no characters.
    if (valid && ((length == 3 && c < 0x800) || (length == 4 && (c < 0x10000 || c > 0x10FFFF)) ||
                  (c >= 0xD800 && c < 0xE000)))
      valid = false;
    if (!valid) {
      PutWide(out, kReplacement);
      ++i;
      continue;
    }
    PutWide(out, c);
    i += length;
  }
  return out;
}

}  // namespace callwright
