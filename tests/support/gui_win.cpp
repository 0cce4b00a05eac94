#include "support/gui_win.h"

#include <map>

#include "ui/toolkit/accessible.h"
#include "ui/toolkit/application.h"

namespace callwright::test {

namespace {

void DispatchPending() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

// Waits for input or the deadline, whichever comes first.
void WaitForInput(ULONGLONG deadline) {
  const ULONGLONG now = ::GetTickCount64();
  const DWORD left = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
  ::MsgWaitForMultipleObjects(0, nullptr, FALSE, left < 10 ? left : 10, QS_ALLINPUT);
}

std::map<UINT_PTR, RepeatingTick*>& Ticks() {
  static thread_local std::map<UINT_PTR, RepeatingTick*> ticks;
  return ticks;
}

}  // namespace

std::wstring ClassName(HWND window) {
  wchar_t name[64] = {};
  const int length = ::GetClassNameW(window, name, 64);
  return std::wstring(name, length > 0 ? static_cast<std::size_t>(length) : 0);
}

std::vector<HWND> ProcessWindows(DWORD process_id) {
  struct Search {
    DWORD process_id;
    std::vector<HWND> found;
  } search{process_id, {}};
  ::EnumWindows(
      [](HWND window, LPARAM param) -> BOOL {
        auto& s = *reinterpret_cast<Search*>(param);
        DWORD owner = 0;
        ::GetWindowThreadProcessId(window, &owner);
        if (owner == s.process_id) s.found.push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::vector<HWND> WineTrayIcons() {
  std::vector<HWND> tops;
  ::EnumWindows(
      [](HWND top, LPARAM param) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(top);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&tops));
  std::vector<HWND> icons;
  for (HWND top : tops) {
    for (HWND child : ChildWindows(top)) {
      if (ClassName(child) == L"__winex11_tray_icon" && ::IsWindowVisible(child)) icons.push_back(child);
    }
  }
  return icons;
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeout_ms) {
  const ULONGLONG deadline = ::GetTickCount64() + timeout_ms;
  for (;;) {
    DispatchPending();
    const bool finished = done();
    if (finished || ::GetTickCount64() >= deadline) return finished;
    WaitForInput(deadline);
  }
}

void PumpFor(DWORD duration_ms) {
  const ULONGLONG deadline = ::GetTickCount64() + duration_ms;
  do {
    DispatchPending();
    WaitForInput(deadline);
  } while (::GetTickCount64() < deadline);
  DispatchPending();
}

RepeatingTick::RepeatingTick(UINT interval_ms, std::function<void()> tick) : tick_(std::move(tick)) {
  id_ = ::SetTimer(nullptr, 0, interval_ms, &RepeatingTick::TimerProc);
  if (id_ != 0) Ticks()[id_] = this;
}

RepeatingTick::~RepeatingTick() {
  if (id_ == 0) return;
  ::KillTimer(nullptr, id_);
  Ticks().erase(id_);
}

void CALLBACK RepeatingTick::TimerProc(HWND, UINT, UINT_PTR id, DWORD) {
  const auto found = Ticks().find(id);
  if (found == Ticks().end()) return;
  RepeatingTick* self = found->second;
  if (self->running_) return;
  self->running_ = true;
  self->tick_();
  // The tick may have ended this object (a test returning from inside it never does).
  if (Ticks().count(id)) self->running_ = false;
}

std::vector<HWND> FindMessageBoxes(DWORD process_id, std::wstring_view caption) {
  std::vector<HWND> boxes;
  for (HWND window : ProcessWindows(process_id)) {
    if (::IsWindowVisible(window) && ClassName(window) == L"#32770" && WindowText(window) == caption) {
      boxes.push_back(window);
    }
  }
  return boxes;
}

HWND FindMessageBox(DWORD process_id, std::wstring_view caption) {
  const std::vector<HWND> boxes = FindMessageBoxes(process_id, caption);
  return boxes.empty() ? nullptr : boxes.front();
}

HWND WaitForMessageBox(DWORD process_id, std::wstring_view caption, DWORD timeout_ms) {
  HWND box = nullptr;
  PumpUntil([&] { return (box = FindMessageBox(process_id, caption)) != nullptr; }, timeout_ms);
  return box;
}

std::wstring MessageBoxText(HWND box) {
  // The text is the static control with id 0xFFFF; fall back to the first other static.
  if (HWND text = ::GetDlgItem(box, 0xFFFF)) return WindowText(text);
  std::wstring result;
  for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    if (ClassName(child) == L"Static" && !WindowText(child).empty()) return WindowText(child);
  }
  return result;
}

bool HasButton(HWND box, int button_id) {
  HWND button = ::GetDlgItem(box, button_id);
  return button && ::IsWindowVisible(button);
}

bool PressButton(HWND box, int button_id) {
  HWND button = ::GetDlgItem(box, button_id);
  if (!button || !::IsWindowVisible(button)) return false;
  return ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(button_id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

std::wstring WindowText(HWND window) {
  const int length = ::GetWindowTextLengthW(window);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = ::GetWindowTextW(window, text.data(), length + 1);
  text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
  return text;
}

std::vector<HWND> ChildWindows(HWND parent) {
  std::vector<HWND> children;
  ::EnumChildWindows(
      parent,
      [](HWND child, LPARAM param) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(child);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&children));
  return children;
}

bool RunLoopUntil(const std::function<bool()>& done, DWORD timeout_ms) {
  const ULONGLONG deadline = ::GetTickCount64() + timeout_ms;
  for (;;) {
    Application::Instance().ProcessMessages();
    if (done()) return true;
    if (::GetTickCount64() >= deadline) return false;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

void RunLoopFor(DWORD duration_ms) {
  RunLoopUntil([] { return false; }, duration_ms);
}

HWND FindButton(HWND window, const std::wstring& caption) {
  for (HWND child : ChildWindows(window)) {
    // Read as shown: without the access-key mark.
    if (WithoutAccessKeyMarks(WindowText(child)) == caption) return child;
  }
  return nullptr;
}

HWND FindProcessWindow(DWORD process_id, std::wstring_view caption, bool visible_only) {
  for (HWND window : ProcessWindows(process_id)) {
    if ((!visible_only || ::IsWindowVisible(window)) && WindowText(window) == caption) return window;
  }
  return nullptr;
}

HWND FocusOfThreadOf(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  return ::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus : nullptr;
}

HWND FindPopupMenu(DWORD process_id) {
  for (HWND window : ProcessWindows(process_id)) {
    if (::IsWindowVisible(window) && ClassName(window) == L"#32768") return window;
  }
  return nullptr;
}

HMENU MenuOf(HWND menu_window) { return reinterpret_cast<HMENU>(::SendMessageW(menu_window, MN_GETHMENU, 0, 0)); }

std::vector<std::wstring> MenuItemTexts(HMENU menu) {
  std::vector<std::wstring> texts;
  const int count = ::GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE;
    ::GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
    if (info.fType & MFT_SEPARATOR) {
      texts.emplace_back(L"-");
      continue;
    }
    wchar_t text[128] = {};
    ::GetMenuStringW(menu, static_cast<UINT>(i), text, 128, MF_BYPOSITION);
    texts.emplace_back(text);
  }
  return texts;
}

void ClickAt(POINT at) {
  ::SetCursorPos(at.x, at.y);
  INPUT inputs[2] = {};
  inputs[0].type = INPUT_MOUSE;
  inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  inputs[1].type = INPUT_MOUSE;
  inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  ::SendInput(2, inputs, sizeof(INPUT));
}

void RightClickAt(POINT at) {
  ::SetCursorPos(at.x, at.y);
  INPUT inputs[2] = {};
  inputs[0].type = INPUT_MOUSE;
  inputs[0].mi.dwFlags = MOUSEEVENTF_RIGHTDOWN;
  inputs[1].type = INPUT_MOUSE;
  inputs[1].mi.dwFlags = MOUSEEVENTF_RIGHTUP;
  ::SendInput(2, inputs, sizeof(INPUT));
}

namespace {
void SendMouse(DWORD flags) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = flags;
  ::SendInput(1, &input, sizeof(INPUT));
}

// A move as the mouse makes it, in absolute coordinates of the primary screen (0..65535).
void MoveMouse(POINT to) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dx = static_cast<LONG>((to.x * 65536 + ::GetSystemMetrics(SM_CXSCREEN) - 1) / ::GetSystemMetrics(SM_CXSCREEN));
  input.mi.dy = static_cast<LONG>((to.y * 65536 + ::GetSystemMetrics(SM_CYSCREEN) - 1) / ::GetSystemMetrics(SM_CYSCREEN));
  input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  ::SendInput(1, &input, sizeof(INPUT));
}
}  // namespace

void DragWithMouse(POINT from, POINT to, int steps, DWORD pause_ms) {
  MoveMouse(from);
  ::Sleep(pause_ms);
  SendMouse(MOUSEEVENTF_LEFTDOWN);
  ::Sleep(pause_ms);
  for (int i = 1; i <= steps; ++i) {
    MoveMouse({from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps});
    ::Sleep(pause_ms);
  }
  SendMouse(MOUSEEVENTF_LEFTUP);
}

void PressKeyWith(WORD modifier, WORD virtual_key) {
  INPUT inputs[4] = {};
  const WORD keys[4] = {modifier, virtual_key, virtual_key, modifier};
  for (int i = 0; i < 4; ++i) {
    inputs[i].type = INPUT_KEYBOARD;
    inputs[i].ki.wVk = keys[i];
    inputs[i].ki.wScan = static_cast<WORD>(::MapVirtualKeyW(keys[i], MAPVK_VK_TO_VSC));
    inputs[i].ki.dwFlags = i >= 2 ? KEYEVENTF_KEYUP : 0;
  }
  ::SendInput(4, inputs, sizeof(INPUT));
}

void PressKey(WORD virtual_key) {
  INPUT inputs[2] = {};
  for (int i = 0; i < 2; ++i) {
    inputs[i].type = INPUT_KEYBOARD;
    inputs[i].ki.wVk = virtual_key;
    inputs[i].ki.wScan = static_cast<WORD>(::MapVirtualKeyW(virtual_key, MAPVK_VK_TO_VSC));
    inputs[i].ki.dwFlags = i == 1 ? KEYEVENTF_KEYUP : 0;
  }
  ::SendInput(2, inputs, sizeof(INPUT));
}

bool ClickMenuItem(HWND menu_window, int position) {
  RECT item{};
  if (!::GetMenuItemRect(nullptr, MenuOf(menu_window), static_cast<UINT>(position), &item)) return false;
  ClickAt({(item.left + item.right) / 2, (item.top + item.bottom) / 2});
  return true;
}

}  // namespace callwright::test
