#pragma once
// The current user's Run key (the autostart entries), read and written past the program's own
// routines, and only ever through a redirected HKEY_CURRENT_USER: a value left in the real key
// would start a test program at the next logon.
#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/handles.h"

namespace callwright::test {

inline constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

struct RegistryValue {
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
  bool operator==(const RegistryValue&) const = default;
  // The data as text without its terminating NUL (for REG_SZ values).
  std::wstring Text() const;
};

// Points this process's HKEY_CURRENT_USER at a fresh key below the current one while it lives
// (RegOverridePredefKey), so that the program's own registry calls land there. Redirects nest:
// ending one brings back the one around it. Other processes still see the real key.
//
// The outermost redirect notes the real Run values when it starts and adds a test failure when
// they differ at its end.
class RedirectedCurrentUser {
 public:
  explicit RedirectedCurrentUser(DWORD options = REG_OPTION_NON_VOLATILE);
  ~RedirectedCurrentUser();  // restores, then deletes the key with everything below it
  RedirectedCurrentUser(const RedirectedCurrentUser&) = delete;
  RedirectedCurrentUser& operator=(const RedirectedCurrentUser&) = delete;

  bool Redirected() const noexcept { return redirected_; }
  // Brings back the enclosing redirect, or the real key; the scratch key stays until the end.
  void Restore();
  HKEY Root() const noexcept { return root_.Get(); }

 private:
  RegKey parent_;  // the current user's key when this began
  std::wstring name_;
  RegKey root_;
  bool redirected_ = false;
};

// Whether HKEY_CURRENT_USER is redirected by a RedirectedCurrentUser right now.
bool CurrentUserRedirected();

// The Run key below `user`; empty when it is missing. Reading never creates it.
RegKey OpenRunKey(HKEY user, REGSAM access);
std::optional<RegistryValue> ReadRunValue(std::wstring_view name, HKEY user = HKEY_CURRENT_USER);
std::map<std::wstring, RegistryValue> AllRunValues(HKEY user = HKEY_CURRENT_USER);

// These write only while HKEY_CURRENT_USER is redirected (false otherwise), creating the Run key
// when it is missing.
bool WriteRunValue(std::wstring_view name, DWORD type, const void* data, DWORD size);
bool WriteRunText(std::wstring_view name, std::wstring_view text);
bool WriteRunNumber(std::wstring_view name, DWORD number);
bool DeleteRunValue(std::wstring_view name);

// Lets everyone only read the redirected Run key while it lives (creating it when missing), so
// that every attempt to open it for writing is refused; its permissions come back at the end.
// Locks nothing unless HKEY_CURRENT_USER is redirected.
class RunKeyWriteLock {
 public:
  RunKeyWriteLock();
  ~RunKeyWriteLock();
  RunKeyWriteLock(const RunKeyWriteLock&) = delete;
  RunKeyWriteLock& operator=(const RunKeyWriteLock&) = delete;
  bool Locked() const noexcept { return locked_; }

 private:
  RegKey key_;
  std::vector<BYTE> previous_;
  bool locked_ = false;
};

}  // namespace callwright::test
