// A second process with a window that takes dropped files, for the drag tests:
//   drop_target <left> <top> <width> <height> <result file>
// It shows a window at that place of the screen, registered as an OLE drop target, and once files
// are dropped on it writes to the result file (UTF-16) the effects the source allowed, the effect
// it chose, and one path per line, then ends. A drag that only passes over it changes nothing.
#include <windows.h>
// After windows.h.
#include <ole2.h>
#include <shellapi.h>

#include <atomic>
#include <string>

namespace {

std::wstring g_result_file;

void WriteResult(const std::wstring& text) {
  const HANDLE file = ::CreateFileW(g_result_file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  ::WriteFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
  ::CloseHandle(file);
}

class Target final : public IDropTarget {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDropTarget) {
      *object = static_cast<IDropTarget*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override { return --references_; }  // lives as long as the process

  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject*, DWORD, POINTL, DWORD* effect) override {
    *effect &= DROPEFFECT_COPY;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD* effect) override {
    *effect &= DROPEFFECT_COPY;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DragLeave() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
    const DWORD allowed = *effect;
    *effect &= DROPEFFECT_COPY;
    std::wstring text = L"allowed " + std::to_wstring(allowed) + L"\nchosen " + std::to_wstring(*effect) + L"\n";
    FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    if (SUCCEEDED(data->GetData(&format, &medium))) {
      const auto drop = static_cast<HDROP>(medium.hGlobal);
      const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
      for (UINT i = 0; i < count; ++i) {
        std::wstring path(::DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
        path.resize(::DragQueryFileW(drop, i, path.data(), static_cast<UINT>(path.size())));
        text += path + L"\n";
      }
      ::ReleaseStgMedium(&medium);
    } else {
      text += L"no file list\n";
    }
    WriteResult(text);
    ::PostQuitMessage(0);
    return S_OK;
  }

 private:
  std::atomic<ULONG> references_{1};
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 6) return 2;
  g_result_file = argv[5];
  if (FAILED(::OleInitialize(nullptr))) return 3;
  WNDCLASSW wc{};
  wc.lpfnWndProc = &::DefWindowProcW;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = L"CallwrightTestDropTarget";
  ::RegisterClassW(&wc);
  const HWND window = ::CreateWindowExW(WS_EX_TOPMOST, wc.lpszClassName, L"Drop here", WS_POPUP | WS_BORDER,
                                        _wtoi(argv[1]), _wtoi(argv[2]), _wtoi(argv[3]), _wtoi(argv[4]), nullptr,
                                        nullptr, wc.hInstance, nullptr);
  if (!window) return 4;
  Target target;
  if (FAILED(::RegisterDragDrop(window, &target))) return 5;
  // Shown once it takes drops: the test waits for the window.
  ::ShowWindow(window, SW_SHOWNOACTIVATE);
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  ::RevokeDragDrop(window);
  ::DestroyWindow(window);
  ::OleUninitialize();
  return 0;
}
