#pragma once
// A drop-down list of fixed texts (a CBS_DROPDOWNLIST combo box) with its label: screen readers
// read the label as the list's name, and the label's access key moves the focus to the list.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "ui/toolkit/control.h"
#include "ui/toolkit/label.h"

namespace callwright {

class ComboBox : public Control {
 public:
  // `label` is made right before the list, so that its access key leads here. `height` is the
  // closed box's; the open list shows every item.
  ComboBox(HWND parent, int left, int top, int width, int height, const Label& label,
           const std::vector<std::wstring>& items);

  int Count() const;
  std::wstring Item(int index) const;
  // -1 when none is selected.
  int ItemIndex() const;
  // Raises nothing: OnChange is for the user's picks.
  void SetItemIndex(int index);
  // The user picked another item (with the mouse or the keyboard); it is selected already.
  std::function<void()> OnChange;

  void DpiChanged() override;
  bool HandleReflectedMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) override;

 protected:
  AccessibleRole DefaultAccessibleRole() const override { return AccessibleRole::ComboBox; }

 private:
  // The closed box's height follows the design rather than the font.
  void FitHeight();

  int design_height_;  // at 96 dpi
  int index_ = -1;     // as last seen, so that a pick of the same item raises nothing
};

}  // namespace callwright
