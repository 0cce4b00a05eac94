#pragma once
// The program's four windows, created in their fixed order (main, settings, notice, About) and
// published through FrmMain, FrmSettings, FrmInfo and FrmAbout for as long as they live.
#include <memory>

#include "ui/about_form.h"
#include "ui/info_form.h"
#include "ui/main_form.h"
#include "ui/settings_form.h"

namespace callwright {

// Has the Restart Manager start the program again in the background ("/hidden") after an installer
// or an update ended it. Called once at start by the first instance; false when it was refused.
bool RegisterProgramRestart();

class ProgramWindows {
 public:
  ProgramWindows();
  ~ProgramWindows();
  ProgramWindows(const ProgramWindows&) = delete;
  ProgramWindows& operator=(const ProgramWindows&) = delete;

  std::unique_ptr<TFrmMain> main;
  std::unique_ptr<TFrmSettings> settings;
  std::unique_ptr<TFrmInfo> info;
  std::unique_ptr<TFrmAbout> about;
};

}  // namespace callwright
