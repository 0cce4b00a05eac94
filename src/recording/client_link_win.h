#pragma once
// The link to the VoIP client's desktop API: discovery broadcast, attach replies and copy-data
// texts, all through the application's hidden window. The main window derives from it and so
// carries the link's fields.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>

#include "base/application_window_win.h"
#include "base/message_hooks.h"
#include "core/destination_folder.h"
#include "core/folder_watch_win.h"
#include "recording/notification.h"

namespace callwright {

// Told what the link does, for a view of its state; never changes what the link does.
class ClientLinkObserver {
 public:
  // The link now goes to this client window, or to none: an attach reply from another window
  // replaces it; a refusal, or the linked window found gone, drops it. A rediscovery alone, or the
  // same client answering again, changes nothing.
  virtual void LinkChanged(HWND client) = 0;
  // Each notification of the linked client with the call handler's decision on it, before the
  // command it calls for is sent: the client may report the call's end while the send waits.
  virtual void NotificationRead(std::string_view text, const CallDecision& decision) = 0;
  // The notification told last, and all that came inside its send, have been handled: the time to
  // change what the user sees.
  virtual void NotificationHandled() {}
  // Something the user must be told at once (a folder that cannot be used, a call that cannot be
  // recorded, little free space left).
  virtual void Tell(const std::wstring& text) { static_cast<void>(text); }
  // The free-space warning that stands while it holds, or empty when there is room.
  virtual void SpaceWarningChanged(const std::wstring& warning) { static_cast<void>(warning); }

 protected:
  ~ClientLinkObserver() = default;
};

class ClientLink {
 public:
  // Talks through this window, which must outlive the link.
  explicit ClientLink(ApplicationWindow& window);
  virtual ~ClientLink();  // removes the hook
  ClientLink(const ClientLink&) = delete;
  ClientLink& operator=(const ClientLink&) = delete;

  // Asks the client to answer again; the current link stays until the answer replaces it, and is
  // dropped only once its window is gone. Never waits.
  void DiscoverClient();
  // Sends one command to the linked client and waits for it to be handled, at most
  // kCommandTimeoutMs and not at all once the client hangs; what the client sends meanwhile is
  // handled. Dropped while unlinked or when longer than kMaxCommandLength.
  void SendCommand(std::string_view command);
  // One notification from the linked client (bytes up to the NUL).
  void HandleNotification(std::string_view text);
  // The application window's messages: attach replies and the linked client's notifications.
  bool AppWindowHook(HookMessage& message);

  static constexpr UINT kCommandTimeoutMs = 5000;

  UINT MsgAttach = 0;
  UINT MsgDiscover = 0;
  HWND SkypeWindowHandle = nullptr;
  bool forbidden = false;

  // One observer at most; null for none. A new observer is told the current link.
  void SetObserver(ClientLinkObserver* observer);

  // Readies the destination folder on a worker: at every showing of the main window (for_show)
  // and whenever a call goes in progress. The result becomes the folder of the recording
  // commands that follow; until then they use the last prepared one.
  void PrepareFolder(bool for_show);
  // A preparation asked for by a showing is still under way.
  bool PreparingFolderForShow() const noexcept { return show_preparation_; }
  bool PreparingFolder() const { return preparer_.Busy(); }
  // The first listing of the next folder watch made (by a preparation under way) goes to share,
  // if that watch is of share's folder; else share is withdrawn.
  void ShareNextWatchListing(std::shared_ptr<SharedListing> share);
  // The live set of the prepared folder's names; null before the first preparation.
  const FolderWatch* Watch() const noexcept { return watch_.get(); }
  FolderWatch* Watch() noexcept { return watch_.get(); }
  // Below this much free space on the folder's volume the user is warned.
  static constexpr std::uint64_t kLowSpaceBytes = 500ull * 1024 * 1024;
  // "Only 420 MB free on D: — recordings may stop."
  static std::wstring LowSpaceText(const FreeSpace& space);
  // "only 420 MB free on D:", for the tooltip.
  static std::wstring LowSpaceNote(const FreeSpace& space);

 protected:
  // A preparation's result, now the prepared folder. Tells its problem through the observer,
  // unless it is the one told last by a preparation for a call.
  virtual void FolderPrepared(const PreparedFolder& prepared, bool for_show);
  // Each decision of the call handler, after the observer's NotificationRead and before its
  // command is sent (the call's end may come inside that send).
  virtual void CallDecided(const CallDecision& decision) { static_cast<void>(decision); }
  void TellUser(const std::wstring& text);

 private:
  void EnsureHook();
  void FolderResultArrived();
  // Whether a recording path's name is in the live set of its folder's names; the disk is asked
  // while that set is not complete (or is of another folder).
  bool NameTaken(const std::wstring& path) const;
  bool SpaceLow() const;
  void WarnOfSpace();

  void ReportRefusal();
  // Unlinks, unless a newer reply has already replaced that window.
  void DropLink(HWND client);
  // Links to this window (null: unlinks) and tells the observer of a change.
  void SetLink(HWND client);

  CallHandler call_handler_;

  ApplicationWindow& window_;
  // Removed on destruction; the window skips a removed hook even in a dispatch that is under way.
  int hook_id_ = 0;
  ClientLinkObserver* observer_ = nullptr;

  FolderPreparer preparer_;
  bool show_preparation_ = false;
  std::unique_ptr<FolderWatch> watch_;
  std::shared_ptr<SharedListing> watch_share_;  // for the next watch made
  std::wstring watch_client_text_;  // the prepared folder's text for the client, as paths start
  std::wstring last_told_problem_;
  std::optional<FreeSpace> space_;
  // Calls given a recording command and not ended; those already warned of little space.
  std::unordered_set<std::wstring> recording_calls_;
  std::unordered_set<std::wstring> space_warned_calls_;
};

}  // namespace callwright
