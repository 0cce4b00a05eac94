#include "ui/toolkit/popup_menu.h"

#include <string>

namespace callwright {

PopupMenu::PopupMenu() : menu_(::CreatePopupMenu()) {}

void PopupMenu::Add(UINT command, std::wstring_view text, bool enabled) {
  const std::wstring caption(text);
  ::AppendMenuW(menu_.Get(), MF_STRING | (enabled ? MF_ENABLED : MF_GRAYED), command, caption.c_str());
}

void PopupMenu::AddSeparator() { ::AppendMenuW(menu_.Get(), MF_SEPARATOR, 0, nullptr); }

void PopupMenu::SetDefault(UINT command) { ::SetMenuDefaultItem(menu_.Get(), command, FALSE); }

UINT PopupMenu::Track(HWND owner, POINT screen_at) const {
  if (!menu_) return 0;
  const UINT align = ::GetSystemMetrics(SM_MENUDROPALIGNMENT) ? TPM_RIGHTALIGN : TPM_LEFTALIGN;
  // TPM_RETURNCMD: the choice comes back here rather than as WM_COMMAND to the owner; 0 when the
  // menu was dismissed.
  return static_cast<UINT>(::TrackPopupMenuEx(menu_.Get(), align | TPM_TOPALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD,
                                              screen_at.x, screen_at.y, owner, nullptr));
}

}  // namespace callwright
