#include "ui/program_windows.h"

#include "assets/resource_ids.h"
#include "ui/toolkit/application.h"

namespace callwright {

bool RegisterProgramRestart() { return Application::Instance().RegisterRestart(L"/hidden"); }

ProgramWindows::ProgramWindows() {
  // Every form carries the program's icon in its title bar; the toolkit knows none of our
  // resources, so it is handed the icon before the first form.
  Application::Instance().SetIcon(::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_CALLWRIGHT)),
                                  SmallProgramIcon());
  main = std::make_unique<TFrmMain>();
  FrmMain = main.get();
  Application::Instance().SetMainForm(FrmMain);
  settings = std::make_unique<TFrmSettings>();
  FrmSettings = settings.get();
  info = std::make_unique<TFrmInfo>();
  FrmInfo = info.get();
  about = std::make_unique<TFrmAbout>();
  FrmAbout = about.get();
}

ProgramWindows::~ProgramWindows() {
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
