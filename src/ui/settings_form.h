#pragma once
// The settings window: destination folder and start with Windows.
#include "ui/toolkit/form.h"

namespace callwright {

class TFrmSettings : public Form {
 public:
  TFrmSettings();
};

// The one settings window, created at start-up.
extern TFrmSettings* FrmSettings;

}  // namespace callwright
