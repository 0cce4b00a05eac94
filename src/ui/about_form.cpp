#include "ui/about_form.h"

namespace callwright {

TFrmAbout* FrmAbout = nullptr;

TFrmAbout::TFrmAbout()
    : Form({.class_name = L"TFrmAbout",
            .caption = L"About ",
            .client_width = 329,
            .client_height = 331,
            .style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX}) {
  CreationDone();
}

}  // namespace callwright
