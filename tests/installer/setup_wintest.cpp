// The setup and its uninstaller as a user's machine sees them: run silently in a Wine prefix made
// for this test program alone, then the files, the Start-menu shortcut, the Apps & Features entry
// and the autostart value are looked at through the same shell and registry functions Windows
// programs use.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h:
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cwchar>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "callwright_version.h"
#include "support/gui_win.h"
#include "support/process_win.h"
#include "support/window_answerer_win.h"

namespace callwright {
namespace {

namespace fs = std::filesystem;
using test::ChildProcess;

constexpr wchar_t kMainCaption[] = L"Callwright [\u2022]";
constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Callwright";
constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kRunValue[] = L"Callwright";
// NSIS: the script ended the run (here: Callwright is running).
constexpr DWORD kAbortedExitCode = 2;

std::wstring KnownFolder(REFKNOWNFOLDERID id) {
  PWSTR path = nullptr;
  std::wstring result;
  if (SUCCEEDED(::SHGetKnownFolderPath(id, 0, nullptr, &path))) result = path;
  ::CoTaskMemFree(path);
  return result;
}

std::optional<std::wstring> ReadString(const wchar_t* key, const wchar_t* name) {
  DWORD size = 0;
  if (::RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_SZ, nullptr, nullptr, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  std::wstring text(size / sizeof(wchar_t), L'\0');
  if (::RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_SZ, nullptr, text.data(), &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  text.resize(size / sizeof(wchar_t));
  while (!text.empty() && text.back() == L'\0') text.pop_back();
  return text;
}

std::optional<DWORD> ReadDword(const wchar_t* key, const wchar_t* name) {
  DWORD value = 0;
  DWORD size = sizeof(value);
  if (::RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return value;
}

bool KeyExists(const wchar_t* key) {
  HKEY handle = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
  ::RegCloseKey(handle);
  return true;
}

void WriteRunValue(const std::wstring& command) {
  ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, kRunKey, kRunValue, REG_SZ, command.c_str(),
                              static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
}

std::string FileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFileBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

struct ShortcutInfo {
  std::wstring target;
  std::wstring working_folder;
};

// Reads a .lnk file through the shell's own link object.
std::optional<ShortcutInfo> ReadShortcut(const fs::path& link) {
  IShellLinkW* shell_link = nullptr;
  if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&shell_link)))) {
    return std::nullopt;
  }
  std::optional<ShortcutInfo> info;
  IPersistFile* file = nullptr;
  if (SUCCEEDED(shell_link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    if (SUCCEEDED(file->Load(link.c_str(), STGM_READ))) {
      wchar_t target[MAX_PATH] = {};
      wchar_t folder[MAX_PATH] = {};
      if (SUCCEEDED(shell_link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH)) &&
          SUCCEEDED(shell_link->GetWorkingDirectory(folder, MAX_PATH))) {
        info = ShortcutInfo{target, folder};
      }
    }
    file->Release();
  }
  shell_link->Release();
  return info;
}

// The "ProductVersion" text and the fixed file version (a.b.c.d) of an executable's resource.
struct VersionInfo {
  std::wstring product_version;
  std::wstring file_version_numbers;
};

std::optional<VersionInfo> ReadVersion(const std::wstring& exe) {
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(exe.c_str(), &ignored);
  if (size == 0) return std::nullopt;
  std::vector<char> data(size);
  if (!::GetFileVersionInfoW(exe.c_str(), 0, size, data.data())) return std::nullopt;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (!::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || fixed == nullptr) {
    return std::nullopt;
  }
  // The strings of the first language and code page the resource lists.
  struct Translation {
    WORD language;
    WORD code_page;
  }* translation = nullptr;
  if (!::VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                        &length) ||
      length < sizeof(Translation)) {
    return std::nullopt;
  }
  wchar_t block[64];
  swprintf(block, 64, L"\\StringFileInfo\\%04x%04x\\ProductVersion", translation->language, translation->code_page);
  wchar_t* text = nullptr;
  if (!::VerQueryValueW(data.data(), block, reinterpret_cast<void**>(&text), &length) || text == nullptr) {
    return std::nullopt;
  }
  VersionInfo info;
  info.product_version = text;
  info.file_version_numbers = std::to_wstring(HIWORD(fixed->dwFileVersionMS)) + L"." +
                              std::to_wstring(LOWORD(fixed->dwFileVersionMS)) + L"." +
                              std::to_wstring(HIWORD(fixed->dwFileVersionLS)) + L"." +
                              std::to_wstring(LOWORD(fixed->dwFileVersionLS));
  return info;
}

std::wstring ProcessImage(HANDLE process) {
  wchar_t path[MAX_PATH] = {};
  DWORD size = MAX_PATH;
  return ::QueryFullProcessImageNameW(process, 0, path, &size) ? std::wstring(path, size) : std::wstring();
}

class SetupTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
  static void TearDownTestSuite() { ::CoUninitialize(); }

  // Runs the setup with these arguments to its end; its exit code.
  static DWORD RunSetup(const std::vector<std::wstring>& arguments) {
    ChildProcess setup(test::ExePath(L"Callwright-" CALLWRIGHT_VERSION_WTEXT L"-setup.exe"), arguments);
    EXPECT_TRUE(setup.Wait(60000)) << "the setup ends by itself";
    return setup.ExitCode().value_or(~0u);
  }

  // The uninstaller as Apps & Features starts it: it hands over to a copy of itself in the temp
  // folder and ends, and the copy removes the entry last.
  void RunQuietUninstall() {
    {
      ChildProcess uninstaller(Uninstaller().wstring(), {L"/S"});
      ASSERT_TRUE(uninstaller.Wait(30000));
    }
    EXPECT_TRUE(test::PumpUntil([] { return !KeyExists(kUninstallKey); }, 60000)) << "the uninstaller finishes";
    test::PumpFor(500);
  }

  static void InstallSilently() {
    ASSERT_EQ(RunSetup({L"/S"}), 0u);
    ASSERT_TRUE(fs::exists(Program()));
  }

  static fs::path InstallFolder() { return fs::path(KnownFolder(FOLDERID_LocalAppData)) / L"Programs" / L"Callwright"; }
  static fs::path Program() { return InstallFolder() / L"Callwright.exe"; }
  static fs::path Uninstaller() { return InstallFolder() / L"uninstall.exe"; }
  static fs::path Shortcut() { return fs::path(KnownFolder(FOLDERID_Programs)) / L"Callwright.lnk"; }
  static std::wstring Quoted(const fs::path& path) { return L"\"" + path.wstring() + L"\""; }
};

TEST_F(SetupTest, ProgramAndSetupCarryTheProjectVersion) {
  const std::wstring numbers = CALLWRIGHT_VERSION_WTEXT L".0";
  for (const std::wstring& exe : {test::ExePath(L"Callwright.exe"),
                                  test::ExePath(L"Callwright-" CALLWRIGHT_VERSION_WTEXT L"-setup.exe")}) {
    const std::optional<VersionInfo> version = ReadVersion(exe);
    ASSERT_TRUE(version.has_value()) << "no version resource in " << fs::path(exe).filename();
    EXPECT_EQ(version->product_version, CALLWRIGHT_VERSION_WTEXT) << fs::path(exe).filename();
    EXPECT_EQ(version->file_version_numbers, numbers) << fs::path(exe).filename();
  }
}

TEST_F(SetupTest, SilentInstallStartUpgradeAndUninstall) {
  // A machine that never had Callwright.
  ASSERT_FALSE(fs::exists(InstallFolder()));
  ASSERT_FALSE(KeyExists(kUninstallKey));

  InstallSilently();
  EXPECT_EQ(FileBytes(Program()), FileBytes(test::ExePath(L"Callwright.exe")));
  EXPECT_TRUE(fs::exists(Uninstaller()));

  const std::optional<ShortcutInfo> shortcut = ReadShortcut(Shortcut());
  ASSERT_TRUE(shortcut.has_value()) << "no readable shortcut " << Shortcut();
  EXPECT_TRUE(fs::equivalent(shortcut->target, Program())) << shortcut->target;
  EXPECT_TRUE(fs::equivalent(shortcut->working_folder, InstallFolder())) << shortcut->working_folder;

  const struct {
    const wchar_t* name;
    std::wstring value;
  } strings[] = {
      {L"DisplayName", L"Callwright"},
      {L"DisplayVersion", CALLWRIGHT_VERSION_WTEXT},
      {L"Publisher", L"Callwright"},
      {L"DisplayIcon", Program().wstring() + L",0"},
      {L"InstallLocation", InstallFolder().wstring()},
      {L"UninstallString", Quoted(Uninstaller())},
      {L"QuietUninstallString", Quoted(Uninstaller()) + L" /S"},
  };
  for (const auto& row : strings) {
    EXPECT_EQ(ReadString(kUninstallKey, row.name).value_or(L"<missing>"), row.value) << row.name;
  }
  EXPECT_EQ(ReadDword(kUninstallKey, L"NoModify"), std::optional<DWORD>(1));
  EXPECT_EQ(ReadDword(kUninstallKey, L"NoRepair"), std::optional<DWORD>(1));
  const auto installed_kb = static_cast<DWORD>((fs::file_size(Program()) + fs::file_size(Uninstaller())) / 1024);
  EXPECT_EQ(ReadDword(kUninstallKey, L"EstimatedSize"), std::optional<DWORD>(installed_kb));

  // The installed program starts from its shortcut and shows its main window.
  SHELLEXECUTEINFOW execute{};
  execute.cbSize = sizeof(execute);
  execute.fMask = SEE_MASK_NOCLOSEPROCESS;
  execute.lpVerb = L"open";
  const std::wstring link = Shortcut().wstring();
  execute.lpFile = link.c_str();
  execute.nShow = SW_SHOWNORMAL;
  ASSERT_TRUE(::ShellExecuteExW(&execute));
  HWND main = nullptr;
  ASSERT_TRUE(test::PumpUntil([&] { return (main = ::FindWindowW(nullptr, kMainCaption)) && ::IsWindowVisible(main); },
                              20000))
      << "the installed program shows its main window";
  DWORD program_id = 0;
  ::GetWindowThreadProcessId(main, &program_id);
  HANDLE program = ::OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, program_id);
  ASSERT_NE(program, nullptr);
  if (execute.hProcess) ::CloseHandle(execute.hProcess);
  EXPECT_TRUE(fs::equivalent(ProcessImage(program), Program())) << ProcessImage(program);
  EXPECT_TRUE(test::PumpUntil([] { return fs::exists(InstallFolder() / L"Records"); }, 10000))
      << "the program can write beside itself";

  // While it runs, neither the setup nor the uninstaller touches it.
  const fs::file_time_type installed_at = fs::last_write_time(Program());
  EXPECT_EQ(RunSetup({L"/S"}), kAbortedExitCode);
  {
    // "_?=" keeps the uninstaller in place, so that its exit code can be seen.
    ChildProcess uninstaller(Uninstaller().wstring(), {L"/S", L"_?=" + InstallFolder().wstring()});
    ASSERT_TRUE(uninstaller.Wait(30000));
    EXPECT_EQ(uninstaller.ExitCode(), std::optional<DWORD>(kAbortedExitCode));
  }
  EXPECT_EQ(fs::last_write_time(Program()), installed_at);
  EXPECT_TRUE(fs::exists(Shortcut()));
  EXPECT_TRUE(KeyExists(kUninstallKey));
  EXPECT_TRUE(::IsWindow(main));

  ::TerminateProcess(program, 0);
  ::WaitForSingleObject(program, 10000);
  ::CloseHandle(program);

  // Installing again (an upgrade) keeps the settings and the recordings.
  const fs::path config = InstallFolder() / L"config.ini";
  const fs::path recording = InstallFolder() / L"Records" / L"07032013_090503_jane.wav";
  ASSERT_TRUE(::WritePrivateProfileStringW(L"SYSTEM", L"info", L"1", config.c_str()));
  ::WritePrivateProfileStringW(nullptr, nullptr, nullptr, config.c_str());
  WriteFileBytes(recording, std::string("RIFF\x24\0\0\0WAVE", 12));
  const std::string config_bytes = FileBytes(config);
  InstallSilently();
  EXPECT_EQ(FileBytes(config), config_bytes);
  EXPECT_EQ(FileBytes(recording).size(), 12u);

  // The autostart value exactly as the program writes it.
  WriteRunValue(Quoted(Program()) + L" /hidden");
  RunQuietUninstall();

  EXPECT_FALSE(fs::exists(Program()));
  EXPECT_FALSE(fs::exists(Uninstaller()));
  EXPECT_FALSE(fs::exists(Shortcut()));
  EXPECT_FALSE(KeyExists(kUninstallKey));
  EXPECT_FALSE(ReadString(kRunKey, kRunValue).has_value()) << "the autostart value of this installation goes";
  // A silent uninstall keeps what the user made.
  EXPECT_EQ(FileBytes(recording).size(), 12u);
  EXPECT_EQ(FileBytes(config), config_bytes);
}

TEST_F(SetupTest, UninstallRemovesOnlyItsOwnAutostartValue) {
  const struct {
    std::wstring command;
    bool removed;
  } cases[] = {
      {Program().wstring(), true},
      {[] {
         std::wstring upper = Quoted(Program());
         ::CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
         return upper + L" /hidden";
       }(),
       true},
      {Quoted(Program().wstring() + L".old") + L" /hidden", false},
      {Program().wstring() + L"x /hidden", false},
      {L"\"C:\\Tools\\Callwright\\Callwright.exe\" /hidden", false},
  };
  for (const auto& row : cases) {
    InstallSilently();
    WriteRunValue(row.command);
    RunQuietUninstall();
    ASSERT_FALSE(fs::exists(Program()));
    const std::optional<std::wstring> left = ReadString(kRunKey, kRunValue);
    if (row.removed) {
      EXPECT_FALSE(left.has_value()) << row.command;
    } else {
      EXPECT_EQ(left.value_or(L"<removed>"), row.command);
    }
    ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunKey, kRunValue);
  }
}

}  // namespace
}  // namespace callwright
