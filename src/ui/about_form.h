#pragma once
// The About window.
#include "ui/toolkit/form.h"

namespace callwright {

class TFrmAbout : public Form {
 public:
  TFrmAbout();
};

// The one About window, created at start-up.
extern TFrmAbout* FrmAbout;

}  // namespace callwright
