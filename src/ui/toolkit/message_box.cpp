#include "ui/toolkit/message_box.h"

namespace callwright {

MessageBoxFunction MessageBoxCall = &::MessageBoxW;

bool AskYesNo(HWND owner, const wchar_t* text, const wchar_t* caption) {
  return MessageBoxCall(owner, text, caption, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

}  // namespace callwright
