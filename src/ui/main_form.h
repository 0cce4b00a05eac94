#pragma once
// The main window: the recordings of the destination folder with Open, Delete, Refresh and Browse,
// the Settings, About and Close commands, and the link to the client that every showing restarts.
// Closing it only hides it; the Close button ends the process, and so does the end of the session.
#include <windows.h>

#include "recording/client_link_win.h"
#include "ui/toolkit/form.h"
#include "ui/toolkit/image.h"
#include "ui/toolkit/list_view.h"
#include "ui/toolkit/panel.h"
#include "ui/toolkit/speed_button.h"
#include "ui/toolkit/timer.h"

namespace callwright {

class TFrmMain : public Form, public ClientLink {
 public:
  TFrmMain();
  ~TFrmMain() override;

  Image Image1;
  Panel p;
  Image imgbottom;
  WindowTimer TimerAttach;
  SpeedButton btnabout;
  SpeedButton btnsettings;
  ListView lst;
  ImageList Img16;
  SpeedButton btnopen;
  SpeedButton btndelete;
  SpeedButton btnrefresh;
  WindowTimer TimerSel;
  SpeedButton btnclose;
  SpeedButton btnfol;

  // The start-up show has been dealt with (shown, or its work done hidden at a "/hidden" start).
  bool loaded = false;

  // At a start with "/hidden" as the first argument the show sequence runs without showing.
  void StartUp() override;

  // Rebuilds `lst` from the destination folder.
  void RefreshList();

  void btnopenClick();
  void btndeleteClick();
  void btnrefreshClick();
  void btnfolClick();
  void btnsettingsClick();
  void btnaboutClick();
  void btncloseClick();
  void lstDblClick();
  void lstAdvancedCustomDrawItem(ListView& Sender, ListItemDraw& Item);
  void TimerSelTimer();
  void TimerAttachTimer();

 protected:
  void FormShow() override;
  void FormHide() override;
  void FormResize() override;
  void FormCloseQuery(bool& CanClose) override;
  void FormEndSession() override;

 private:
  void FormCreate();
  void FormDestroy();
};

// The main window, created first at start-up.
extern TFrmMain* FrmMain;

// The show request of a second start ("CALLWRIGHTAPP"), answered by the main window.
extern UINT ShowRequestMsg;
extern WNDPROC PrevMainWndProc;
LRESULT CALLBACK ShowRequestWndProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);

}  // namespace callwright
