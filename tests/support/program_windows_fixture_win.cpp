#include "support/program_windows_fixture_win.h"

#include <windows.h>

#include <filesystem>
#include <system_error>

#include "core/destination_folder.h"
#include "core/settings_win.h"
#include "support/gui_win.h"
#include "ui/toolkit/message_box.h"
#include "ui/toolkit/shell.h"

namespace callwright::test {

void ProgramWindowsTest::SetUp() {
  RemoveConfig();
  records_existed_ = std::filesystem::exists(DefaultFolder());
  PrepareConfig();
  if (HasFatalFailure()) return;
  CreateWindows();
}

void ProgramWindowsTest::TearDown() {
  ShellOpen = &ShellExecuteOpen;
  MessageBoxCall = &::MessageBoxW;
  DestroyWindows();
  PumpFor(10);
  RemoveConfig();
  SetDestinationFolder(L"");
  std::error_code ignored;
  if (!records_existed_) std::filesystem::remove_all(DefaultFolder(), ignored);
}

void ProgramWindowsTest::CreateWindows(ProgramWindows::Making making) {
  windows_ = std::make_unique<ProgramWindows>(making);
  main_ = windows_->main.get();
  settings_ = windows_->settings.get();
  info_ = windows_->info.get();
  about_ = windows_->about.get();
}

void ProgramWindowsTest::DestroyWindows() {
  windows_.reset();
  main_ = nullptr;
  settings_ = nullptr;
  info_ = nullptr;
  about_ = nullptr;
}

}  // namespace callwright::test
