#pragma once
// The link to the VoIP client's desktop API: discovery broadcast, attach replies and copy-data
// texts, all through the application's hidden window. The main window derives from it and so
// carries the link's fields.
#include <windows.h>

#include <string_view>

#include "base/application_window_win.h"
#include "base/message_hooks.h"
#include "recording/notification.h"

namespace callwright {

// Told what the link does, for a view of its state; never changes what the link does.
class ClientLinkObserver {
 public:
  // The link now goes to this client window, or to none: an attach reply from another window
  // replaces it; a refusal, or the linked window found gone, drops it. A rediscovery alone, or the
  // same client answering again, changes nothing.
  virtual void LinkChanged(HWND client) = 0;
  // Each notification of the linked client, before it is handled.
  virtual void NotificationArrived(std::string_view text) = 0;
  // The recording command that answers this partner-handle notification is about to be sent.
  virtual void RecordingCommandSending(std::string_view notification) = 0;

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

 private:
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
};

}  // namespace callwright
