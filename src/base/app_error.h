#pragma once
// The program's error type: raised by the configuration and autostart writers and shown by the
// toolkit's top-level error report.
#include <stdexcept>
#include <string>

namespace callwright {

class AppError : public std::runtime_error {
 public:
  explicit AppError(std::wstring message)
      : std::runtime_error("callwright error"), message_(std::move(message)) {}
  const std::wstring& Message() const noexcept { return message_; }

 private:
  std::wstring message_;
};

// What the report says of a thrown object that is no std::exception: nothing more is known of it.
inline AppError UnknownError() { return AppError(L"An unexpected error stopped the last action"); }

// The text of the error report: a full stop is appended unless the text already ends in one or
// in a character of lower code.
inline std::wstring ErrorReportText(std::wstring text) {
  if (text.empty() || text.back() > L'.') text.push_back(L'.');
  return text;
}

}  // namespace callwright
