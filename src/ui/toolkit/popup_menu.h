#pragma once
// A pop-up menu built item by item and shown where the user asked for it; the menu is destroyed
// with the object.
#include <windows.h>

#include <string_view>

#include "base/handles.h"

namespace callwright {

class PopupMenu {
 public:
  PopupMenu();
  PopupMenu(const PopupMenu&) = delete;
  PopupMenu& operator=(const PopupMenu&) = delete;

  // Commands are numbered from 1: 0 is what Track returns when no command was chosen.
  void Add(UINT command, std::wstring_view text, bool enabled = true);
  void AddSeparator();
  // Drawn in bold: what a double click or Enter on the same thing does.
  void SetDefault(UINT command);

  // Shows the menu at `screen_at` (its top-left corner, or its top-right where the system's menus
  // open right to left) for `owner`, and returns the chosen command, or 0. The menu's own modal
  // loop runs meanwhile.
  UINT Track(HWND owner, POINT screen_at) const;

  HMENU Handle() const noexcept { return menu_.Get(); }

 private:
  MenuHandle menu_;
};

}  // namespace callwright
