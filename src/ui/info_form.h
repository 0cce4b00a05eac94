#pragma once
// The notice that closing the main window leaves the program recording in the background. Its
// check box `c` is the program-wide notice switch: ticked, the notice is not shown again.
#include "ui/toolkit/check_box.h"
#include "ui/toolkit/edit.h"
#include "ui/toolkit/form.h"
#include "ui/toolkit/image.h"
#include "ui/toolkit/panel.h"

namespace callwright {

class TFrmInfo : public Form {
 public:
  TFrmInfo();

  Panel p;
  Image imgbottom;
  CheckBox c;
  MultiLineEdit Memo;

  // Stores every change of `c` as key "info" at once.
  void cClick();

 protected:
  // The notice has no button: Enter dismisses it as its close box does, also in the memo, whose
  // lines fill it (no line break would fit).
  void FormEnterKey() override { Close(); }
};

// The one notice window, created at start-up.
extern TFrmInfo* FrmInfo;

}  // namespace callwright
