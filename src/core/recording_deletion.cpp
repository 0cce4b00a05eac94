#include "core/recording_deletion.h"

#include "base/decimal.h"

namespace callwright {

std::wstring RecordingCount(std::size_t count) {
  return DecimalText(count) + (count == 1 ? L" recording" : L" recordings");
}

std::wstring DeletionQuestion(std::size_t count, DeletionKind kind) {
  return kind == DeletionKind::Recycle ? L"Move " + RecordingCount(count) + L" to the Recycle Bin?"
                                       : L"Permanently delete " + RecordingCount(count) + L"?";
}

std::wstring NoRecycleBinQuestion(std::size_t count) {
  const bool one = count == 1;
  return RecordingCount(count) + L" cannot be moved to the Recycle Bin: " +
         (one ? L"its drive has none. Permanently delete it?" : L"their drive has none. Permanently delete them?");
}

}  // namespace callwright
