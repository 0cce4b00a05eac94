#pragma once
// A top-level window of the program with show, hide, close-query and resize events. Forms are
// created once and only ever hidden: closing one asks FormCloseQuery and then hides it.
#include <windows.h>

#include <optional>

#include "ui/toolkit/dpi.h"
#include "ui/toolkit/window.h"

namespace callwright {

// Keyboard cues (access-key underlines, focus rectangles) are hidden until the keyboard is used in
// the form, as in the system's dialogs: Alt shows both, Tab and the arrow keys the focus.
void ShowKeyboardCuesFor(const MSG& msg);

class Form : public Window {
 public:
  struct FormParams {
    const wchar_t* class_name;
    const wchar_t* caption;
    int client_width;   // at 96 dpi, as every size here
    int client_height;
    DWORD style = WS_OVERLAPPEDWINDOW;
    DWORD ex_style = 0;
    bool main_form = false;         // owns the task-bar button; centred in the work area
    SIZE min_outer_size = {0, 0};  // minimum tracking size of the whole window
    HICON icon = nullptr;
    HICON small_icon = nullptr;  // with `icon`: its title-bar size, which the system makes otherwise
    bool escape_closes = false;  // Esc acts as the close box
  };

  explicit Form(const FormParams& params);
  ~Form() override;

  // Makes the window visible (FormShow runs when it was hidden), restores it when it is minimised
  // and brings it to the front. The first show centres it (main form: in the work area of its
  // monitor; others: over the main form, on the main form's monitor).
  void Show();
  // What the message loop does with the main form when it starts: show it.
  virtual void StartUp() { Show(); }
  void Hide();
  bool Visible() const { return ::IsWindowVisible(Handle()) != FALSE; }
  // Shows the form with the program's other windows disabled; returns once it is hidden again.
  void ShowModal();
  // As the title bar's close box: the close query decides, then the form hides.
  void Close() { ::SendMessageW(Handle(), WM_CLOSE, 0, 0); }
  // At 96 dpi, as the forms are designed (see Control).
  SIZE ClientSize() const;
  SIZE PixelClientSize() const;
  int Dpi() const override { return dpi_; }
  // A length at 96 dpi at this form's DPI.
  int Scale(int value) const { return ScaleToDpi(value, dpi_); }

  // Whole-window opacity (a layered window), 255 = opaque.
  void SetAlphaBlend(bool on);
  bool AlphaBlending() const;
  void SetAlphaBlendValue(BYTE alpha);
  BYTE AlphaBlendValue() const noexcept { return alpha_; }

  // The client area's colour, which the see-through controls on it show too; button face until set.
  void SetColour(COLORREF colour);
  COLORREF BackgroundColour() const override;

  // A key pressed in the form, offered before the focused control and the dialog keys see it;
  // true when the form took it (see FormShortcut).
  bool HandleShortcut(const MSG& msg) { return created_ && FormShortcut(msg); }

 protected:
  virtual void FormShow() {}
  virtual void FormHide() {}
  virtual void FormResize() {}
  // The DPI changed and every control took its font and bounds at the new one: the form renews what
  // it made for the old DPI (pictures, image lists). FormResize follows.
  virtual void FormDpiChanged() {}
  virtual void FormCloseQuery(bool& /*can_close*/) {}
  // Enter that the focused control leaves to the form (the dialog manager's IDOK): the form's
  // default command, as a dialog's default button.
  virtual void FormEnterKey() {}
  // A WM_KEYDOWN or WM_SYSKEYDOWN for any window of the form: true takes it (no character, no
  // dialog key follows).
  virtual bool FormShortcut(const MSG& /*msg*/) { return false; }
  // The session ends (WM_ENDSESSION after every program agreed): the process goes with it. The
  // query before it (WM_QUERYENDSESSION) is always agreed to at once.
  virtual void FormEndSession() {}

  // Derived forms call this at the end of their constructor; events are raised from then on,
  // and FormResize runs once for the first layout.
  void CreationDone();

  LRESULT HandleMessage(UINT msg, WPARAM wparam, LPARAM lparam) override;

 private:
  void CentreForFirstShow();
  // Takes `dpi`: the fonts and 96-dpi bounds of the form and of every control on it, then the layout.
  void ApplyDpi(int dpi);

  bool main_form_;
  bool escape_closes_;
  SIZE min_outer_size_;  // at 96 dpi
  int dpi_ = kDesignDpi;
  bool created_ = false;
  bool shown_before_ = false;
  BYTE alpha_ = 255;
  std::optional<COLORREF> colour_;
  HWND focus_ = nullptr;  // the control to focus when the form becomes active
};

}  // namespace callwright
