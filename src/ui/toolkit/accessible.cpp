#include "ui/toolkit/accessible.h"

#include <oleacc.h>

#include <atomic>

namespace callwright {

namespace {

// Everything but the name and the role comes from the system's object.
class NamedAccessible final : public IAccessible {
 public:
  NamedAccessible(IAccessible* inner, std::wstring name, AccessibleRole role)
      : inner_(inner), name_(std::move(name)), role_(role) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == __uuidof(IAccessible)) {
      *object = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    // The window and child enumeration the system's object offers as well.
    return inner_->QueryInterface(riid, object);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return inner_->GetTypeInfoCount(count); }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override {
    return inner_->GetTypeInfo(index, lcid, info);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override {
    return inner_->GetIDsOfNames(riid, names, count, lcid, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* exception, UINT* argument) override {
    return inner_->Invoke(id, riid, lcid, flags, params, result, exception, argument);
  }

  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    if (!name) return E_POINTER;
    if (IsSelf(child) && !name_.empty()) {
      *name = ::SysAllocString(name_.c_str());
      return *name ? S_OK : E_OUTOFMEMORY;
    }
    return inner_->get_accName(child, name);
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    if (!role) return E_POINTER;
    if (IsSelf(child) && role_ != AccessibleRole::None) {
      role->vt = VT_I4;
      role->lVal = static_cast<long>(role_);
      return S_OK;
    }
    return inner_->get_accRole(child, role);
  }

  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override { return inner_->get_accParent(parent); }
  HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override { return inner_->get_accChildCount(count); }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override {
    return inner_->get_accChild(child, object);
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override { return inner_->get_accValue(child, value); }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override {
    return inner_->get_accDescription(child, text);
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override { return inner_->get_accState(child, state); }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override { return inner_->get_accHelp(child, help); }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
    return inner_->get_accHelpTopic(file, child, topic);
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
    return inner_->get_accKeyboardShortcut(child, shortcut);
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override { return inner_->get_accFocus(child); }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override { return inner_->get_accSelection(children); }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
    return inner_->get_accDefaultAction(child, action);
  }
  HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override { return inner_->accSelect(flags, child); }
  HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height, VARIANT child) override {
    return inner_->accLocation(left, top, width, height, child);
  }
  HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
    return inner_->accNavigate(direction, start, end);
  }
  HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override { return inner_->accHitTest(x, y, child); }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override { return inner_->accDoDefaultAction(child); }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override { return inner_->put_accName(child, name); }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override { return inner_->put_accValue(child, value); }

 private:
  ~NamedAccessible() { inner_->Release(); }
  static bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

  std::atomic<ULONG> references_{1};
  IAccessible* inner_;
  std::wstring name_;
  AccessibleRole role_;
};

}  // namespace

LRESULT AnswerAccessibleObject(HWND hwnd, WPARAM wparam, LPARAM lparam, const std::wstring& name, AccessibleRole role) {
  if (static_cast<LONG>(lparam) != OBJID_CLIENT || (name.empty() && role == AccessibleRole::None)) return 0;
  IAccessible* inner = nullptr;
  if (FAILED(::CreateStdAccessibleObject(hwnd, OBJID_CLIENT, __uuidof(IAccessible), reinterpret_cast<void**>(&inner))) ||
      !inner) {
    return 0;
  }
  auto* named = new NamedAccessible(inner, name, role);
  const LRESULT result = ::LresultFromObject(__uuidof(IAccessible), wparam, static_cast<IAccessible*>(named));
  named->Release();
  return result > 0 ? result : 0;
}

std::wstring WithoutAccessKeyMarks(const std::wstring& caption) {
  std::wstring text;
  text.reserve(caption.size());
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == L'&') {
      if (i + 1 >= caption.size()) break;
      ++i;
    }
    text.push_back(caption[i]);
  }
  return text;
}

}  // namespace callwright
