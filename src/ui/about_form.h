#pragma once
// The About window: the header picture rippling like water, the product description, links to the
// maker's pages and an OK button that fades the window out. Created once at start-up; its ripple
// timer runs only while the window is shown, so a hidden program costs no frames.
#include <windows.h>

#include "effects/water_effect.h"
#include "ui/toolkit/edit.h"
#include "ui/toolkit/form.h"
#include "base/handles.h"
#include "ui/toolkit/image.h"
#include "ui/toolkit/label.h"
#include "ui/toolkit/panel.h"
#include "ui/toolkit/speed_button.h"
#include "ui/toolkit/timer.h"

namespace callwright {

class TFrmAbout : public Form {
 public:
  TFrmAbout();

  Panel Panel1;
  Image img;
  MultiLineEdit memoabout;
  Label lsite;
  Panel pbottom;
  Image imgback;
  Image imgyoutube;
  Image Image1;
  Image Image2;
  Image Image3;
  Image Image4;
  SpeedButton SpeedButton2;
  WindowTimer Timer;
  WindowTimer blend;

  void TimerTimer();
  // One generation of the water drawn into img's bitmap, shown at once; no random drop.
  void RenderFrame();
  void imgMouseMove(int X, int Y);
  void SpeedButton2Click();
  void blendTimer();
  void imgyoutubeClick();
  void Image1Click();
  void Image2Click();
  void Image3Click();
  void Image4Click();
  void lsiteClick();

 protected:
  void FormShow() override;
  void FormHide() override;
  void FormResize() override;
  void FormDpiChanged() override;
  void FormEnterKey() override;

 private:
  void FormCreate();

  TWaterEffect Water;
  BitmapHandle Bmp;  // untouched header picture, the source of every frame
  // The rows of Bmp and of img's bitmap, found once per bitmap.
  Image24 FSourcePixels;
  HBITMAP FFrameBitmap = nullptr;
  Image24 FFramePixels;
};

// The one About window, created at start-up.
extern TFrmAbout* FrmAbout;

// Left edge that centres a control of `control_width` in `client_width` (halves truncated).
int CentredLeft(int client_width, int control_width);

// The rows of a 24-bit DIB section as the water effect reads them; empty for any other bitmap.
// Costs a probe drawing on the bitmap: find them once per bitmap.
Image24 Dib24Pixels(HBITMAP bitmap);
// `bitmap` itself when it is a 24-bit DIB section, otherwise a 24-bit bottom-up copy of it.
BitmapHandle ToDib24(BitmapHandle bitmap);

}  // namespace callwright
