#pragma once
// Text boxes: a single-line Edit and a MultiLineEdit.
#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/toolkit/control.h"

namespace callwright {

class Edit : public Control {
 public:
  Edit(HWND parent, int left, int top, int width, int height, bool read_only = false);

  void SetReadOnly(bool read_only) { ::SendMessageW(Handle(), EM_SETREADONLY, read_only ? TRUE : FALSE, 0); }
  bool ReadOnly() const { return (::GetWindowLongPtrW(Handle(), GWL_STYLE) & ES_READONLY) != 0; }
  // The grey hint shown while the box is empty (EM_SETCUEBANNER), also while it has the focus.
  void SetCueText(const std::wstring& text);
  std::wstring CueText() const;
  // Selects the whole text and takes the focus.
  void FocusAll();

  // The text changed, by the user or from code (EN_CHANGE).
  std::function<void()> OnChange;
  // A key pressed in the box, before the box acts on it; true takes it (its character too). Enter
  // and Esc come here rather than to the form's default and cancel commands.
  std::function<bool(WORD key)> OnKeyDown;

  bool HandleReflectedMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) override;

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wparam, LPARAM lparam) override;

 private:
  std::wstring cue_;
  bool swallow_char_ = false;  // the key's character follows a key that OnKeyDown took
};

class MultiLineEdit : public Control {
 public:
  struct Options {
    bool read_only = false;
    bool word_wrap = true;
    bool vertical_scroll_bar = false;  // no scroll bars otherwise
    bool flat_border = false;          // a thin line instead of the sunken edge
    bool want_return = true;           // Enter breaks the line; otherwise it is the form's
  };
  MultiLineEdit(HWND parent, int left, int top, int width, int height, const Options& options);

  // The text as lines (separated by CR LF in the control).
  void SetLines(const std::vector<std::wstring>& lines);
  std::vector<std::wstring> Lines() const;
  bool ReadOnly() const { return (::GetWindowLongPtrW(Handle(), GWL_STYLE) & ES_READONLY) != 0; }
  void SetColour(COLORREF colour);
  // Enter is the edit's own (editable, and made to want it); otherwise the form's default command.
  bool EnterBreaksLine() const;

  bool HandleReflectedMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) override;

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wparam, LPARAM lparam) override;

 private:
  std::optional<COLORREF> colour_;
  BrushHandle brush_;
};

}  // namespace callwright
