#include "ui/toolkit/combo_box.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>

namespace callwright {

ComboBox::ComboBox(HWND parent, int left, int top, int width, int height, const Label& label,
                   const std::vector<std::wstring>& items)
    : design_height_(height) {
  CreateControl({.class_name = WC_COMBOBOXW,
                 .style = CBS_DROPDOWNLIST | WS_TABSTOP | WS_VSCROLL,
                 .parent = parent,
                 .left = left,
                 .top = top,
                 .width = width,
                 .height = height});
  for (const std::wstring& item : items) ComboBox_AddString(Handle(), item.c_str());
  // The open list's height comes from this count, not from the window's height.
  ComboBox_SetMinVisible(Handle(), std::max<int>(static_cast<int>(items.size()), 1));
  SetAccessibleName(label.Text());
  FitHeight();
}

int ComboBox::Count() const { return ComboBox_GetCount(Handle()); }

std::wstring ComboBox::Item(int index) const {
  const int length = ComboBox_GetLBTextLen(Handle(), index);
  if (length < 0) return {};
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(static_cast<std::size_t>(std::max(ComboBox_GetLBText(Handle(), index, text.data()), 0)));
  return text;
}

int ComboBox::ItemIndex() const { return ComboBox_GetCurSel(Handle()); }

void ComboBox::SetItemIndex(int index) {
  ComboBox_SetCurSel(Handle(), index);
  index_ = ItemIndex();
}

void ComboBox::FitHeight() {
  // The closed box is its selection field and a frame that the system sizes: the field takes the
  // difference. Measured after each step, as systems differ in what the field's height counts
  // (Wine's answer is 2 more than it was given).
  int field = static_cast<int>(::SendMessageW(Handle(), CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
  for (int attempt = 0; attempt < 4 && field > 0; ++attempt) {
    const int difference = Scale(design_height_) - PixelHeight();
    if (difference == 0 || field + difference <= 0) return;
    field += difference;
    ::SendMessageW(Handle(), CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field);
  }
}

void ComboBox::DpiChanged() {
  // The new font sizes the field afresh.
  Control::DpiChanged();
  FitHeight();
}

bool ComboBox::HandleReflectedMessage(UINT msg, WPARAM wparam, LPARAM, LRESULT& result) {
  if (msg != WM_COMMAND) return false;
  if (HIWORD(wparam) == CBN_SELCHANGE) {
    const int now = ItemIndex();
    if (now != index_) {
      index_ = now;
      if (OnChange) OnChange();
    }
  }
  result = 0;
  return true;
}

}  // namespace callwright
