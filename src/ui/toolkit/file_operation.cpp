#include "ui/toolkit/file_operation.h"

// After windows.h.
#include <shlobj.h>

#include <atomic>

#include "ui/toolkit/com.h"

namespace callwright {

FileOperationFactory CreateFileOperation = &CreateShellFileOperation;

HRESULT CreateShellFileOperation(IFileOperation** operation) {
  return ::CoCreateInstance(CLSID_FileOperation, nullptr, CLSCTX_ALL, IID_PPV_ARGS(operation));
}

namespace {

// Only PreDeleteItem matters; every other notice is taken as it comes.
class RecycleWatch final : public ComObject<IFileOperationProgressSink> {
 public:
  bool Refused() const noexcept { return refused_; }

  HRESULT STDMETHODCALLTYPE PreDeleteItem(DWORD flags, IShellItem*) override {
    if (flags & TSF_DELETE_RECYCLE_IF_POSSIBLE) return S_OK;
    // It would go for good: a failure here cancels the item.
    refused_ = true;
    return HRESULT_FROM_WIN32(ERROR_CANCELLED);
  }

  HRESULT STDMETHODCALLTYPE StartOperations() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE FinishOperations(HRESULT) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE PreRenameItem(DWORD, IShellItem*, LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE PostRenameItem(DWORD, IShellItem*, LPCWSTR, HRESULT, IShellItem*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE PreMoveItem(DWORD, IShellItem*, IShellItem*, LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE PostMoveItem(DWORD, IShellItem*, IShellItem*, LPCWSTR, HRESULT, IShellItem*) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE PreCopyItem(DWORD, IShellItem*, IShellItem*, LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE PostCopyItem(DWORD, IShellItem*, IShellItem*, LPCWSTR, HRESULT, IShellItem*) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE PostDeleteItem(DWORD, IShellItem*, HRESULT, IShellItem*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE PreNewItem(DWORD, IShellItem*, LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE PostNewItem(DWORD, IShellItem*, LPCWSTR, LPCWSTR, DWORD, HRESULT, IShellItem*) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE UpdateProgress(UINT, UINT) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE ResetTimer() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE PauseTimer() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE ResumeTimer() override { return S_OK; }

 private:
  ~RecycleWatch() = default;
  bool refused_ = false;
};

}  // namespace

RecycleResult RecycleFile(const std::wstring& path) {
  // Whatever keeps the operation from recycling (no object, flags or sink refused, methods not
  // implemented as in Wine) reads as no Recycle Bin: the caller then asks before deleting for good.
  ComPtr<IFileOperation> operation;
  if (FAILED(CreateFileOperation(operation.GetAddressOf())) || !operation) return RecycleResult::NoRecycleBin;
  // Before Windows 8 the extended flag is refused; FOF_ALLOWUNDO alone recycles there.
  if (FAILED(operation->SetOperationFlags(kRecycleFlags)) &&
      FAILED(operation->SetOperationFlags(kRecycleFlags & ~static_cast<DWORD>(FOFX_RECYCLEONDELETE)))) {
    return RecycleResult::NoRecycleBin;
  }
  ComPtr<IShellItem> item;
  if (FAILED(::SHCreateItemFromParsingName(path.c_str(), nullptr, IID_PPV_ARGS(&item)))) return RecycleResult::Failed;
  ComPtr<RecycleWatch> watch;
  watch.Attach(new RecycleWatch);
  DWORD cookie = 0;
  // Without the sink nothing would stop a deletion for good.
  if (FAILED(operation->Advise(watch.Get(), &cookie))) return RecycleResult::NoRecycleBin;
  HRESULT result = operation->DeleteItem(item.Get(), nullptr);
  if (SUCCEEDED(result)) result = operation->PerformOperations();
  BOOL aborted = FALSE;
  if (SUCCEEDED(result) && FAILED(operation->GetAnyOperationsAborted(&aborted))) aborted = TRUE;
  operation->Unadvise(cookie);
  if (watch->Refused() || result == E_NOTIMPL) return RecycleResult::NoRecycleBin;
  return SUCCEEDED(result) && !aborted ? RecycleResult::Recycled : RecycleResult::Failed;
}

}  // namespace callwright
