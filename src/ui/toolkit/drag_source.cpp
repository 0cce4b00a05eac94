#include "ui/toolkit/drag_source.h"

// After windows.h.
#include <ole2.h>
#include <shlobj.h>


namespace callwright {

namespace {

std::wstring ParentOf(const std::wstring& path) {
  const std::size_t separator = path.find_last_of(L"\\/");
  return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator);
}

// The drag's source side as the documentation asks for a left-button drag: Esc cancels, the left
// button's release drops, and the system draws the cursors.
class DropSource final : public ComObject<IDropSource> {
 public:
  HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape_pressed, DWORD key_state) override {
    if (escape_pressed) return DRAGDROP_S_CANCEL;
    // A right button pressed during a left-button drag cancels it, as in Explorer.
    if (key_state & MK_RBUTTON) return DRAGDROP_S_CANCEL;
    if (!(key_state & MK_LBUTTON)) return DRAGDROP_S_DROP;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }

 private:
  ~DropSource() = default;
};

}  // namespace

ComPtr<IDataObject> ShellFilesDataObject(HWND owner, const std::vector<std::wstring>& paths) {
  if (paths.empty()) return nullptr;
  const std::wstring folder_text = ParentOf(paths.front());
  std::vector<IdList> items;
  for (const std::wstring& path : paths) {
    if (::CompareStringOrdinal(ParentOf(path).c_str(), -1, folder_text.c_str(), -1, TRUE) != CSTR_EQUAL) continue;
    PIDLIST_ABSOLUTE parsed = nullptr;
    if (FAILED(::SHParseDisplayName(path.c_str(), nullptr, &parsed, 0, nullptr)) || !parsed) return nullptr;
    items.emplace_back(parsed);
  }
  ComPtr<IShellFolder> folder;
  PCUITEMID_CHILD first_child = nullptr;
  if (FAILED(::SHBindToParent(items.front().get(), IID_PPV_ARGS(&folder), &first_child))) return nullptr;
  std::vector<PCUITEMID_CHILD> children;
  for (const IdList& item : items) children.push_back(::ILFindLastID(item.get()));
  ComPtr<IDataObject> data;
  // The object copies the IDs it is given: the lists may go after the call.
  if (FAILED(folder->GetUIObjectOf(owner, static_cast<UINT>(children.size()), children.data(), IID_IDataObject,
                                   nullptr, reinterpret_cast<void**>(data.GetAddressOf())))) {
    return nullptr;
  }
  return data;
}

DWORD DragFilesOut(HWND owner, const std::vector<std::wstring>& paths) {
  const ComPtr<IDataObject> data = ShellFilesDataObject(owner, paths);
  if (!data) return DROPEFFECT_NONE;
  ComPtr<IDropSource> source;
  source.Attach(new DropSource);
  DWORD effect = DROPEFFECT_NONE;
  const HRESULT result = ::DoDragDrop(data.Get(), source.Get(), DROPEFFECT_COPY, &effect);
  return result == DRAGDROP_S_DROP ? effect : DROPEFFECT_NONE;
}

}  // namespace callwright
