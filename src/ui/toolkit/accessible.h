#pragma once
// What a screen reader is told about a control whose class cannot say it (a picture that is a
// link, a button that shows only a glyph, a list without a label): the system's own accessible
// object for the window, with the name and role given here.
#include <windows.h>

#include <string>

namespace callwright {

// Roles as MSAA numbers them (ROLE_SYSTEM_*), so that this header needs no oleacc.h.
enum class AccessibleRole : long {
  None = 0,
  Client = 0x0A,
  List = 0x21,
  Link = 0x1E,
  Text = 0x2A,
  PushButton = 0x2B,
  CheckButton = 0x2C,
  Graphic = 0x28,
  ComboBox = 0x2E,
};

// The answer to WM_GETOBJECT for OBJID_CLIENT: the standard object of `hwnd` with this name and role
// (an empty name or Role::None keeps the standard one). 0 for other objects or when the system
// cannot make one; the caller then leaves the message to the default handling.
LRESULT AnswerAccessibleObject(HWND hwnd, WPARAM wparam, LPARAM lparam, const std::wstring& name, AccessibleRole role);

// The caption as read (and drawn) without its access-key marks: "&&" stands for "&", a lone "&"
// marks the next letter.
std::wstring WithoutAccessKeyMarks(const std::wstring& caption);

}  // namespace callwright
