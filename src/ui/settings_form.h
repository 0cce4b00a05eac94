#pragma once
// The settings window: the destination folder, picked with the shell's folder dialog, the
// autostart entry and how recordings are kept. Its folder box always shows the program-wide
// destination folder; a folder other than the stored one is stored each time the window hides and
// when the program ends, the autostart entry at each change of the check box, and a format picked
// when the window hides (or the program ends while it is open).
#include "ui/toolkit/check_box.h"
#include "ui/toolkit/combo_box.h"
#include "ui/toolkit/edit.h"
#include "ui/toolkit/form.h"
#include "ui/toolkit/group_box.h"
#include "ui/toolkit/image.h"
#include "ui/toolkit/label.h"
#include "ui/toolkit/panel.h"
#include "ui/toolkit/speed_button.h"

namespace callwright {

class TFrmSettings : public Form {
 public:
  TFrmSettings();
  ~TFrmSettings() override;

  Image imgtop;
  GroupBox GroupBox1;
  Edit edtpath;
  SpeedButton btnopen;
  Panel p;
  Image imgbottom;
  CheckBox startup;
  SpeedButton btnok;
  Label lblformat;
  ComboBox cmbformat;

  void startupClick();
  void btnokClick();
  void btnopenClick();
  // Stores the folder box's text as key "path", as every hide and the end of the program do, unless
  // it is the folder that "path" gives already: then "path" stays as it is (empty or relative).
  void StoreFolder();
  // Stores the format shown as key "format" unless that key gives it already: an unknown value,
  // shown as WAV, stays in the file until another format is picked.
  void StoreFormat();

 protected:
  void FormShow() override;
  void FormHide() override;
  void FormResize() override;
  void FormEnterKey() override;

 private:
  int end_handler_ = 0;
};

// The one settings window, created at start-up.
extern TFrmSettings* FrmSettings;

}  // namespace callwright
