// callwright-uidriver: drives the program's windows from outside for the demo, the way a user
// would: buttons through the same messages a click sends, the list's header and the search box
// with real mouse and key input.
//
//   wait <caption prefix> <timeout ms>       until a visible top-level window with that caption exists
//   click <caption prefix> <control text>    clicks the control (a button) with that text
//   move <caption prefix> <x> <y>            moves the window
//   close <caption prefix>                   closes the window as its close box does
//   answer <caption> <button text>           waits up to 5 s for a message box, presses its button
//   header <caption prefix> <column index>   clicks the list's column header with the mouse
//   type <caption prefix> <text>             clicks into the window's edit box and types the text
//
// Exit code 0 on success, 1 when the window or control was not found, 2 on bad arguments.
#include <windows.h>
// After windows.h.
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

struct Search {
  std::wstring prefix;
  const wchar_t* window_class = nullptr;
  HWND found = nullptr;
};

std::wstring TextOf(HWND hwnd) {
  wchar_t buffer[512] = {};
  ::GetWindowTextW(hwnd, buffer, 512);
  return buffer;
}

HWND FindTopLevel(const std::wstring& prefix, const wchar_t* window_class = nullptr) {
  Search search{prefix, window_class};
  ::EnumWindows(
      [](HWND hwnd, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        if (!::IsWindowVisible(hwnd)) return TRUE;
        if (s->window_class) {
          wchar_t name[64] = {};
          ::GetClassNameW(hwnd, name, 64);
          if (std::wcscmp(name, s->window_class) != 0) return TRUE;
        }
        if (TextOf(hwnd).rfind(s->prefix, 0) != 0) return TRUE;
        s->found = hwnd;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND WaitTopLevel(const std::wstring& prefix, DWORD timeout_ms, const wchar_t* window_class = nullptr) {
  const ULONGLONG end = ::GetTickCount64() + timeout_ms;
  for (;;) {
    if (HWND hwnd = FindTopLevel(prefix, window_class)) return hwnd;
    if (::GetTickCount64() >= end) return nullptr;
    ::Sleep(50);
  }
}

// The first descendant of `parent` that `wanted` accepts.
template <typename Wanted>
HWND FindChildWhere(HWND parent, Wanted wanted) {
  std::vector<HWND> children;
  ::EnumChildWindows(
      parent,
      [](HWND hwnd, LPARAM param) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&children));
  const auto found = std::find_if(children.begin(), children.end(), wanted);
  return found != children.end() ? *found : nullptr;
}

HWND FindChild(HWND parent, const std::wstring& text) {
  return FindChildWhere(parent, [&](HWND hwnd) { return TextOf(hwnd) == text; });
}

HWND FindChildOfClass(HWND parent, const wchar_t* window_class) {
  return FindChildWhere(parent, [&](HWND hwnd) {
    wchar_t name[64] = {};
    ::GetClassNameW(hwnd, name, 64);
    return ::_wcsicmp(name, window_class) == 0 && ::IsWindowVisible(hwnd);
  });
}

void SendInputs(INPUT* inputs, UINT count) {
  ::SendInput(count, inputs, sizeof(INPUT));
  ::Sleep(100);
}

// A left click at a screen point, through the system's input queue.
void ClickAt(HWND window, POINT point) {
  ::SetForegroundWindow(window);
  ::SetCursorPos(point.x, point.y);
  ::Sleep(100);
  INPUT clicks[2] = {};
  clicks[0].type = clicks[1].type = INPUT_MOUSE;
  clicks[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  clicks[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInputs(clicks, 2);
}

POINT CentreOf(HWND hwnd) {
  RECT rect{};
  ::GetWindowRect(hwnd, &rect);
  return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

// Column widths come by message (no pointers cross the process boundary); the header lies over them.
bool ClickHeader(HWND window, int column) {
  HWND list = FindChildOfClass(window, L"SysListView32");
  HWND header = list ? FindChildOfClass(list, L"SysHeader32") : nullptr;
  if (!header) return false;
  RECT rect{};
  ::GetWindowRect(header, &rect);
  int left = rect.left;
  for (int i = 0; i < column; ++i) left += static_cast<int>(::SendMessageW(list, LVM_GETCOLUMNWIDTH, i, 0));
  const int width = static_cast<int>(::SendMessageW(list, LVM_GETCOLUMNWIDTH, column, 0));
  if (width <= 0) return false;
  ClickAt(window, {left + width / 2, (rect.top + rect.bottom) / 2});
  return true;
}

bool TypeInto(HWND window, const std::wstring& text) {
  HWND edit = FindChildOfClass(window, L"Edit");
  if (!edit) return false;
  ClickAt(window, CentreOf(edit));
  for (wchar_t c : text) {
    INPUT keys[2] = {};
    keys[0].type = keys[1].type = INPUT_KEYBOARD;
    keys[0].ki.wScan = keys[1].ki.wScan = c;
    keys[0].ki.dwFlags = KEYEVENTF_UNICODE;
    keys[1].ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
    SendInputs(keys, 2);
  }
  return true;
}

int Usage() {
  std::fputws(L"usage: callwright-uidriver wait|click|move|close|answer|header|type ...\n", stderr);
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return Usage();
  const std::wstring command = argv[1];
  const std::wstring caption = argv[2];
  if (command == L"wait" && argc == 4) {
    return WaitTopLevel(caption, static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10))) ? 0 : 1;
  }
  if (command == L"click" && argc == 4) {
    HWND window = WaitTopLevel(caption, 5000);
    HWND control = window ? FindChild(window, argv[3]) : nullptr;
    if (!control) return 1;
    // Posted, so that a question the click opens does not block the driver.
    ::PostMessageW(control, BM_CLICK, 0, 0);
    return 0;
  }
  if (command == L"move" && argc == 5) {
    HWND window = WaitTopLevel(caption, 5000);
    if (!window) return 1;
    ::SetWindowPos(window, nullptr, _wtoi(argv[3]), _wtoi(argv[4]), 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return 0;
  }
  if (command == L"close" && argc == 3) {
    HWND window = WaitTopLevel(caption, 5000);
    if (!window) return 1;
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    return 0;
  }
  if (command == L"answer" && argc == 4) {
    HWND box = WaitTopLevel(caption, 5000, L"#32770");
    HWND button = box ? FindChild(box, argv[3]) : nullptr;
    if (!button) return 1;
    ::PostMessageW(button, BM_CLICK, 0, 0);
    return 0;
  }
  if (command == L"header" && argc == 4) {
    HWND window = WaitTopLevel(caption, 5000);
    return window && ClickHeader(window, _wtoi(argv[3])) ? 0 : 1;
  }
  if (command == L"type" && argc == 4) {
    HWND window = WaitTopLevel(caption, 5000);
    return window && TypeInto(window, argv[3]) ? 0 : 1;
  }
  return Usage();
}
