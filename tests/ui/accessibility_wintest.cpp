// What a screen reader gets from the running program: the accessible name and role of every control
// that takes the focus or acts, read from this process as an MSAA client reads them.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleacc.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/gui_win.h"
#include "support/process_win.h"
#include "support/temp_dir_win.h"

namespace callwright {
namespace {

namespace fs = std::filesystem;

struct Accessible {
  HRESULT result = E_FAIL;
  std::wstring name;
  long role = 0;
};

// AccessibleObjectFromWindow wants the interface's GUID; MinGW's IID_IAccessible is an import
// thunk, hence __uuidof.
Accessible ReadAccessible(HWND hwnd) {
  Accessible read;
  IAccessible* object = nullptr;
  read.result = ::AccessibleObjectFromWindow(hwnd, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                            reinterpret_cast<void**>(&object));
  if (FAILED(read.result) || !object) return read;
  VARIANT self{};
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  BSTR name = nullptr;
  if (SUCCEEDED(object->get_accName(self, &name)) && name) read.name = name;
  ::SysFreeString(name);
  VARIANT role{};
  if (SUCCEEDED(object->get_accRole(self, &role)) && role.vt == VT_I4) read.role = role.lVal;
  object->Release();
  return read;
}

// The controls of a class in a window, left to right, then top to bottom.
std::vector<HWND> ControlsOfClass(HWND window, const std::wstring& class_name) {
  std::vector<HWND> found;
  for (HWND child : test::ChildWindows(window)) {
    if (test::ClassName(child) == class_name) found.push_back(child);
  }
  std::sort(found.begin(), found.end(), [](HWND a, HWND b) {
    RECT ra{}, rb{};
    ::GetWindowRect(a, &ra);
    ::GetWindowRect(b, &rb);
    return ra.top != rb.top ? ra.top < rb.top : ra.left < rb.left;
  });
  return found;
}

HWND ControlWithText(HWND window, const std::wstring& text) {
  for (HWND child : test::ChildWindows(window)) {
    if (test::WindowText(child) == text) return child;
  }
  return nullptr;
}

class ComApartment {
 public:
  ComApartment() : result_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComApartment() {
    if (SUCCEEDED(result_)) ::CoUninitialize();
  }

 private:
  HRESULT result_;
};

TEST(AccessibleNames, EveryControlThatActsIsNamedWithItsRole) {
  const ComApartment com;
  test::TempDir folder;
  const std::wstring exe = folder.Join(L"Callwright.exe");
  fs::copy_file(test::ExePath(L"Callwright.exe"), exe);
  ASSERT_TRUE(::WritePrivateProfileStringW(L"SYSTEM", L"info", L"1", folder.Join(L"config.ini").c_str()));
  test::ChildProcess program(exe, {L"/hidden"});

  // Every window exists from the start, hidden or not.
  HWND main = nullptr, settings = nullptr, about = nullptr, info = nullptr;
  ASSERT_TRUE(test::PumpUntil(
      [&] {
        main = test::FindProcessWindow(program.Id(), L"Callwright [\u2022]", false);
        settings = test::FindProcessWindow(program.Id(), L"Settings", false);
        about = test::FindProcessWindow(program.Id(), L"About ", false);
        info = test::FindProcessWindow(program.Id(), L"Info", false);
        // The About window is made last: its controls are there once its OK button is.
        return main && settings && about && info && ControlWithText(about, L"&OK");
      },
      15000));

  const std::vector<HWND> about_pictures = ControlsOfClass(about, L"TImage");
  // The header, the bottom strip, then the five link pictures left to right.
  ASSERT_EQ(about_pictures.size(), 7u);
  const std::vector<HWND> settings_buttons = ControlsOfClass(settings, L"Button");
  HWND glyph_only = nullptr;
  for (HWND button : settings_buttons) {
    if (test::WindowText(button).empty()) glyph_only = button;
  }

  struct Expected {
    const char* what;
    HWND control;
    std::wstring name;
    long role;  // 0: whatever the system says
  };
  const Expected table[] = {
      {"main: list", ControlsOfClass(main, L"SysListView32").at(0), L"Recordings", ROLE_SYSTEM_LIST},
      {"main: Refresh", ControlWithText(main, L"&Refresh"), L"Refresh", ROLE_SYSTEM_PUSHBUTTON},
      {"main: Browse", ControlWithText(main, L"&Browse"), L"Browse", ROLE_SYSTEM_PUSHBUTTON},
      {"main: Delete", ControlWithText(main, L"&Delete"), L"Delete", ROLE_SYSTEM_PUSHBUTTON},
      {"main: Open", ControlWithText(main, L"&Open"), L"Open", ROLE_SYSTEM_PUSHBUTTON},
      {"main: Close", ControlWithText(main, L"&Close"), L"Close", ROLE_SYSTEM_PUSHBUTTON},
      {"main: About", ControlWithText(main, L"&About"), L"About", ROLE_SYSTEM_PUSHBUTTON},
      {"main: Settings", ControlWithText(main, L"&Settings"), L"Settings", ROLE_SYSTEM_PUSHBUTTON},
      {"settings: folder box", ControlsOfClass(settings, L"Edit").at(0), L"Record Destination", ROLE_SYSTEM_TEXT},
      {"settings: folder button", glyph_only, L"Choose folder\u2026", ROLE_SYSTEM_PUSHBUTTON},
      {"settings: autostart", ControlWithText(settings, L"Start Callwright &with Windows."),
       L"Start Callwright with Windows.", ROLE_SYSTEM_CHECKBUTTON},
      {"settings: format", ControlsOfClass(settings, L"ComboBox").at(0), L"Keep recordings as:",
       ROLE_SYSTEM_COMBOBOX},
      {"settings: OK", ControlWithText(settings, L"&OK"), L"OK", ROLE_SYSTEM_PUSHBUTTON},
      {"info: check box", ControlWithText(info, L"&Do not show this message next time."),
       L"Do not show this message next time.", ROLE_SYSTEM_CHECKBUTTON},
      {"about: site", ControlsOfClass(about, L"TLabel").at(0), L"callwright.example - Mara Lindqvist",
       ROLE_SYSTEM_LINK},
      {"about: YouTube", about_pictures[2], L"Callwright on YouTube", ROLE_SYSTEM_LINK},
      {"about: Twitter", about_pictures[3], L"Callwright on Twitter", ROLE_SYSTEM_LINK},
      {"about: Facebook", about_pictures[4], L"Callwright on Facebook", ROLE_SYSTEM_LINK},
      {"about: Google+", about_pictures[5], L"Callwright on Google+", ROLE_SYSTEM_LINK},
      {"about: mail", about_pictures[6], L"Contact Callwright", ROLE_SYSTEM_LINK},
      {"about: OK", ControlWithText(about, L"&OK"), L"OK", ROLE_SYSTEM_PUSHBUTTON},
  };
  for (const Expected& expected : table) {
    ASSERT_NE(expected.control, nullptr) << expected.what;
    const Accessible read = ReadAccessible(expected.control);
    ASSERT_EQ(read.result, S_OK) << expected.what;
    EXPECT_EQ(read.name, expected.name) << expected.what;
    if (expected.role != 0) {
      EXPECT_EQ(read.role, expected.role) << expected.what;
    }
  }
  // The settings window's only glyph-only button is the one read above.
  EXPECT_EQ(std::count_if(settings_buttons.begin(), settings_buttons.end(),
                          [](HWND b) { return test::WindowText(b).empty(); }),
            1);
  program.Terminate(0);
}

}  // namespace
}  // namespace callwright
