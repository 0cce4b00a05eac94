#include "recording/client_link_win.h"

#include <string>

#include "core/destination_folder.h"
#include "core/platform.h"
#include "recording/call_state.h"
#include "recording/notification.h"

namespace callwright {

namespace {
constexpr wchar_t kAttachMessage[] = L"SkypeControlAPIAttach";
constexpr wchar_t kDiscoverMessage[] = L"SkypeControlAPIDiscover";
constexpr LPARAM kAttachRefused = 2;
constexpr wchar_t kRefusalText[] =
    L"You just disallowed access to Skype. We were not able to start the application.";
constexpr wchar_t kRefusalCaption[] = L"Access forbidden";
}  // namespace

ClientLink::ClientLink(ApplicationWindow& window)
    : call_handler_(SystemPlatform(),
                    [](const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }),
      window_(window) {}

ClientLink::~ClientLink() {
  if (hook_id_ != 0) window_.RemoveMessageHook(hook_id_);
}

void ClientLink::DiscoverClient() {
  // The link stays while the client answers: notifications keep coming in the meantime.
  if (SkypeWindowHandle != nullptr && !::IsWindow(SkypeWindowHandle)) SetLink(nullptr);
  MsgAttach = ::RegisterWindowMessageW(kAttachMessage);
  MsgDiscover = ::RegisterWindowMessageW(kDiscoverMessage);
  if (hook_id_ == 0) {
    hook_id_ = window_.AddMessageHook([this](HookMessage& message) { return AppWindowHook(message); });
  }
  if (MsgDiscover != 0) {
    ::PostMessageW(HWND_BROADCAST, MsgDiscover, reinterpret_cast<WPARAM>(window_.Handle()), 0);
  }
}

bool ClientLink::AppWindowHook(HookMessage& message) {
  if (MsgAttach != 0 && message.msg == MsgAttach) {
    if (message.lparam == kAttachRefused) {
      SetLink(nullptr);
      if (!forbidden) ReportRefusal();
    } else {
      SetLink(reinterpret_cast<HWND>(message.wparam));
    }
    return true;
  }
  // While unlinked no sender is accepted, not even one that claims to be window 0.
  if (message.msg == WM_COPYDATA && SkypeWindowHandle != nullptr &&
      reinterpret_cast<HWND>(message.wparam) == SkypeWindowHandle) {
    if (const auto* record = reinterpret_cast<const COPYDATASTRUCT*>(message.lparam)) {
      HandleNotification(CopyDataText(record->lpData, record->cbData));
    }
    message.result = 1;
    return true;
  }
  return false;
}

void ClientLink::ReportRefusal() {
  // Set before the box: its modal loop handles further refusals, which must not open a second one.
  forbidden = true;
  // Comes while the user works in another program: in front, and modal to a visible window of ours.
  ::MessageBoxW(window_.ReportOwner(), kRefusalText, kRefusalCaption,
                MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

void ClientLink::SendCommand(std::string_view command) {
  const HWND client = SkypeWindowHandle;
  // An over-long command is dropped whole: a cut one could name another file.
  if (client == nullptr || command.size() > kMaxCommandLength) return;
  if (!::IsWindow(client)) {
    DropLink(client);
    return;
  }
  std::string buffer(command);  // keeps the terminating NUL after its bytes
  COPYDATASTRUCT record{};
  record.dwData = 0;
  record.cbData = static_cast<DWORD>(buffer.size() + 1);
  record.lpData = buffer.data();
  // SMTO_NORMAL: the client's replies, sent to us while it handles the command, are handled in the
  // wait. A hung client costs at most the time limit, and nothing once it is known to hang.
  DWORD_PTR answer = 0;
  if (!::SendMessageTimeoutW(client, WM_COPYDATA, reinterpret_cast<WPARAM>(window_.Handle()),
                             reinterpret_cast<LPARAM>(&record), SMTO_NORMAL | SMTO_ABORTIFHUNG, kCommandTimeoutMs,
                             &answer) &&
      !::IsWindow(client)) {
    DropLink(client);
  }
}

void ClientLink::DropLink(HWND client) {
  if (SkypeWindowHandle == client) SetLink(nullptr);
}

void ClientLink::SetLink(HWND client) {
  if (SkypeWindowHandle == client) return;
  SkypeWindowHandle = client;
  if (observer_) observer_->LinkChanged(client);
}

void ClientLink::SetObserver(ClientLinkObserver* observer) {
  observer_ = observer;
  if (observer_ && SkypeWindowHandle != nullptr) observer_->LinkChanged(SkypeWindowHandle);
}

void ClientLink::HandleNotification(std::string_view text) {
  if (observer_) observer_->NotificationArrived(text);
  const std::wstring folder = ClientFolderText();
  // The handler has taken the recording path before the send, which may handle further
  // notifications nested inside it.
  if (auto command = call_handler_.CommandFor(text, folder)) {
    // Told before the send: the client may report the call's end while the send waits.
    if (observer_ && SkypeWindowHandle != nullptr && IsRecordingCommand(*command)) {
      observer_->RecordingCommandSending(text);
    }
    SendCommand(*command);
  }
}

}  // namespace callwright
