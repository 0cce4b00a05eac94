#pragma once
// A plain container without bevels: holds child controls, aligns them, passes their notifications
// back to them, and paints an optional colour of its own.
#include <windows.h>

#include <optional>

#include "ui/toolkit/control.h"

namespace callwright {

class Panel : public Control {
 public:
  Panel(HWND parent, int left, int top, int width, int height);
  // Aligned to the parent's top or bottom edge with the given height.
  Panel(HWND parent, Align align, int height);

  void SetColour(COLORREF colour);
  COLORREF BackgroundColour() const override;

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wparam, LPARAM lparam) override;

 private:
  std::optional<COLORREF> colour_;
};

}  // namespace callwright
