#pragma once
// The link to the VoIP client's desktop API: discovery broadcast, attach replies and copy-data
// texts, all through the application's hidden window. The main window derives from it and so
// carries the link's fields.
#include <windows.h>

#include <memory>
#include <string_view>

#include "ui/toolkit/application.h"

namespace callwright {

// Told what the link does, for a view of its state; never changes what the link does.
class ClientLinkObserver {
 public:
  // A discovery goes out (the link's client window is still the one of the last reply).
  virtual void DiscoveryStarted() = 0;
  virtual void AttachReplied(HWND client, LPARAM status) = 0;
  // Each notification of the linked client, before it is handled.
  virtual void NotificationArrived(std::string_view text) = 0;
  // The recording command that answers this notification is about to be sent to the client.
  virtual void RecordingCommandSending(std::string_view notification) = 0;

 protected:
  ~ClientLinkObserver() = default;
};

class ClientLink {
 public:
  ClientLink();
  virtual ~ClientLink();  // removes the hook: the application window outlives us
  ClientLink(const ClientLink&) = delete;
  ClientLink& operator=(const ClientLink&) = delete;

  // Starts a fresh link: unlinked until the client's next attach reply. Never waits.
  void DiscoverClient();
  // Sends one command to the linked client and waits for it to be handled; dropped while
  // unlinked or when longer than kMaxCommandLength.
  void SendCommand(std::string_view command);
  // One notification from the linked client (bytes up to the NUL).
  void HandleNotification(std::string_view text);
  // The application window's messages: attach replies and the linked client's notifications.
  bool AppWindowHook(HookMessage& message);

  UINT MsgAttach = 0;
  UINT MsgDiscover = 0;
  HWND SkypeWindowHandle = nullptr;
  bool forbidden = false;

  // One observer at most; null for none.
  void SetObserver(ClientLinkObserver* observer) noexcept { observer_ = observer; }

 private:
  void ReportRefusal();

  int hook_id_ = 0;
  // What the installed hook reaches; cleared on destruction, so that a copy of the hook that the
  // application window is still running cannot reach a destroyed object.
  std::shared_ptr<ClientLink*> self_;
  ClientLinkObserver* observer_ = nullptr;
};

}  // namespace callwright
