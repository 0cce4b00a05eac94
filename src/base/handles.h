#pragma once
// Owners for Win32 handles: non-copyable, movable, released exactly once.
#include <windows.h>

#include <utility>

namespace callwright {

template <typename Traits>
class UniqueHandle {
 public:
  using Handle = typename Traits::Handle;

  UniqueHandle() noexcept = default;
  explicit UniqueHandle(Handle h) noexcept : handle_(h) {}
  ~UniqueHandle() { Reset(); }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }

  Handle Get() const noexcept { return handle_; }
  explicit operator bool() const noexcept { return Traits::IsValid(handle_); }
  Handle Release() noexcept { return std::exchange(handle_, Traits::Invalid()); }
  void Reset(Handle h = Traits::Invalid()) noexcept {
    Handle old = std::exchange(handle_, h);
    if (Traits::IsValid(old)) Traits::Close(old);
  }
  // For APIs that fill in a handle through a pointer.
  Handle* Put() noexcept {
    Reset();
    return &handle_;
  }

 private:
  Handle handle_ = Traits::Invalid();
};

namespace handle_traits {
template <typename H, auto CloseFn>
struct Basic {
  using Handle = H;
  static Handle Invalid() noexcept { return nullptr; }
  static bool IsValid(Handle h) noexcept { return h != nullptr; }
  static void Close(Handle h) noexcept { CloseFn(h); }
};
struct Kernel {
  using Handle = HANDLE;
  static Handle Invalid() noexcept { return nullptr; }
  static bool IsValid(Handle h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(Handle h) noexcept { ::CloseHandle(h); }
};
struct File : Kernel {
  static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
};
struct Find {
  using Handle = HANDLE;
  static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static bool IsValid(Handle h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(Handle h) noexcept { ::FindClose(h); }
};
template <typename H>
struct Gdi {
  using Handle = H;
  static Handle Invalid() noexcept { return nullptr; }
  static bool IsValid(Handle h) noexcept { return h != nullptr; }
  static void Close(Handle h) noexcept { ::DeleteObject(h); }
};
}  // namespace handle_traits

inline void CloseRegKey(HKEY key) noexcept { ::RegCloseKey(key); }
inline void DestroyWindowHandle(HWND hwnd) noexcept { ::DestroyWindow(hwnd); }
inline void DestroyIconHandle(HICON icon) noexcept { ::DestroyIcon(icon); }
inline void DeleteDcHandle(HDC dc) noexcept { ::DeleteDC(dc); }
inline void DestroyMenuHandle(HMENU menu) noexcept { ::DestroyMenu(menu); }

using KernelHandle = UniqueHandle<handle_traits::Kernel>;  // mutexes, processes, events
using FileHandle = UniqueHandle<handle_traits::File>;      // CreateFileW results
using FindHandle = UniqueHandle<handle_traits::Find>;      // FindFirstFileW results
using RegKey = UniqueHandle<handle_traits::Basic<HKEY, CloseRegKey>>;
using WindowHandle = UniqueHandle<handle_traits::Basic<HWND, DestroyWindowHandle>>;
using IconHandle = UniqueHandle<handle_traits::Basic<HICON, DestroyIconHandle>>;
using DcHandle = UniqueHandle<handle_traits::Basic<HDC, DeleteDcHandle>>;
using MenuHandle = UniqueHandle<handle_traits::Basic<HMENU, DestroyMenuHandle>>;
using BitmapHandle = UniqueHandle<handle_traits::Gdi<HBITMAP>>;
using FontHandle = UniqueHandle<handle_traits::Gdi<HFONT>>;
using BrushHandle = UniqueHandle<handle_traits::Gdi<HBRUSH>>;

}  // namespace callwright
