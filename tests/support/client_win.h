#pragma once
// Linking a client link to a client that runs as a second process.
#include <windows.h>

#include "recording/client_link_win.h"

namespace callwright::test {

// Discovers (pumping this thread's messages) until the client answers: it needs a moment to
// start. True when the link has the client's window.
bool LinkToClient(ClientLink& link, DWORD timeout_ms = 15000);

}  // namespace callwright::test
