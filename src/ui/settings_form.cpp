#include "ui/settings_form.h"

namespace callwright {

TFrmSettings* FrmSettings = nullptr;

TFrmSettings::TFrmSettings()
    : Form({.class_name = L"TFrmSettings", .caption = L"Settings", .client_width = 342, .client_height = 231}) {
  CreationDone();
}

}  // namespace callwright
