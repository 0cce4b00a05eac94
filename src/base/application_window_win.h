#pragma once
// What the client link needs of the program's hidden application window: its handle, the owner
// for a report, and hooks on its messages.
#include <windows.h>

#include <cstdint>
#include <type_traits>

#include "base/message_hooks.h"

namespace callwright {

static_assert(std::is_same_v<UINT, std::uint32_t> && std::is_same_v<WPARAM, std::uintptr_t> &&
                  std::is_same_v<LPARAM, std::intptr_t> && std::is_same_v<LRESULT, std::intptr_t>,
              "HookMessage carries a window message's values unchanged");

class ApplicationWindow {
 public:
  // A real top-level window (broadcasts do not reach message-only windows).
  virtual HWND Handle() const noexcept = 0;
  // The window that owns a box nobody asked for.
  virtual HWND ReportOwner() const = 0;
  // Hooks on the window's messages, run as MessageHookChain runs them. Returns the id for
  // RemoveMessageHook.
  virtual int AddMessageHook(MessageHook hook) = 0;
  virtual void RemoveMessageHook(int id) = 0;

 protected:
  ~ApplicationWindow() = default;
};

}  // namespace callwright
