#include "support/client_win.h"

#include "support/gui_win.h"

namespace callwright::test {

bool LinkToClient(ClientLink& link, DWORD timeout_ms) {
  ULONGLONG last = 0;
  return PumpUntil(
      [&] {
        if (link.SkypeWindowHandle != nullptr) return true;
        // Asking again no more than every 400 ms leaves the starting client time to answer.
        if (::GetTickCount64() - last >= 400) {
          last = ::GetTickCount64();
          link.DiscoverClient();
        }
        return false;
      },
      timeout_ms);
}

}  // namespace callwright::test
