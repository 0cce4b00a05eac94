#pragma once
// A framed, captioned container: its child controls' notifications are passed back to them.
#include <windows.h>

#include <string_view>

#include "ui/toolkit/control.h"

namespace callwright {

class GroupBox : public Control {
 public:
  GroupBox(HWND parent, int left, int top, int width, int height, std::wstring_view caption);

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wparam, LPARAM lparam) override;
};

}  // namespace callwright
