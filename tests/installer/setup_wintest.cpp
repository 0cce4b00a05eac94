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
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "callwright_version.h"
#include "support/gui_win.h"
#include "support/process_win.h"
#include "support/temp_dir_win.h"
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

// The texts of an executable's version resource and its fixed file and product versions (a.b.c.d).
struct VersionInfo {
  std::map<std::wstring, std::wstring> texts;  // "ProductVersion", "CompanyName", ...
  std::wstring file_version_numbers;
  std::wstring product_version_numbers;
};

constexpr const wchar_t* kVersionTexts[] = {L"CompanyName",    L"FileDescription",  L"FileVersion",
                                            L"InternalName",   L"LegalCopyright",   L"OriginalFilename",
                                            L"ProductName",    L"ProductVersion"};

std::wstring VersionNumbers(DWORD most, DWORD least) {
  return std::to_wstring(HIWORD(most)) + L"." + std::to_wstring(LOWORD(most)) + L"." + std::to_wstring(HIWORD(least)) +
         L"." + std::to_wstring(LOWORD(least));
}

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
  VersionInfo info;
  for (const wchar_t* name : kVersionTexts) {
    wchar_t block[96];
    swprintf(block, 96, L"\\StringFileInfo\\%04x%04x\\%ls", translation->language, translation->code_page, name);
    wchar_t* text = nullptr;
    if (::VerQueryValueW(data.data(), block, reinterpret_cast<void**>(&text), &length) && text != nullptr) {
      info.texts[name] = text;
    }
  }
  info.file_version_numbers = VersionNumbers(fixed->dwFileVersionMS, fixed->dwFileVersionLS);
  info.product_version_numbers = VersionNumbers(fixed->dwProductVersionMS, fixed->dwProductVersionLS);
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
  const std::wstring setup_name = L"Callwright-" CALLWRIGHT_VERSION_WTEXT L"-setup.exe";
  std::vector<VersionInfo> versions;
  for (const std::wstring& name : {std::wstring(L"Callwright.exe"), setup_name}) {
    const std::optional<VersionInfo> version = ReadVersion(test::ExePath(name));
    ASSERT_TRUE(version.has_value()) << "no version resource in " << name;
    EXPECT_EQ(version->texts.count(L"ProductVersion") ? version->texts.at(L"ProductVersion") : L"<missing>",
              CALLWRIGHT_VERSION_WTEXT)
        << name;
    EXPECT_EQ(version->file_version_numbers, numbers) << name;
    EXPECT_EQ(version->product_version_numbers, numbers) << name;
    // Every field that Explorer's details and SmartScreen show is there and says something.
    for (const wchar_t* field : kVersionTexts) {
      EXPECT_FALSE(version->texts.count(field) == 0 || version->texts.at(field).empty()) << name << " " << field;
    }
    versions.push_back(*version);
    EXPECT_EQ(versions.back().texts[L"OriginalFilename"], name);
  }
  // Program and setup name the same product, maker and copyright.
  for (const wchar_t* field : {L"ProductName", L"CompanyName", L"LegalCopyright", L"ProductVersion"}) {
    EXPECT_EQ(versions[0].texts[field], versions[1].texts[field]) << field;
  }
}

// The application manifest of an executable (resource type 24, id 1), or "" when it has none.
std::string ManifestOf(const std::wstring& exe) {
  HMODULE module = ::LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!module) return {};
  std::string manifest;
  if (HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24))) {
    if (HGLOBAL loaded = ::LoadResource(module, found)) {
      manifest.assign(static_cast<const char*>(::LockResource(loaded)), ::SizeofResource(module, found));
    }
  }
  ::FreeLibrary(module);
  return manifest;
}

TEST_F(SetupTest, ProgramAndSetupDeclareWindows7To11) {
  const char* const windows_ids[] = {
      "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // 7
      "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  // 8
      "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // 8.1
      "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  // 10 and 11
  };
  for (const std::wstring& name :
       {std::wstring(L"Callwright.exe"), std::wstring(L"Callwright-" CALLWRIGHT_VERSION_WTEXT L"-setup.exe")}) {
    std::string manifest = ManifestOf(test::ExePath(name));
    ASSERT_FALSE(manifest.empty()) << "no manifest in " << name;
    ::CharLowerBuffA(manifest.data(), static_cast<DWORD>(manifest.size()));
    EXPECT_NE(manifest.find("urn:schemas-microsoft-com:compatibility.v1"), std::string::npos) << name;
    for (const char* id : windows_ids) {
      EXPECT_NE(manifest.find(std::string("supportedos id=\"") + id + "\""), std::string::npos) << name << " " << id;
    }
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

// Runs a program with this command line after its name, as given (NSIS takes /D= and _?= unquoted,
// up to the end of the line, spaces included); its exit code.
DWORD RunWithCommandLine(const std::wstring& exe, const std::wstring& arguments) {
  std::wstring command_line = L"\"" + exe + L"\" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  if (!::CreateProcessW(exe.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info)) {
    ADD_FAILURE() << "cannot start " << fs::path(exe).filename() << ", error " << ::GetLastError();
    return ~0u;
  }
  ::CloseHandle(info.hThread);
  DWORD code = ~0u;
  EXPECT_TRUE(test::PumpUntil([&] { return ::WaitForSingleObject(info.hProcess, 0) == WAIT_OBJECT_0; }, 60000))
      << fs::path(exe).filename() << " ends by itself";
  ::GetExitCodeProcess(info.hProcess, &code);
  ::CloseHandle(info.hProcess);
  return code;
}

TEST_F(SetupTest, SetupInstallsOnlyIntoAFolderOfItsOwn) {
  test::TempDir scratch(L"callwright-setup");
  const fs::path foreign = fs::path(scratch.Path()) / L"Tools";
  fs::create_directories(foreign);
  WriteFileBytes(foreign / L"notes.txt", "mine");
  // What an uninstall that kept the user's data leaves behind.
  const fs::path kept = fs::path(scratch.Path()) / L"Kept";
  fs::create_directories(kept / L"Records");
  WriteFileBytes(kept / L"config.ini", "[SYSTEM]\r\n");
  WriteFileBytes(kept / L"Records" / L"10122026_120000_bob.wav", "RIFF");
  const fs::path fresh = fs::path(scratch.Path()) / L"New folder" / L"Callwright";

  wchar_t windows[MAX_PATH] = {};
  ASSERT_GT(::GetWindowsDirectoryW(windows, MAX_PATH), 0u);
  // Other spellings of a refused folder: its short (8.3) form, and a way through a folder below it.
  wchar_t program_files_short[MAX_PATH] = {};
  ASSERT_GT(::GetShortPathNameW(KnownFolder(FOLDERID_ProgramFiles).c_str(), program_files_short, MAX_PATH), 0u);
  ASSERT_NE(std::wstring(program_files_short), KnownFolder(FOLDERID_ProgramFiles)) << "no short name to spell it by";
  const struct {
    std::wstring folder;
    bool accepted;
  } cases[] = {
      {std::wstring(windows).substr(0, 3), false},  // the drive root C:\ .
      {KnownFolder(FOLDERID_Profile), false},
      {KnownFolder(FOLDERID_Profile) + L"\\", false},
      {windows, false},
      {KnownFolder(FOLDERID_ProgramFiles), false},
      {program_files_short, false},
      {std::wstring(windows) + L"\\system32\\..", false},
      {KnownFolder(FOLDERID_ProgramFilesX86), false},
      {foreign.wstring(), false},
      {kept.wstring(), true},
      {fresh.wstring(), true},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.folder);
    const fs::path program = fs::path(row.folder) / L"Callwright.exe";
    ASSERT_FALSE(fs::exists(program));
    const DWORD code =
        RunWithCommandLine(test::ExePath(L"Callwright-" CALLWRIGHT_VERSION_WTEXT L"-setup.exe"), L"/S /D=" + row.folder);
    if (!row.accepted) {
      EXPECT_EQ(code, kAbortedExitCode);
      EXPECT_FALSE(fs::exists(program));
      EXPECT_FALSE(KeyExists(kUninstallKey));
      EXPECT_FALSE(fs::exists(Shortcut()));
      continue;
    }
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(fs::exists(program));
    const std::optional<std::wstring> location = ReadString(kUninstallKey, L"InstallLocation");
    ASSERT_TRUE(location.has_value());
    EXPECT_TRUE(fs::equivalent(*location, row.folder)) << *location;
    EXPECT_EQ(RunWithCommandLine((fs::path(row.folder) / L"uninstall.exe").wstring(), L"/S _?=" + row.folder), 0u);
    EXPECT_FALSE(fs::exists(program));
    EXPECT_FALSE(KeyExists(kUninstallKey));
    ::DeleteFileW((fs::path(row.folder) / L"uninstall.exe").c_str());
  }
  EXPECT_EQ(FileBytes(foreign / L"notes.txt"), "mine");
  EXPECT_EQ(FileBytes(kept / L"Records" / L"10122026_120000_bob.wav"), "RIFF");
}

TEST_F(SetupTest, UninstallerWorksOnlyOnTheInstallationItBelongsTo) {
  InstallSilently();
  test::TempDir scratch(L"callwright-uninstall");
  // A copy of the uninstaller alone, one beside a copy of the program, and the real one after
  // its program was deleted by hand.
  const fs::path alone = fs::path(scratch.Path()) / L"alone";
  const fs::path copied = fs::path(scratch.Path()) / L"copied";
  for (const fs::path& folder : {alone, copied}) {
    fs::create_directories(folder / L"Records");
    fs::copy_file(Uninstaller(), folder / L"uninstall.exe");
    WriteFileBytes(folder / L"config.ini", "[SYSTEM]\r\n");
    WriteFileBytes(folder / L"Records" / L"10122026_120000_bob.wav", "RIFF");
  }
  fs::copy_file(Program(), copied / L"Callwright.exe");
  const fs::path moved_program = fs::path(scratch.Path()) / L"Callwright.exe.moved";

  const struct {
    fs::path folder;
    bool program_removed;
  } cases[] = {{alone, false}, {copied, false}, {InstallFolder(), true}};
  for (const auto& row : cases) {
    SCOPED_TRACE(row.folder.wstring());
    if (row.program_removed) fs::rename(Program(), moved_program);
    const std::set<fs::path> before = [&] {
      std::set<fs::path> files;
      for (const auto& entry : fs::recursive_directory_iterator(row.folder)) files.insert(entry.path());
      return files;
    }();
    {
      ChildProcess uninstaller((row.folder / L"uninstall.exe").wstring(), {L"/S", L"_?=" + row.folder.wstring()});
      ASSERT_TRUE(uninstaller.Wait(30000));
      EXPECT_EQ(uninstaller.ExitCode(), std::optional<DWORD>(kAbortedExitCode));
    }
    std::set<fs::path> after;
    for (const auto& entry : fs::recursive_directory_iterator(row.folder)) after.insert(entry.path());
    EXPECT_EQ(after, before) << "nothing in the folder is removed";
    EXPECT_TRUE(KeyExists(kUninstallKey)) << "the Apps & Features entry stays";
    EXPECT_TRUE(fs::exists(Shortcut()));
    if (row.program_removed) fs::rename(moved_program, Program());
  }
  RunQuietUninstall();
}

TEST_F(SetupTest, UninstallDeletesOnlyRecordingsWhenAskedTo) {
  InstallSilently();
  const fs::path records = InstallFolder() / L"Records";
  fs::create_directories(records / L"01012026_000000_folder.wav");
  const struct {
    const wchar_t* name;
    bool removed;
  } files[] = {
      {L"10122026_120000_bob.wav", true},
      {L"10122026_120000_bob (2).wav", true},
      {L"31122025_235959_x.WAV", true},
      {L"10122026_120000_ann.flac", true},
      {L"10122026_120000_ann (2).OPUS", true},
      {L"10122026_120000_.opus", false},
      {L"10122026_120000_ann.flac.part", false},
      {L"mine.opus", false},
      {L"mine.wav", false},
      {L"song.wave", false},  // its short name SONG~1.WAV matches *.wav
      {L"take.wavx", false},
      {L"notes.txt", false},
      {L"1012202_120000_bob.wav", false},
      {L"1012202a_120000_bob.wav", false},
      {L"10122026-120000_bob.wav", false},
      {L"10122026_120000_.wav", false},
      {L"10122026_120000_bob.wav.txt", false},
  };
  for (const auto& file : files) WriteFileBytes(records / file.name, "RIFF");
  ASSERT_TRUE(::WritePrivateProfileStringW(L"SYSTEM", L"info", L"1", (InstallFolder() / L"config.ini").c_str()));
  ::WritePrivateProfileStringW(nullptr, nullptr, nullptr, (InstallFolder() / L"config.ini").c_str());

  // The uninstaller as a user goes through it: Uninstall on its page, Yes to deleting the
  // recordings and settings, Close at the end. "_?=" keeps it in place, so its end can be seen.
  ChildProcess uninstaller(Uninstaller().wstring(), {L"_?=" + InstallFolder().wstring()});
  std::wstring question;
  DWORD last_press = 0;
  test::RepeatingTick answer(100, [&] {
    for (HWND window : test::ProcessWindows(uninstaller.Id())) {
      if (test::ClassName(window) != L"#32770" || !::IsWindowVisible(window)) continue;
      if (test::HasButton(window, IDYES)) {
        question = test::MessageBoxText(window);
        test::PressButton(window, IDYES);
        return;
      }
      HWND next = ::GetDlgItem(window, IDOK);
      if (next && ::IsWindowEnabled(next) && ::GetTickCount() - last_press > 1000 && test::PressButton(window, IDOK)) {
        last_press = ::GetTickCount();
        return;
      }
    }
  });
  ASSERT_TRUE(uninstaller.Wait(60000)) << "the uninstaller goes through to its end";
  EXPECT_EQ(uninstaller.ExitCode(), std::optional<DWORD>(0));
  EXPECT_NE(question.find(L"recordings"), std::wstring::npos) << question;

  for (const auto& file : files) {
    EXPECT_EQ(fs::exists(records / file.name), !file.removed) << fs::path(file.name);
  }
  EXPECT_TRUE(fs::is_directory(records / L"01012026_000000_folder.wav"));
  EXPECT_FALSE(fs::exists(InstallFolder() / L"config.ini"));
  EXPECT_FALSE(fs::exists(Program()));
  EXPECT_FALSE(KeyExists(kUninstallKey));
  ::DeleteFileW(Uninstaller().c_str());
  test::RemoveTree(InstallFolder().wstring());
}

}  // namespace
}  // namespace callwright
