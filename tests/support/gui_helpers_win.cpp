#include "support/gui_helpers_win.h"

#include <random>

namespace callwright::gui_helpers {

bool PumpUntil(const std::function<bool()>& done, DWORD timeout_ms) {
  const ULONGLONG end = ::GetTickCount64() + timeout_ms;
  for (;;) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    if (done()) return true;
    if (::GetTickCount64() >= end) return done();
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

void PumpFor(DWORD ms) {
  PumpUntil([] { return false; }, ms);
}

std::filesystem::path TestProgramFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  return std::filesystem::path(path).parent_path();
}

HWND FocusOfThreadOf(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  return ::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus : nullptr;
}

HWND FindMessageBox(const std::wstring& caption) { return ::FindWindowW(L"#32770", caption.c_str()); }

std::wstring MessageBoxText(HWND box) {
  // The message text is the box's static control with id 0xFFFF.
  HWND text = ::GetDlgItem(box, 0xFFFF);
  if (!text) return {};
  std::wstring buffer(static_cast<std::size_t>(::GetWindowTextLengthW(text)) + 1, L'\0');
  buffer.resize(static_cast<std::size_t>(::GetWindowTextW(text, buffer.data(), static_cast<int>(buffer.size()))));
  return buffer;
}

MessageBoxAnswerer::MessageBoxAnswerer(std::wstring caption, int button, std::wstring class_name,
                                       std::function<void(HWND)> inspect)
    : caption_(std::move(caption)), button_(button), class_name_(std::move(class_name)), inspect_(std::move(inspect)) {
  thread_ = std::thread([this] {
    HWND last = nullptr;
    while (!stop_) {
      HWND box = ::FindWindowW(class_name_.c_str(), caption_.c_str());
      if (box && box != last && ::IsWindowVisible(box)) {
        std::wstring text = MessageBoxText(box);
        {
          std::lock_guard lock(text_lock_);
          last_text_ = std::move(text);
        }
        last = box;
        if (inspect_) inspect_(box);
        ++answered_;
        if (button_ != 0) {
          ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(button_, BN_CLICKED), 0);
        } else {
          ::PostMessageW(box, WM_CLOSE, 0, 0);
        }
      }
      if (box == nullptr || !::IsWindowVisible(box)) last = nullptr;
      ::Sleep(20);
    }
  });
}

MessageBoxAnswerer::~MessageBoxAnswerer() {
  stop_ = true;
  thread_.join();
}

std::wstring MessageBoxAnswerer::LastText() const {
  std::lock_guard lock(text_lock_);
  return last_text_;
}

TempFolder::TempFolder() {
  std::random_device seed;
  std::mt19937 random(seed());
  const auto base = std::filesystem::temp_directory_path();
  for (;;) {
    path_ = base / (L"cw-test-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(random()));
    if (std::filesystem::create_directory(path_)) break;
  }
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void WriteFile(const std::filesystem::path& path, std::size_t bytes) {
  FileHandle file(
      ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  std::vector<char> data(bytes, 'x');
  DWORD written = 0;
  if (file && bytes > 0) ::WriteFile(file.Get(), data.data(), static_cast<DWORD>(bytes), &written, nullptr);
}

ChildProcess::ChildProcess(const std::filesystem::path& program, const std::wstring& command_line,
                           const std::filesystem::path& working_folder) {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  std::wstring line = command_line;
  if (::CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       working_folder.empty() ? nullptr : working_folder.c_str(), &startup, &info)) {
    process_.Reset(info.hProcess);
    ::CloseHandle(info.hThread);
    id_ = info.dwProcessId;
  }
}

ChildProcess::~ChildProcess() {
  if (process_ && ::WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT) {
    ::TerminateProcess(process_.Get(), 1);
    ::WaitForSingleObject(process_.Get(), 5000);
  }
}

bool ChildProcess::Wait(DWORD timeout_ms, DWORD* exit_code) {
  if (!process_ || ::WaitForSingleObject(process_.Get(), timeout_ms) != WAIT_OBJECT_0) return false;
  if (exit_code) ::GetExitCodeProcess(process_.Get(), exit_code);
  return true;
}

HWND FindProcessWindow(DWORD process_id, const std::wstring& caption, bool visible_only) {
  struct Search {
    DWORD process_id;
    const std::wstring* caption;
    bool visible_only;
    HWND found;
  } search{process_id, &caption, visible_only, nullptr};
  ::EnumWindows(
      [](HWND hwnd, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        DWORD owner = 0;
        ::GetWindowThreadProcessId(hwnd, &owner);
        if (owner != s->process_id) return TRUE;
        if (s->visible_only && !::IsWindowVisible(hwnd)) return TRUE;
        wchar_t text[256] = {};
        ::GetWindowTextW(hwnd, text, 256);
        if (*s->caption != text) return TRUE;
        s->found = hwnd;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace callwright::gui_helpers
