#include "ui/toolkit/edit.h"

#include <commctrl.h>

#include <iterator>

#include "ui/toolkit/high_contrast.h"

namespace callwright {

Edit::Edit(HWND parent, int left, int top, int width, int height, bool read_only) {
  CreateControl({.class_name = WC_EDITW,
                 .style = ES_AUTOHSCROLL | WS_TABSTOP | (read_only ? ES_READONLY : 0u),
                 .ex_style = WS_EX_CLIENTEDGE,
                 .parent = parent,
                 .left = left,
                 .top = top,
                 .width = width,
                 .height = height});
}

void Edit::SetCueText(const std::wstring& text) {
  // The control keeps no copy of the text on every version: ours lives as long as the control.
  cue_ = text;
  ::SendMessageW(Handle(), EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(cue_.c_str()));
}

std::wstring Edit::CueText() const {
  wchar_t text[256] = {};
  return ::SendMessageW(Handle(), EM_GETCUEBANNER, reinterpret_cast<WPARAM>(text), std::size(text)) ? std::wstring(text)
                                                                                                     : std::wstring();
}

void Edit::FocusAll() {
  ::SetFocus(Handle());
  ::SendMessageW(Handle(), EM_SETSEL, 0, -1);
}

bool Edit::HandleReflectedMessage(UINT msg, WPARAM wparam, LPARAM, LRESULT& result) {
  if (msg != WM_COMMAND || HIWORD(wparam) != EN_CHANGE || !OnChange) return false;
  OnChange();
  result = 0;
  return true;
}

LRESULT Edit::HandleMessage(UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_GETDLGCODE: {
      LRESULT result = DefaultHandling(msg, wparam, lparam);
      // The dialog manager would turn Enter and Esc into the form's commands before the box saw them.
      const auto* key = reinterpret_cast<const MSG*>(lparam);
      if (OnKeyDown && key && key->message == WM_KEYDOWN && (key->wParam == VK_RETURN || key->wParam == VK_ESCAPE)) {
        result |= DLGC_WANTMESSAGE;
      }
      return result;
    }
    case WM_KEYDOWN:
      swallow_char_ = OnKeyDown && OnKeyDown(static_cast<WORD>(wparam));
      if (swallow_char_) return 0;
      break;
    case WM_CHAR:
      if (swallow_char_) {
        swallow_char_ = false;
        return 0;
      }
      break;
    default:
      break;
  }
  return DefaultHandling(msg, wparam, lparam);
}

MultiLineEdit::MultiLineEdit(HWND parent, int left, int top, int width, int height, const Options& options) {
  DWORD style = ES_MULTILINE | WS_TABSTOP;
  if (options.want_return) style |= ES_WANTRETURN;
  if (!options.word_wrap) style |= ES_AUTOHSCROLL | WS_HSCROLL;
  if (options.read_only) style |= ES_READONLY;
  if (options.vertical_scroll_bar) style |= WS_VSCROLL | ES_AUTOVSCROLL;
  if (options.flat_border) style |= WS_BORDER;
  CreateControl({.class_name = WC_EDITW,
                 .style = style,
                 .ex_style = options.flat_border ? 0u : static_cast<DWORD>(WS_EX_CLIENTEDGE),
                 .parent = parent,
                 .left = left,
                 .top = top,
                 .width = width,
                 .height = height});
}

void MultiLineEdit::SetLines(const std::vector<std::wstring>& lines) {
  std::wstring text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += L"\r\n";
    text += lines[i];
  }
  SetText(text);
}

std::vector<std::wstring> MultiLineEdit::Lines() const {
  const std::wstring text = Text();
  std::vector<std::wstring> lines;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find(L"\r\n", start);
    lines.push_back(text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start));
    if (end == std::wstring::npos) break;
    start = end + 2;
  }
  if (text.empty()) lines.clear();
  return lines;
}

void MultiLineEdit::SetColour(COLORREF colour) {
  colour_ = colour;
  brush_.Reset(::CreateSolidBrush(colour));
  ::InvalidateRect(Handle(), nullptr, TRUE);
}

LRESULT MultiLineEdit::HandleMessage(UINT msg, WPARAM wparam, LPARAM lparam) {
  LRESULT result = DefaultHandling(msg, wparam, lparam);
  // A multi-line edit asks the dialog manager for every key, Enter included, even when Enter has
  // nothing to do in it; such an Enter is left to the form. Ctrl+Enter stays the edit's line break.
  if (msg == WM_GETDLGCODE && lparam && !EnterBreaksLine()) {
    const auto* key = reinterpret_cast<const MSG*>(lparam);
    if (key->message == WM_KEYDOWN && key->wParam == VK_RETURN && !(::GetKeyState(VK_CONTROL) & 0x8000)) {
      result &= ~static_cast<LRESULT>(DLGC_WANTALLKEYS);
    }
  }
  return result;
}

bool MultiLineEdit::EnterBreaksLine() const {
  return (::GetWindowLongPtrW(Handle(), GWL_STYLE) & (ES_WANTRETURN | ES_READONLY)) == ES_WANTRETURN;
}

bool MultiLineEdit::HandleReflectedMessage(UINT msg, WPARAM wparam, LPARAM, LRESULT& result) {
  // A read-only edit asks with WM_CTLCOLORSTATIC, an editable one with WM_CTLCOLOREDIT.
  if ((msg != WM_CTLCOLOREDIT && msg != WM_CTLCOLORSTATIC) || !colour_) return false;
  HDC dc = reinterpret_cast<HDC>(wparam);
  const bool contrast = HighContrastOn();
  ::SetBkColor(dc, contrast ? ::GetSysColor(COLOR_WINDOW) : *colour_);
  ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
  result = reinterpret_cast<LRESULT>(contrast ? ::GetSysColorBrush(COLOR_WINDOW) : brush_.Get());
  return true;
}

}  // namespace callwright
