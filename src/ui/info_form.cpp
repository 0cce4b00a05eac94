#include "ui/info_form.h"

#include "assets/resource_ids.h"
#include "core/settings_win.h"

namespace callwright {

TFrmInfo* FrmInfo = nullptr;

TFrmInfo::TFrmInfo()
    : Form({.class_name = L"TFrmInfo",
            .caption = L"Info",
            .client_width = 258,
            .client_height = 133,
            .style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU,
            .ex_style = WS_EX_DLGMODALFRAME,
            .escape_closes = true}),
      p(Handle(), Align::Bottom, 41),
      imgbottom(p.Handle(), 0, 0, 0, 0),
      c(p.Handle(), 10, 13, 225, 17, L"&Do not show this message next time."),
      Memo(Handle(), 4, 4, 250, 85,
           {.read_only = false, .word_wrap = true, .vertical_scroll_bar = false, .want_return = false}) {
  imgbottom.SetAlign(Align::Client);
  imgbottom.SetStretch(true);
  imgbottom.SetPicture(IDP_BOTTOM_STRIP);
  c.OnClick = [this] { cClick(); };
  Memo.SetLines({
      L"When closing this window, the application will ",
      L"keep running silently in the background and will ",
      L"still be able to capture Skype voice calls. To ",
      L"entirely close the program you will need to open ",
      L"it (again) and click on the \"close\" button in main ",
      L"window status bar.",
  });
  CreationDone();
}

void TFrmInfo::cClick() { WriteSetting(L"SYSTEM", L"info", c.Checked() ? L"1" : L"0"); }

}  // namespace callwright
