#include <windows.h>

#include <exception>

#include "base/handles.h"
#include "core/random.h"
#include "ui/program_windows.h"
#include "ui/toolkit/application.h"

namespace {

void SeedProgramRandom() {
  LARGE_INTEGER counter{};
  const auto seed = ::QueryPerformanceCounter(&counter) ? static_cast<std::uint32_t>(counter.LowPart)
                                                        : static_cast<std::uint32_t>(::GetTickCount());
  callwright::ProgramRandom().Seed(seed);
}

// A second start only asks the running instance to show its main window. A window of another
// program that stopped answering could hold a plain broadcast forever, hence the time limit.
void AskRunningInstanceToShow() {
  const UINT show_request = ::RegisterWindowMessageW(L"CALLWRIGHTAPP");
  // The running instance may bring its window to the front.
  ::AllowSetForegroundWindow(ASFW_ANY);
  ::SendMessageTimeoutW(HWND_BROADCAST, show_request, 0, 0, SMTO_ABORTIFHUNG, 3000, nullptr);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  using namespace callwright;
  SeedProgramRandom();

  ::SetLastError(0);
  // Held to the end of the process: the name exists as long as this instance runs.
  const KernelHandle instance_mutex(::CreateMutexW(nullptr, FALSE, L"CALLWRIGHT-APP"));
  if (::GetLastError() == ERROR_ALREADY_EXISTS) {
    AskRunningInstanceToShow();
    return 0;
  }

  Application& app = Application::Instance();
  // A refusal only means no restart after an update: the program runs as it is.
  RegisterProgramRestart();
  try {
    // The windows live until the process ends (only Close, a close of the application window or the
    // end of the session end it, with ExitProcess).
    const ProgramWindows windows(ProgramWindows::Making::AsTheProgramStarts);
    return app.Run();
  } catch (const std::exception& error) {
    // A window that could not be made: said, instead of a program without its windows.
    app.ShowException(error);
    return 1;
  }
}
