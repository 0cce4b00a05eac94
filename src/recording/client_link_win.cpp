#include "recording/client_link_win.h"

#include <string>
#include <utility>

#include "base/decimal.h"
#include "base/private_messages.h"
#include "core/destination_folder.h"
#include "core/platform.h"
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
    : call_handler_(SystemPlatform(), [this](const std::wstring& path) { return NameTaken(path); }),
      window_(window),
      preparer_([hwnd = window.Handle()] { ::PostMessageW(hwnd, kFolderPreparedMessage, 0, 0); }) {}

ClientLink::~ClientLink() {
  if (hook_id_ != 0) window_.RemoveMessageHook(hook_id_);
  if (watch_share_) watch_share_->Withdraw();
}

void ClientLink::ShareNextWatchListing(std::shared_ptr<SharedListing> share) {
  if (watch_share_) watch_share_->Withdraw();
  watch_share_ = std::move(share);
  // Without a preparation under way no watch is coming.
  if (watch_share_ && !preparer_.Busy()) std::exchange(watch_share_, nullptr)->Withdraw();
}

void ClientLink::DiscoverClient() {
  // The link stays while the client answers: notifications keep coming in the meantime.
  if (SkypeWindowHandle != nullptr && !::IsWindow(SkypeWindowHandle)) SetLink(nullptr);
  MsgAttach = ::RegisterWindowMessageW(kAttachMessage);
  MsgDiscover = ::RegisterWindowMessageW(kDiscoverMessage);
  EnsureHook();
  if (MsgDiscover != 0) {
    ::PostMessageW(HWND_BROADCAST, MsgDiscover, reinterpret_cast<WPARAM>(window_.Handle()), 0);
  }
}

void ClientLink::EnsureHook() {
  if (hook_id_ == 0) {
    hook_id_ = window_.AddMessageHook([this](HookMessage& message) { return AppWindowHook(message); });
  }
}

bool ClientLink::AppWindowHook(HookMessage& message) {
  if (message.msg == kFolderPreparedMessage) {
    FolderResultArrived();
    return true;
  }
  if (message.msg == kFolderGoneMessage) {
    // Made again at once rather than at the next call, whose file could not wait for it.
    if (watch_ && reinterpret_cast<const FolderWatch*>(message.lparam) == watch_.get()) PrepareFolder(false);
    return true;
  }
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
  // The calls of a client we no longer hear from never report their end to us.
  recording_calls_.clear();
  space_warned_calls_.clear();
  if (observer_) observer_->LinkChanged(client);
}

void ClientLink::SetObserver(ClientLinkObserver* observer) {
  observer_ = observer;
  if (observer_ && SkypeWindowHandle != nullptr) observer_->LinkChanged(SkypeWindowHandle);
}

void ClientLink::HandleNotification(std::string_view text) {
  // The handler has taken the recording path before the send, which may handle further
  // notifications nested inside it. The folder is the prepared one: nothing here waits on disks.
  const CallDecision decision = call_handler_.Decide(text, [] { return PreparedClientText(); });
  if (observer_) observer_->NotificationRead(text, decision);
  CallDecided(decision);
  switch (decision.kind) {
    case CallDecision::Kind::Request:
      // Readied while the partner handle makes its round trip.
      PrepareFolder(false);
      SendCommand(decision.command);
      break;
    case CallDecision::Kind::Recording:
      recording_calls_.insert(decision.call_id);
      SendCommand(decision.command);
      WarnOfSpace();
      break;
    case CallDecision::Kind::Unrecordable:
      TellUser(L"The call with " + (decision.partner.empty() ? std::wstring(L"an unknown partner") : decision.partner) +
               L" is not recorded: Skype cannot be given a file name for it in the folder \"" +
               FolderFromPrefix(PreparedClientText()) + L"\".");
      break;
    case CallDecision::Kind::CallEnded:
      recording_calls_.erase(decision.call_id);
      space_warned_calls_.erase(decision.call_id);
      break;
    case CallDecision::Kind::Nothing:
      break;
  }
  if (observer_) observer_->NotificationHandled();
}

void ClientLink::PrepareFolder(bool for_show) {
  EnsureHook();
  // A folder that cannot be watched is listed afresh for each call.
  if (watch_ && !watch_->Live()) watch_->Relist();
  if (for_show) show_preparation_ = true;
  preparer_.Request(DestinationFolder());
}

void ClientLink::FolderResultArrived() {
  std::optional<FolderPreparer::Result> result = preparer_.Take();
  if (!result) return;
  // A show's request may have been merged into a call's, or the other way round: either way this
  // result is the newest.
  const bool for_show = show_preparation_ && !preparer_.Busy();
  if (for_show) show_preparation_ = false;
  const PreparedFolder& prepared = result->prepared;
  // A watched folder that fails its check may be one removed while our watch held it open (some
  // systems keep it until the last handle goes): let it go and prepare once more.
  if (!prepared.problem.empty() && watch_ && watch_->Folder() == prepared.destination) {
    watch_.reset();
    PrepareFolder(for_show);
    return;
  }
  SetPreparedFolder(prepared);
  // A folder made anew is another folder than the one watched, even under the same name.
  std::shared_ptr<SharedListing> share = std::exchange(watch_share_, nullptr);
  if (!watch_ || watch_->Folder() != prepared.folder || prepared.created) {
    watch_.reset();
    if (share && !SameFolder(share->Folder(), prepared.folder)) std::exchange(share, nullptr)->Withdraw();
    watch_ = std::make_unique<FolderWatch>(prepared.folder, std::move(share));
    watch_->Subscribe([hwnd = window_.Handle(), watch = watch_.get()](const FolderChange& change) {
      if (change.kind == FolderChange::Kind::Gone) {
        ::PostMessageW(hwnd, kFolderGoneMessage, 0, reinterpret_cast<LPARAM>(watch));
      }
    });
  } else if (!watch_->Live()) {
    watch_->Relist();
  }
  if (share) share->Withdraw();
  watch_client_text_ = prepared.client_text;
  const bool was_low = SpaceLow();
  space_ = result->space;
  if (observer_ && (was_low || SpaceLow())) observer_->SpaceWarningChanged(SpaceLow() ? LowSpaceNote(*space_) : L"");
  WarnOfSpace();
  FolderPrepared(prepared, for_show);
}

void ClientLink::FolderPrepared(const PreparedFolder& prepared, bool for_show) {
  if (prepared.problem.empty()) {
    last_told_problem_.clear();
    return;
  }
  // Every call would find the same problem again: told when it first shows and at each showing.
  if (!for_show && prepared.problem == last_told_problem_) return;
  last_told_problem_ = prepared.problem;
  TellUser(prepared.problem);
}

void ClientLink::TellUser(const std::wstring& text) {
  if (observer_) observer_->Tell(text);
}

bool ClientLink::NameTaken(const std::wstring& path) const {
  const std::size_t cut = path.find_last_of(L'\\');
  const bool watched =
      watch_ && cut != std::wstring::npos && std::wstring_view(path).substr(0, cut) == watch_client_text_;
  if (watched && watch_->Contains(std::wstring_view(path).substr(cut + 1))) return true;
  if (watched && watch_->Listed()) return false;
  // A folder not watched yet, or one whose first listing is still under way, may hold the name
  // all the same: the disk is asked rather than a recording written over.
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool ClientLink::SpaceLow() const { return space_ && space_->bytes < kLowSpaceBytes; }

std::wstring ClientLink::LowSpaceNote(const FreeSpace& space) {
  return L"only " + DecimalText(space.bytes / (1024 * 1024)) + L" MB free on " + space.volume;
}

std::wstring ClientLink::LowSpaceText(const FreeSpace& space) {
  std::wstring text = LowSpaceNote(space) + L" \u2014 recordings may stop.";
  text[0] = L'O';
  return text;
}

void ClientLink::WarnOfSpace() {
  if (!SpaceLow()) return;
  bool unwarned = false;
  for (const std::wstring& call : recording_calls_) unwarned |= space_warned_calls_.insert(call).second;
  if (unwarned) TellUser(LowSpaceText(*space_));
}

}  // namespace callwright
