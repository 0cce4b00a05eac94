#pragma once
// The link to the VoIP client's desktop API: discovery broadcast, attach replies and copy-data
// texts, all through the application's hidden window. The main window derives from it and so
// carries the link's fields.
#include <windows.h>

#include <memory>
#include <string_view>

#include "recording/notification.h"
#include "ui/toolkit/application.h"

namespace callwright {

class ClientLink {
 public:
  ClientLink();
  virtual ~ClientLink();  // removes the hook: the application window outlives us
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

 private:
  void ReportRefusal();
  // Unlinks, unless a newer reply has already replaced that window.
  void DropLink(HWND client);

  CallHandler call_handler_;

  int hook_id_ = 0;
  // What the installed hook reaches; cleared on destruction, so that a copy of the hook that the
  // application window is still running cannot reach a destroyed object.
  std::shared_ptr<ClientLink*> self_;
};

}  // namespace callwright
