#pragma once
// Helpers for tests that drive real windows: message pumping, answering real message boxes from a
// second thread, temporary folders and second processes. (Newer tests use gui_win, process_win,
// temp_dir_win and window_answerer_win.)
#include <windows.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/handles.h"

namespace callwright::gui_helpers {

// Dispatches this thread's messages until `done` holds or the time is up; returns done().
bool PumpUntil(const std::function<bool()>& done, DWORD timeout_ms = 5000);
void PumpFor(DWORD ms);

// The folder of the running test program.
std::filesystem::path TestProgramFolder();

// The window that has the keyboard focus in the thread that owns `window`.
HWND FocusOfThreadOf(HWND window);

// A message box (dialog class #32770) of any process with this caption, or null.
HWND FindMessageBox(const std::wstring& caption);
// The text of a message box (its static control).
std::wstring MessageBoxText(HWND box);

// Watches from a thread of its own for a message box with `caption` and presses `button`
// (IDYES, IDNO, IDOK...) each time one appears; so a test can answer a box whose modal loop holds
// the test's own thread. With another window class and button 0 it closes such windows instead.
class MessageBoxAnswerer {
 public:
  // `inspect`, when given, looks at each window found (from the watching thread) before it is answered.
  MessageBoxAnswerer(std::wstring caption, int button, std::wstring class_name = L"#32770",
                     std::function<void(HWND)> inspect = {});
  ~MessageBoxAnswerer();
  MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
  MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;

  int Answered() const noexcept { return answered_; }  // how many boxes were answered
  std::wstring LastText() const;                       // text of the last box answered

 private:
  std::wstring caption_;
  int button_;
  std::wstring class_name_;
  std::function<void(HWND)> inspect_;
  std::atomic<int> answered_{0};
  std::atomic<bool> stop_{false};
  mutable std::mutex text_lock_;
  std::wstring last_text_;
  std::thread thread_;
};

// A fresh folder under the temporary folder, removed with everything in it at the end.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::filesystem::path& Path() const noexcept { return path_; }

 private:
  std::filesystem::path path_;
};

// Writes `bytes` bytes into a new file.
void WriteFile(const std::filesystem::path& path, std::size_t bytes);

// A second process, ended at the end of the test if it still runs.
class ChildProcess {
 public:
  // `command_line` is the whole command line, program included.
  ChildProcess(const std::filesystem::path& program, const std::wstring& command_line,
               const std::filesystem::path& working_folder = {});
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Started() const noexcept { return static_cast<bool>(process_); }
  DWORD Id() const noexcept { return id_; }
  HANDLE Handle() const noexcept { return process_.Get(); }
  // True when it ended within the time; `exit_code` then holds its code.
  bool Wait(DWORD timeout_ms, DWORD* exit_code = nullptr);

 private:
  KernelHandle process_;
  DWORD id_ = 0;
};

// The visible top-level window of a process with this caption, or null.
HWND FindProcessWindow(DWORD process_id, const std::wstring& caption, bool visible_only);

}  // namespace callwright::gui_helpers
