#include "support/recycle_bin_win.h"

// After windows.h.
#include <shlobj.h>

#include <atomic>

#include "ui/toolkit/com.h"

namespace callwright::test {

namespace {
FakeRecycleBin* g_bin = nullptr;

std::wstring FileSystemPath(IShellItem* item) {
  PWSTR path = nullptr;
  if (!item || FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, &path))) return {};
  std::wstring text(path);
  ::CoTaskMemFree(path);
  return text;
}

std::wstring NameOf(const std::wstring& path) {
  const std::size_t separator = path.find_last_of(L"\\/");
  return separator == std::wstring::npos ? path : path.substr(separator + 1);
}
}  // namespace

class FakeRecycleBin::FileOperation final : public ComObject<IFileOperation> {
 public:
  FileOperation(FakeRecycleBin& bin, std::size_t index) : bin_(bin), index_(index) {}

  HRESULT STDMETHODCALLTYPE Advise(IFileOperationProgressSink* sink, DWORD* cookie) override {
    if (!sink || !cookie) return E_POINTER;
    if (Unimplemented()) return E_NOTIMPL;
    sink_ = sink;
    *cookie = 7;
    Record([](Operation& o) { o.advised = true; });
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override {
    if (cookie != 7 || !sink_) return E_INVALIDARG;
    sink_.Reset();
    Record([](Operation& o) { o.unadvised = true; });
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetOperationFlags(DWORD flags) override {
    if (Unimplemented()) return E_NOTIMPL;
    Record([flags](Operation& o) { o.flags = flags; });
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DeleteItem(IShellItem* item, IFileOperationProgressSink* item_sink) override {
    if (!item) return E_INVALIDARG;
    if (Unimplemented()) return E_NOTIMPL;
    items_.emplace_back(item);
    item_sinks_.emplace_back(item_sink);
    const std::wstring path = FileSystemPath(item);
    Record([&](Operation& o) { o.deleted.push_back(path); });
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE PerformOperations() override {
    if (Unimplemented()) return E_NOTIMPL;
    HRESULT result = S_OK;
    Volume volume;
    {
      const std::lock_guard guard(bin_.lock_);
      volume = bin_.volume_;
    }
    for (std::size_t i = 0; i < items_.size(); ++i) {
      const DWORD flags = volume == Volume::WithBin ? TSF_DELETE_RECYCLE_IF_POSSIBLE : 0;
      for (IFileOperationProgressSink* sink : {sink_.Get(), item_sinks_[i].Get()}) {
        if (sink && FAILED(sink->PreDeleteItem(flags, items_[i].Get()))) {
          aborted_ = TRUE;
          break;
        }
      }
      if (aborted_) continue;
      const std::wstring path = FileSystemPath(items_[i].Get());
      const bool done = volume == Volume::WithBin
                            ? ::MoveFileExW(path.c_str(), (bin_.Folder() + L"\\" + NameOf(path)).c_str(),
                                            MOVEFILE_REPLACE_EXISTING) != FALSE
                            : ::DeleteFileW(path.c_str()) != FALSE;
      if (!done) result = HRESULT_FROM_WIN32(::GetLastError());
    }
    Record([result](Operation& o) {
      o.performed = true;
      o.result = result;
    });
    return result;
  }
  HRESULT STDMETHODCALLTYPE GetAnyOperationsAborted(BOOL* aborted) override {
    if (!aborted) return E_POINTER;
    *aborted = aborted_;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE SetProgressMessage(LPCWSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetProgressDialog(IOperationsProgressDialog*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetProperties(IPropertyChangeArray*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetOwnerWindow(HWND) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ApplyPropertiesToItem(IShellItem*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ApplyPropertiesToItems(IUnknown*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE RenameItem(IShellItem*, LPCWSTR, IFileOperationProgressSink*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE RenameItems(IUnknown*, LPCWSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE MoveItem(IShellItem*, IShellItem*, LPCWSTR, IFileOperationProgressSink*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE MoveItems(IUnknown*, IShellItem*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CopyItem(IShellItem*, IShellItem*, LPCWSTR, IFileOperationProgressSink*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CopyItems(IUnknown*, IShellItem*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DeleteItems(IUnknown*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE NewItem(IShellItem*, DWORD, LPCWSTR, LPCWSTR, IFileOperationProgressSink*) override {
    return E_NOTIMPL;
  }

 private:
  ~FileOperation() = default;

  bool Unimplemented() const {
    const std::lock_guard guard(bin_.lock_);
    return bin_.volume_ == Volume::Unimplemented;
  }

  template <typename F>
  void Record(F&& change) {
    const std::lock_guard guard(bin_.lock_);
    change(bin_.operations_[index_]);
  }

  FakeRecycleBin& bin_;
  std::size_t index_;
  ComPtr<IFileOperationProgressSink> sink_;
  std::vector<ComPtr<IShellItem>> items_;
  std::vector<ComPtr<IFileOperationProgressSink>> item_sinks_;
  BOOL aborted_ = FALSE;
};

FakeRecycleBin::FakeRecycleBin(Volume volume) : volume_(volume), previous_(CreateFileOperation) {
  g_bin = this;
  CreateFileOperation = &FakeRecycleBin::Create;
}

FakeRecycleBin::~FakeRecycleBin() {
  CreateFileOperation = previous_;
  g_bin = nullptr;
}

void FakeRecycleBin::SetVolume(Volume volume) {
  const std::lock_guard guard(lock_);
  volume_ = volume;
}

std::vector<FakeRecycleBin::Operation> FakeRecycleBin::Operations() const {
  const std::lock_guard guard(lock_);
  return operations_;
}

HRESULT FakeRecycleBin::Create(IFileOperation** operation) {
  if (!operation) return E_POINTER;
  *operation = nullptr;
  FakeRecycleBin& bin = *g_bin;
  Operation made;
  made.thread = ::GetCurrentThreadId();
  APTTYPEQUALIFIER qualifier{};
  if (FAILED(::CoGetApartmentType(&made.apartment, &qualifier))) made.apartment = APTTYPE_CURRENT;
  const std::lock_guard guard(bin.lock_);
  if (bin.volume_ == Volume::NoOperation) {
    bin.operations_.push_back(made);
    return REGDB_E_CLASSNOTREG;
  }
  bin.operations_.push_back(made);
  *operation = new FileOperation(bin, bin.operations_.size() - 1);
  return S_OK;
}

}  // namespace callwright::test
