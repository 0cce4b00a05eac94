#include "ui/program_windows.h"

#include <exception>
#include <utility>

#include "assets/resource_ids.h"
#include "ui/toolkit/application.h"

namespace callwright {

namespace {
// The start whose other windows are still to come, if any.
ProgramWindows* g_owing = nullptr;
}  // namespace

bool RegisterProgramRestart() { return Application::Instance().RegisterRestart(L"/hidden"); }

ProgramWindows::ProgramWindows(Making making) {
  MakeMain();
  if (making == Making::AllAtOnce) {
    MakeTheOthers();
    return;
  }
  if (StartedHidden()) tray.emplace(*main);
  g_owing = this;
  after_first_paint_.emplace(main->Handle(), USER_TIMER_MINIMUM, true, [] { MakeDeferredWindows(); });
}

void ProgramWindows::MakeMain() {
  // Every form carries the program's icon in its title bar; the toolkit knows none of our
  // resources, so it is handed the icon before the first form.
  Application::Instance().SetIcon(::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_CALLWRIGHT)),
                                  SmallProgramIcon());
  main = std::make_unique<TFrmMain>();
  FrmMain = main.get();
  Application::Instance().SetMainForm(FrmMain);
}

void ProgramWindows::MakeTheOthers() {
  settings = std::make_unique<TFrmSettings>();
  FrmSettings = settings.get();
  info = std::make_unique<TFrmInfo>();
  FrmInfo = info.get();
  about = std::make_unique<TFrmAbout>();
  FrmAbout = about.get();
  // The main window's show has already looked at the notice's setting when the notice comes later.
  if (main->loaded) main->TickNoticeBoxFromSetting();
}

void MakeDeferredWindows() {
  ProgramWindows* const owing = std::exchange(g_owing, nullptr);
  if (!owing) return;
  owing->after_first_paint_->SetEnabled(false);
  try {
    owing->MakeTheOthers();
    if (!owing->tray) owing->tray.emplace(*owing->main);
  } catch (const std::exception& error) {
    // As at a start that makes all at once: said, instead of a program without its windows.
    Application::Instance().ShowException(error);
    Application::Instance().EndProcess(1);
  }
}

ProgramWindows::~ProgramWindows() {
  if (g_owing == this) g_owing = nullptr;
  after_first_paint_.reset();
  tray.reset();
  FrmAbout = nullptr;
  FrmInfo = nullptr;
  FrmSettings = nullptr;
  FrmMain = nullptr;
  Application::Instance().SetMainForm(nullptr);
  about.reset();
  info.reset();
  settings.reset();
  main.reset();
}

}  // namespace callwright
