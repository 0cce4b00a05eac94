#pragma once
// The program's four windows, as start-up creates them, for tests that drive them: config.ini
// beside this test program set aside and removed before and after, the default Records folder
// removed again when the test made it, the shell-open and message-box seams given back to the
// program's own functions, and a stand-in Recycle Bin for Delete.
#include <gtest/gtest.h>

#include <memory>

#include "support/config_file_win.h"
#include "support/recycle_bin_win.h"
#include "support/temp_dir_win.h"
#include "ui/program_windows.h"

namespace callwright::test {

class ProgramWindowsTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Runs after config.ini is removed and before the windows are made, which read it.
  virtual void PrepareConfig() {}

  // A new run's windows; the old ones must be gone first.
  void CreateWindows(ProgramWindows::Making making = ProgramWindows::Making::AllAtOnce);
  void DestroyWindows();

  ConfigFileAside aside_;
  TempDir folder_;  // a fresh folder for the test's recordings
  // Delete's Recycle Bin: Wine has none to move files into.
  FakeRecycleBin recycle_bin_;
  std::unique_ptr<ProgramWindows> windows_;
  TFrmMain* main_ = nullptr;
  TFrmSettings* settings_ = nullptr;
  TFrmInfo* info_ = nullptr;
  TFrmAbout* about_ = nullptr;

 private:
  // True until SetUp looks, so that a set-up stopped earlier removes nothing.
  bool records_existed_ = true;
};

}  // namespace callwright::test
