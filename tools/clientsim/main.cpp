// callwright-clientsim: a stand-in for the VoIP client, driven by its command line (see kUsage).
#include <windows.h>
#include <shellapi.h>

#include <deque>
#include <list>
#include <memory>
#include <string>
#include <string_view>

#include "core/platform.h"
#include "options.h"
#include "base/handles.h"
#include "wav.h"

namespace clientsim {

namespace {

constexpr wchar_t kClassName[] = L"CallwrightClientSim";
constexpr UINT kSendReplies = WM_APP + 1;  // posted to ourselves: answers go out after a send returns
constexpr UINT kFloodStep = WM_APP + 2;
constexpr UINT_PTR kStepTimer = 1;
constexpr UINT_PTR kHouseTimer = 2;
constexpr UINT_PTR kTimeLimitTimer = 3;
constexpr unsigned kFloodBatch = 100;

enum ExitCode : int { kDone = 0, kCannotStart = 1, kBadOption = 2, kTimeLimit = 3, kFileFailed = 4 };

// Lines to a file, or to standard output when no file is named.
class LineWriter {
 public:
  bool Open(const std::wstring& path) {
    if (path.empty()) {
      target_ = ::GetStdHandle(STD_OUTPUT_HANDLE);
      return true;
    }
    file_.Reset(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    target_ = file_.Get();
    return static_cast<bool>(file_);
  }
  void Write(std::string_view line) {
    if (target_ == nullptr || target_ == INVALID_HANDLE_VALUE) return;
    std::string text;
    text.reserve(line.size() + 1);
    for (const char c : line) {
      const auto code = static_cast<unsigned char>(c);
      if (code < 32) {
        static const char kHex[] = "0123456789ABCDEF";
        text += "\\x";
        text += kHex[code >> 4];
        text += kHex[code & 15];
      } else {
        text += c;
      }
    }
    text += '\n';
    DWORD written = 0;
    ::WriteFile(target_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  }

 private:
  callwright::FileHandle file_;
  HANDLE target_ = nullptr;
};

struct Call {
  std::string id;
  WavRecording wav;
  ULONGLONG started = 0;
  DWORD length_ms = 0;
};

class Simulator {
 public:
  explicit Simulator(Options options) : options_(std::move(options)) {}

  int Run() {
    if (!log_.Open(options_.log_path)) return kCannotStart;
    if (!options_.answers_path.empty() && !answers_.Open(options_.answers_path)) return kCannotStart;
    msg_attach_ = ::RegisterWindowMessageW(L"SkypeControlAPIAttach");
    msg_discover_ = ::RegisterWindowMessageW(L"SkypeControlAPIDiscover");
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &Simulator::WindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = kClassName;
    ::RegisterClassExW(&wc);
    // Top-level and never shown: broadcasts reach it, message-only windows they would not.
    window_.Reset(::CreateWindowExW(WS_EX_TOOLWINDOW, kClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                    instance, this));
    if (!window_ || msg_attach_ == 0 || msg_discover_ == 0) return kCannotStart;
    ::SetTimer(window_.Get(), kHouseTimer, 20, nullptr);
    ::SetTimer(window_.Get(), kTimeLimitTimer, options_.timeout_ms, nullptr);
    last_activity_ = ::GetTickCount64();

    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
  }

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    if (msg == WM_NCCREATE) {
      const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
      ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<Simulator*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self) {
      try {
        LRESULT result = 0;
        if (self->Handle(hwnd, msg, wparam, lparam, result)) return result;
      } catch (...) {
        self->Quit(kCannotStart);
      }
    }
    return ::DefWindowProcW(hwnd, msg, wparam, lparam);
  }

  bool Handle(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) {
    if (msg == msg_discover_) {
      OnDiscover(reinterpret_cast<HWND>(wparam));
      return true;
    }
    switch (msg) {
      case WM_COPYDATA: {
        // Commands count only from the program that discovered us, named as the sender.
        const auto* record = reinterpret_cast<const COPYDATASTRUCT*>(lparam);
        if (program_ == nullptr || reinterpret_cast<HWND>(wparam) != program_ || record == nullptr) {
          result = FALSE;
          return true;
        }
        const std::string command = TextOf(*record);
        // Hung in the handler: no message of ours is handled meanwhile.
        if (options_.hang_ms != 0) ::Sleep(options_.hang_ms);
        OnCommand(command);
        result = TRUE;
        return true;
      }
      case kSendReplies:
        SendReplies();
        return true;
      case kFloodStep:
        FloodStep();
        return true;
      case WM_TIMER:
        if (wparam == kStepTimer) {
          ::KillTimer(hwnd, kStepTimer);
          RunStep();
        } else if (wparam == kHouseTimer) {
          Housekeeping();
        } else if (wparam == kTimeLimitTimer) {
          Quit(ScriptFinished() ? kDone : kTimeLimit);
        }
        return true;
      case WM_CLOSE:
        Quit(ScriptFinished() ? kDone : kTimeLimit);
        return true;
      default:
        return false;
    }
  }

  bool ScriptFinished() const { return script_done_ || options_.script.empty(); }

  static std::string TextOf(const COPYDATASTRUCT& record) {
    if (record.lpData == nullptr) return {};
    const char* bytes = static_cast<const char*>(record.lpData);
    std::size_t length = 0;
    while (length < record.cbData && bytes[length] != '\0') ++length;
    return std::string(bytes, length);
  }

  void OnDiscover(HWND program) {
    if (!options_.attach_status) return;
    program_ = program;
    ::PostMessageW(program, msg_attach_, reinterpret_cast<WPARAM>(window_.Get()), *options_.attach_status);
    if (!script_started_) {
      script_started_ = true;
      ::SetTimer(window_.Get(), kStepTimer, options_.delay_ms, nullptr);
    }
  }

  void OnCommand(const std::string& command) {
    last_activity_ = ::GetTickCount64();
    log_.Write(command);
    if (next_nested_note_ < options_.nested_notes.size()) Notify(options_.nested_notes[next_nested_note_++], true);
    constexpr std::string_view kGet = "GET CALL ";
    constexpr std::string_view kPartner = " PARTNER_HANDLE";
    constexpr std::string_view kAlter = "ALTER CALL ";
    constexpr std::string_view kOutput = " SET_OUTPUT file=\"";
    const std::string_view text = command;
    if (text.starts_with(kGet) && text.ends_with(kPartner) && text.size() >= kGet.size() + kPartner.size()) {
      if (!options_.answer_partner) return;
      const std::string_view id = text.substr(kGet.size(), text.size() - kGet.size() - kPartner.size());
      std::string reply = "CALL " + std::string(id) + " PARTNER_HANDLE " + options_.partner;
      if (options_.nested_answers) {
        Notify(reply, true);
        return;
      }
      replies_.push_back(std::move(reply));
      ::PostMessageW(window_.Get(), kSendReplies, 0, 0);
    } else if (text.starts_with(kAlter)) {
      const std::size_t output = text.find(kOutput);
      const std::size_t close = text.rfind('"');
      if (output == std::string_view::npos || close < output + kOutput.size()) return;
      const std::size_t from = output + kOutput.size();
      const std::string_view path = text.substr(from, close - from);
      // The client's ANSI file functions take paths of at most MAX_PATH bytes with the NUL.
      if (path.size() >= MAX_PATH) {
        file_failed_ = true;
        return;
      }
      StartRecording(std::string(text.substr(kAlter.size(), output - kAlter.size())),
                     callwright::SystemPlatform().DecodeAnsi(std::string(path)));
    }
  }

  void StartRecording(std::string id, const std::wstring& path) {
    auto call = std::make_unique<Call>();
    call->id = std::move(id);
    call->started = ::GetTickCount64();
    call->length_ms = options_.call_ms;
    if (!call->wav.Open(path)) {
      file_failed_ = true;
      return;
    }
    calls_.push_back(std::move(call));
  }

  // Sends one text to the program; its answer goes to the answers file.
  void Notify(const std::string& bytes, bool with_nul) {
    if (program_ == nullptr) return;
    COPYDATASTRUCT record{};
    std::string buffer = bytes;
    record.dwData = 0;
    record.cbData = static_cast<DWORD>(bytes.size() + (with_nul ? 1 : 0));
    record.lpData = record.cbData == 0 ? nullptr : buffer.data();
    const LRESULT answer = ::SendMessageW(program_, WM_COPYDATA, reinterpret_cast<WPARAM>(window_.Get()),
                                          reinterpret_cast<LPARAM>(&record));
    answers_.Write(std::to_string(answer));
    last_activity_ = ::GetTickCount64();
  }

  void RunStep() {
    if (next_step_ >= options_.script.size()) {
      script_done_ = true;
      return;
    }
    const Step& step = options_.script[next_step_++];
    switch (step.kind) {
      case Step::Kind::Text:
        Notify(step.bytes, true);
        break;
      case Step::Kind::Raw:
        Notify(step.bytes, false);
        break;
      case Step::Kind::Flood:
        flood_left_ = step.count;
        flood_next_ = 1;
        ::PostMessageW(window_.Get(), kFloodStep, 0, 0);
        return;  // the next step follows the flood
    }
    NextStep();
  }

  void NextStep() {
    if (next_step_ >= options_.script.size()) {
      script_done_ = true;
      return;
    }
    ::SetTimer(window_.Get(), kStepTimer, options_.gap_ms == 0 ? 1 : options_.gap_ms, nullptr);
  }

  // In batches, so that our own queue (answers, recordings) keeps moving during a flood.
  void FloodStep() {
    for (unsigned i = 0; i < kFloodBatch && flood_left_ > 0; ++i, --flood_left_, ++flood_next_) {
      Notify("CALL " + std::to_string(flood_next_) + " STATUS " + options_.flood_status, true);
    }
    if (flood_left_ > 0) {
      ::PostMessageW(window_.Get(), kFloodStep, 0, 0);
    } else {
      NextStep();
    }
  }

  // Queued: sending here could run the program's commands into the list of calls being walked.
  void ReportEnd(const std::string& id) {
    if (options_.end_status.empty()) return;
    replies_.push_back("CALL " + id + " STATUS " + options_.end_status);
    ::PostMessageW(window_.Get(), kSendReplies, 0, 0);
  }

  void SendReplies() {
    while (!replies_.empty()) {
      const std::string reply = std::move(replies_.front());
      replies_.pop_front();
      Notify(reply, true);
    }
  }

  void Housekeeping() {
    const ULONGLONG now = ::GetTickCount64();
    for (auto it = calls_.begin(); it != calls_.end();) {
      Call& call = **it;
      const ULONGLONG elapsed = now - call.started;
      const bool over = elapsed >= call.length_ms;
      const ULONGLONG ms = over ? call.length_ms : elapsed;
      if (!call.wav.WriteUpTo(static_cast<std::uint32_t>(ms * kSampleRate / 1000))) file_failed_ = true;
      if (over) {
        if (!call.wav.Finish()) file_failed_ = true;
        ReportEnd(call.id);
        it = calls_.erase(it);
      } else {
        ++it;
      }
    }
    const bool quiet = now - last_activity_ >= options_.linger_ms;
    if (script_done_ && !options_.script.empty() && replies_.empty() && calls_.empty() && quiet) Quit(kDone);
  }

  void Quit(int code) {
    for (auto& call : calls_) {
      const ULONGLONG elapsed = ::GetTickCount64() - call->started;
      call->wav.WriteUpTo(static_cast<std::uint32_t>(elapsed * kSampleRate / 1000));
      if (!call->wav.Finish()) file_failed_ = true;
      ReportEnd(call->id);
    }
    calls_.clear();
    SendReplies();
    ::PostQuitMessage(file_failed_ && code == kDone ? kFileFailed : code);
  }

  Options options_;
  LineWriter log_;
  LineWriter answers_;
  callwright::WindowHandle window_;
  UINT msg_attach_ = 0;
  UINT msg_discover_ = 0;
  HWND program_ = nullptr;
  bool script_started_ = false;
  bool script_done_ = false;
  bool file_failed_ = false;
  std::size_t next_step_ = 0;
  std::size_t next_nested_note_ = 0;
  unsigned flood_left_ = 0;
  unsigned flood_next_ = 1;
  std::deque<std::string> replies_;
  std::list<std::unique_ptr<Call>> calls_;
  ULONGLONG last_activity_ = 0;
};

void Print(const std::wstring& text) {
  const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
  if (out == nullptr || out == INVALID_HANDLE_VALUE) return;
  const std::string bytes = callwright::SystemPlatform().EncodeAnsi(text);
  DWORD written = 0;
  ::WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace

}  // namespace clientsim

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  using namespace clientsim;
  int argc = 0;
  LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  std::vector<std::wstring> args;
  for (int i = 1; argv && i < argc; ++i) args.emplace_back(argv[i]);
  if (argv) ::LocalFree(argv);

  std::wstring error;
  std::optional<Options> options = ParseOptions(args, error);
  if (!options) {
    Print(L"callwright-clientsim: " + error + L"\n\n" + kUsage);
    return kBadOption;
  }
  if (options->help) {
    Print(kUsage);
    return kDone;
  }
  try {
    Simulator simulator(std::move(*options));
    return simulator.Run();
  } catch (...) {
    return kCannotStart;
  }
}
