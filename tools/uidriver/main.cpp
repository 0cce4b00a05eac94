// callwright-uidriver: drives the program's windows from outside for the demo, the way a user
// would, through the same messages a click sends.
//
//   wait <caption prefix> <timeout ms>       until a visible top-level window with that caption exists
//   click <caption prefix> <control text>    clicks the control (a button) with that text
//   move <caption prefix> <x> <y>            moves the window
//   close <caption prefix>                   closes the window as its close box does
//   answer <caption> <button text>           waits up to 5 s for a message box, presses its button
//
// Exit code 0 on success, 1 when the window or control was not found, 2 on bad arguments.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

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

HWND FindChild(HWND parent, const std::wstring& text) {
  Search search{text};
  ::EnumChildWindows(
      parent,
      [](HWND hwnd, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        if (TextOf(hwnd) != s->prefix) return TRUE;
        s->found = hwnd;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

int Usage() {
  std::fputws(L"usage: callwright-uidriver wait|click|move|close|answer ...\n", stderr);
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
  return Usage();
}
