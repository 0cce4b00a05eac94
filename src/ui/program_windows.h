#pragma once
// The program's four windows, created in their fixed order (main, settings, notice, About) and
// published through FrmMain, FrmSettings, FrmInfo and FrmAbout for as long as they live.
#include <memory>
#include <optional>

#include "ui/about_form.h"
#include "ui/info_form.h"
#include "ui/main_form.h"
#include "ui/settings_form.h"
#include "ui/tray_icon.h"
#include "ui/toolkit/timer.h"

namespace callwright {

// Has the Restart Manager start the program again in the background ("/hidden") after an installer
// or an update ended it. Called once at start by the first instance; false when it was refused.
bool RegisterProgramRestart();

class ProgramWindows {
 public:
  enum class Making {
    AllAtOnce,
    // The program's own start: the main window, and the notification icon at once at a "/hidden"
    // start; the other three windows (and the icon of a start that shows the main window) once the
    // main window has shown and painted or done its hidden start, so that its first picture waits
    // for nothing it does not show. Anything that needs them sooner makes them then
    // (MakeDeferredWindows).
    AsTheProgramStarts,
  };
  explicit ProgramWindows(Making making = Making::AllAtOnce);
  ~ProgramWindows();
  ProgramWindows(const ProgramWindows&) = delete;
  ProgramWindows& operator=(const ProgramWindows&) = delete;

  std::unique_ptr<TFrmMain> main;
  std::unique_ptr<TFrmSettings> settings;
  std::unique_ptr<TFrmInfo> info;
  std::unique_ptr<TFrmAbout> about;
  std::optional<TrayIcon> tray;  // only at the program's own start

 private:
  void MakeMain();
  void MakeTheOthers();
  friend void MakeDeferredWindows();

  // WM_TIMER comes only once no other message, painting included, is waiting.
  std::optional<WindowTimer> after_first_paint_;
};

// Makes the settings, notice and About windows now if the start still owes them; a command that
// opens one of them calls it first.
void MakeDeferredWindows();

}  // namespace callwright
