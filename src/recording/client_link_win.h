#pragma once
// The link to the VoIP client's desktop API: discovery broadcast, attach replies and copy-data
// texts, all through the application's hidden window. The main window derives from it and so
// carries the link's fields.
#include <windows.h>

#include <string_view>

namespace callwright {

class ClientLink {
 public:
  ClientLink() = default;
  virtual ~ClientLink();  // removes the hook: the application window outlives us
  ClientLink(const ClientLink&) = delete;
  ClientLink& operator=(const ClientLink&) = delete;

  // Starts a fresh link: unlinked until the client's next attach reply.
  void DiscoverClient();
  // Sends one command to the linked client; dropped while unlinked or when too long.
  void SendCommand(std::string_view command);
  // One notification from the linked client (bytes up to the NUL).
  void HandleNotification(std::string_view text);

  UINT MsgAttach = 0;
  UINT MsgDiscover = 0;
  HWND SkypeWindowHandle = nullptr;
  bool forbidden = false;

 private:
  int hook_id_ = 0;
};

}  // namespace callwright
