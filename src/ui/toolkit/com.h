#pragma once
// Owners for COM and shell memory: interface pointers, apartments, global memory blocks and item
// ID lists, each released exactly once.
#include <windows.h>
// After windows.h.
#include <objbase.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <atomic>
#include <cstddef>
#include <cstring>
#include <memory>
#include <type_traits>
#include <utility>

namespace callwright {

template <typename T>
using ComPtr = Microsoft::WRL::ComPtr<T>;

// IUnknown for an object of ours that offers one interface: made with new (one reference), deleted
// at its last Release, from whichever thread the system calls it.
template <typename Interface>
class ComObject : public Interface {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == __uuidof(Interface)) {
      *object = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  virtual ~ComObject() = default;

 private:
  std::atomic<ULONG> references_{1};
};

// Enters an apartment on this thread for the scope's life, and leaves it only when this entry
// counted (S_OK or S_FALSE: every successful CoInitializeEx needs its CoUninitialize).
class ComApartment {
 public:
  explicit ComApartment(DWORD model = COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)
      : result_(::CoInitializeEx(nullptr, model)) {}
  ~ComApartment() {
    if (SUCCEEDED(result_)) ::CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

  // False when the thread is in an apartment of the other model (RPC_E_CHANGED_MODE): COM is
  // still usable, in that apartment.
  bool Entered() const noexcept { return SUCCEEDED(result_); }
  HRESULT Result() const noexcept { return result_; }

 private:
  HRESULT result_;
};

// A movable global memory block (GMEM_MOVEABLE, as the clipboard and STGMEDIUM require), freed
// unless it was handed over.
class GlobalMemory {
 public:
  GlobalMemory() noexcept = default;
  // Null (and bool false) when the memory could not be had.
  explicit GlobalMemory(std::size_t size) noexcept : handle_(::GlobalAlloc(GMEM_MOVEABLE, size)) {}
  ~GlobalMemory() {
    if (handle_) ::GlobalFree(handle_);
  }
  GlobalMemory(GlobalMemory&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  GlobalMemory& operator=(GlobalMemory&& other) noexcept {
    if (this != &other) {
      if (handle_) ::GlobalFree(handle_);
      handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
  }
  GlobalMemory(const GlobalMemory&) = delete;
  GlobalMemory& operator=(const GlobalMemory&) = delete;

  explicit operator bool() const noexcept { return handle_ != nullptr; }
  HGLOBAL Get() const noexcept { return handle_; }
  // For a receiver that takes ownership (SetClipboardData after it succeeded).
  HGLOBAL Release() noexcept { return std::exchange(handle_, nullptr); }
  // Copies `size` bytes into the block; false when it cannot be locked.
  bool Fill(const void* data, std::size_t size) noexcept;

 private:
  HGLOBAL handle_ = nullptr;
};

// GlobalLock for a scope: Data() is null when the block cannot be locked.
class GlobalLockScope {
 public:
  explicit GlobalLockScope(HGLOBAL block) noexcept : block_(block), data_(block ? ::GlobalLock(block) : nullptr) {}
  ~GlobalLockScope() {
    if (data_) ::GlobalUnlock(block_);
  }
  GlobalLockScope(const GlobalLockScope&) = delete;
  GlobalLockScope& operator=(const GlobalLockScope&) = delete;

  void* Data() const noexcept { return data_; }
  std::size_t Size() const noexcept { return data_ ? ::GlobalSize(block_) : 0; }

 private:
  HGLOBAL block_;
  void* data_;
};

inline bool GlobalMemory::Fill(const void* data, std::size_t size) noexcept {
  const GlobalLockScope lock(handle_);
  if (!lock.Data() || lock.Size() < size) return false;
  if (size > 0) std::memcpy(lock.Data(), data, size);
  return true;
}

// An absolute item ID list from the shell, freed with ILFree (CoTaskMemFree).
struct IdListFree {
  void operator()(ITEMIDLIST_ABSOLUTE* list) const noexcept { ::ILFree(list); }
};
using IdList = std::unique_ptr<ITEMIDLIST_ABSOLUTE, IdListFree>;

}  // namespace callwright
