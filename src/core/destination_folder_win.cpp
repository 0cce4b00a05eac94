#include <windows.h>

#include <string>
#include <thread>

#include "base/decimal.h"
#include "core/destination_folder.h"
#include "core/platform.h"
#include "core/settings_win.h"
#include "base/handles.h"
#include "base/system_error_win.h"

namespace callwright {

namespace {

constexpr wchar_t kNoClientName[] =
    L"Skype cannot be given it: its name holds characters outside the system's code page, and it has no "
    L"short (8.3) name.";

// The absolute form without "." and ".." parts; the text itself when the system cannot make one.
std::wstring FullPath(const std::wstring& path) {
  const DWORD size = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (size == 0) return path;
  std::wstring full(size, L'\0');
  const DWORD length = ::GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size) return path;
  full.resize(length);
  return full;
}

// Empty when the folder has none (it does not exist, or the volume makes no short names).
std::wstring ShortPath(const std::wstring& folder) {
  const DWORD size = ::GetShortPathNameW(folder.c_str(), nullptr, 0);
  if (size == 0) return {};
  std::wstring short_path(size, L'\0');
  const DWORD length = ::GetShortPathNameW(folder.c_str(), short_path.data(), size);
  if (length == 0 || length >= size) return {};
  short_path.resize(length);
  return short_path;
}

}  // namespace

DWORD CreateFolderTree(const std::wstring& prefix) {
  const std::wstring folder = FolderFromPrefix(prefix);
  const DWORD attributes = ::GetFileAttributesW(folder.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : ERROR_DIRECTORY;
  if (::CreateDirectoryW(folder.c_str(), nullptr)) return 0;
  DWORD error = ::GetLastError();
  if (error != ERROR_PATH_NOT_FOUND && error != ERROR_FILE_NOT_FOUND) return error;
  const std::size_t cut = prefix.find_last_of(L"\\/");
  if (cut == std::wstring::npos || cut == 0) return error;
  const std::wstring parent = FolderPrefix(std::wstring_view(prefix).substr(0, cut));
  if (parent.empty() || parent.size() >= prefix.size()) return error;
  if (const DWORD parent_error = CreateFolderTree(parent); parent_error != 0) return parent_error;
  if (::CreateDirectoryW(folder.c_str(), nullptr)) return 0;
  error = ::GetLastError();
  return error == ERROR_ALREADY_EXISTS ? 0 : error;
}

namespace {

// Creates and deletes a uniquely named file in the folder; 0 or the system's error code.
DWORD ProbeWriting(const std::wstring& prefix) {
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 16; ++attempt) {
    const std::wstring name = prefix + L"\\~callwright-" + DecimalText(::GetCurrentProcessId()) + L"-" +
                              DecimalText(::GetTickCount64()) + L"-" + DecimalText(++counter) + L".tmp";
    FileHandle file(::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY, nullptr));
    if (!file) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
      return error;
    }
    file.Reset();
    return ::DeleteFileW(name.c_str()) ? 0 : ::GetLastError();
  }
  return ERROR_FILE_EXISTS;
}

std::wstring Resolve(std::wstring_view folder) {
  return FolderPrefix(FullPath(CombineFolder(folder, ExecutableFolder(), DefaultFolder())));
}

std::wstring Quoted(std::wstring_view text) { return L"\"" + std::wstring(text) + L"\""; }

}  // namespace

std::wstring ResolvedDestinationFolder() { return Resolve(DestinationFolder()); }

std::optional<std::wstring> FolderTextForClient(std::wstring_view prefix) {
  const Platform& platform = SystemPlatform();
  if (SurvivesAnsi(prefix, platform)) return std::wstring(prefix);
  const std::wstring short_form = FolderPrefix(ShortPath(FolderFromPrefix(prefix)));
  if (!short_form.empty() && SurvivesAnsi(short_form, platform)) return short_form;
  return std::nullopt;
}

namespace {

// The last short form found. Finding one takes a file-system search per part of the path, too
// slow to repeat for every listing; each preparation finds it afresh.
struct ShortFormMemo {
  std::wstring prefix;
  std::wstring text;
} g_short_form;

std::optional<std::wstring> RememberedTextForClient(const std::wstring& prefix) {
  if (!g_short_form.prefix.empty() && g_short_form.prefix == prefix) return g_short_form.text;
  std::optional<std::wstring> text = FolderTextForClient(prefix);
  if (text && *text != prefix) g_short_form = {prefix, *text};
  return text;
}

std::wstring DefaultPrefix() { return FolderPrefix(FullPath(DefaultFolder())); }

std::size_t AnsiBytes(std::wstring_view text) { return SystemPlatform().EncodeAnsi(text).size(); }

std::wstring TooLongText(std::wstring_view client_text) {
  return L"Its path takes " + DecimalText(AnsiBytes(client_text)) +
         L" bytes in the system's code page; Skype takes recording paths of at most " +
         DecimalText(kMaxClientPathBytes) + L" bytes, which leaves " + DecimalText(kMaxClientFolderBytes) +
         L" for the folder.";
}

// The last prepared folder, read by the window thread and written by whoever prepares.
std::mutex g_prepared_lock;
std::optional<PreparedFolder> g_prepared;

std::optional<PreparedFolder> Prepared() {
  const std::lock_guard hold(g_prepared_lock);
  return g_prepared;
}

}  // namespace

FolderCheck CheckRecordingFolder = &CheckFolderOnDisk;
FreeSpaceQuery QueryFreeSpace = &FreeSpaceOnDisk;

unsigned long CheckFolderOnDisk(const std::wstring& folder, bool& created) {
  created = ::GetFileAttributesW(FolderFromPrefix(folder).c_str()) == INVALID_FILE_ATTRIBUTES;
  DWORD error = CreateFolderTree(folder);
  if (error != 0) created = false;
  if (error == 0) error = ProbeWriting(folder);
  return error;
}

std::optional<FreeSpace> FreeSpaceOnDisk(const std::wstring& folder) {
  const std::wstring path = FolderFromPrefix(folder) + (folder.ends_with(L':') ? L"" : L"\\");
  ULARGE_INTEGER available{};
  if (!::GetDiskFreeSpaceExW(path.c_str(), &available, nullptr, nullptr)) return std::nullopt;
  FreeSpace space{available.QuadPart, {}};
  wchar_t volume[MAX_PATH + 1] = {};
  if (::GetVolumePathNameW(path.c_str(), volume, MAX_PATH + 1)) space.volume = FolderPrefix(volume);
  if (space.volume.empty()) space.volume = FolderPrefix(folder);
  return space;
}

std::wstring RecordingFolder() {
  std::wstring folder = ResolvedDestinationFolder();
  if (const auto prepared = Prepared(); prepared && prepared->destination == folder) return prepared->folder;
  if (const auto text = RememberedTextForClient(folder); text && FolderFitsClient(AnsiBytes(*text))) return folder;
  return DefaultPrefix();
}

std::wstring ClientFolderText() {
  const std::wstring folder = ResolvedDestinationFolder();
  if (const auto prepared = Prepared(); prepared && prepared->destination == folder) return prepared->client_text;
  if (auto text = RememberedTextForClient(folder); text && FolderFitsClient(AnsiBytes(*text))) return *std::move(text);
  const std::wstring fallback = DefaultPrefix();
  return RememberedTextForClient(fallback).value_or(fallback);
}

std::wstring PreparedClientText() {
  const std::wstring folder = ResolvedDestinationFolder();
  const std::optional<PreparedFolder> prepared = Prepared();
  if (prepared && prepared->destination == folder) return prepared->client_text;
  // Not prepared yet: the folder itself when the client can take it as it is, else the last
  // prepared one; never a look at the disk.
  if (SurvivesAnsi(folder, SystemPlatform()) && FolderFitsClient(AnsiBytes(folder))) return folder;
  if (prepared) return prepared->client_text;
  return DefaultPrefix();
}

PreparedFolder PrepareFolder(std::wstring_view destination) {
  PreparedFolder prepared;
  prepared.destination = Resolve(destination);
  const std::wstring& folder = prepared.destination;
  const std::wstring shown = FolderFromPrefix(folder);
  // Every showing makes the default folder too: it is where recordings go when this one fails.
  if (DefaultPrefix() != folder) CreateFolderTree(DefaultPrefix());
  bool created = false;
  const DWORD error = CheckRecordingFolder ? CheckRecordingFolder(folder, created) : 0;
  const std::optional<std::wstring> client_text = error == 0 ? FolderTextForClient(folder) : std::nullopt;
  if (error == 0 && client_text && FolderFitsClient(AnsiBytes(*client_text))) {
    prepared.folder = folder;
    prepared.client_text = *client_text;
    prepared.created = created;
    return prepared;
  }
  if (error != 0) {
    prepared.problem = L"Recordings cannot be saved in the folder " + Quoted(shown) + L": " + SystemErrorText(error);
  } else if (!client_text) {
    prepared.problem = L"The folder " + Quoted(shown) + L" cannot be used for recordings. " + kNoClientName;
  } else {
    prepared.problem = L"The folder " + Quoted(shown) + L" cannot be used for recordings. " + TooLongText(*client_text);
  }
  const std::wstring fallback = DefaultPrefix();
  prepared.folder = fallback;
  prepared.client_text = fallback;
  if (fallback != folder) {
    bool fallback_created = false;
    const DWORD fallback_error = CheckRecordingFolder ? CheckRecordingFolder(fallback, fallback_created) : 0;
    prepared.created = fallback_created;
    prepared.client_text = FolderTextForClient(fallback).value_or(fallback);
    prepared.problem += L" Recordings go to " + Quoted(FolderFromPrefix(fallback)) + L" instead.";
    if (fallback_error != 0) prepared.problem += L" That folder cannot be written either: " + SystemErrorText(fallback_error);
  }
  return prepared;
}

void SetPreparedFolder(PreparedFolder prepared) {
  const std::lock_guard hold(g_prepared_lock);
  g_prepared = std::move(prepared);
}

std::wstring PrepareRecordingFolder() {
  g_short_form = {};
  PreparedFolder prepared = PrepareFolder(DestinationFolder());
  std::wstring problem = prepared.problem;
  SetPreparedFolder(std::move(prepared));
  return problem;
}

std::wstring FolderRefusal(std::wstring_view folder) {
  const std::optional<std::wstring> text = FolderTextForClient(Resolve(folder));
  if (!text) return L"The folder " + Quoted(folder) + L" cannot be chosen for recordings. " + kNoClientName;
  if (!FolderFitsClient(AnsiBytes(*text))) {
    return L"The folder " + Quoted(folder) + L" cannot be chosen for recordings. " + TooLongText(*text);
  }
  return {};
}

struct FolderPreparer::State {
  Notify notify;
  mutable std::mutex lock;
  std::condition_variable wake;
  std::optional<std::wstring> request;  // guarded by lock
  std::optional<Result> result;         // guarded by lock
  bool running = false;                 // guarded by lock
  bool stop = false;                    // guarded by lock
  bool ended = false;                   // guarded by lock
  std::condition_variable ended_signal;
  // The worker's own: the last free space found, by folder.
  std::wstring space_folder;
  std::optional<FreeSpace> space;
  std::chrono::steady_clock::time_point space_time;

  void Run() {
    std::unique_lock hold(lock);
    for (;;) {
      wake.wait(hold, [&] { return stop || request.has_value(); });
      if (stop) break;
      const std::wstring destination = std::move(*request);
      request.reset();
      running = true;
      hold.unlock();
      Result done{PrepareFolder(destination), std::nullopt};
      const auto now = std::chrono::steady_clock::now();
      if (done.prepared.folder != space_folder || now - space_time >= kFreeSpaceLifetime) {
        space = QueryFreeSpace ? QueryFreeSpace(done.prepared.folder) : std::nullopt;
        space_folder = done.prepared.folder;
        space_time = now;
      }
      done.space = space;
      hold.lock();
      running = false;
      if (stop) break;
      const bool told = result.has_value();
      result = std::move(done);
      if (!told && notify) notify();
    }
    ended = true;
    ended_signal.notify_all();
  }
};

FolderPreparer::FolderPreparer(Notify notify) : state_(std::make_shared<State>()) {
  state_->notify = std::move(notify);
  std::thread([state = state_] { state->Run(); }).detach();
}

FolderPreparer::~FolderPreparer() {
  std::unique_lock hold(state_->lock);
  state_->stop = true;
  state_->notify = nullptr;
  state_->wake.notify_all();
  // A check held up by an unreachable share ends on its own later; the state outlives us.
  state_->ended_signal.wait_for(hold, std::chrono::seconds(2), [&] { return state_->ended; });
}

void FolderPreparer::Request(std::wstring destination) {
  const std::lock_guard hold(state_->lock);
  state_->request = std::move(destination);
  state_->wake.notify_all();
}

std::optional<FolderPreparer::Result> FolderPreparer::Take() {
  const std::lock_guard hold(state_->lock);
  std::optional<Result> result = std::move(state_->result);
  state_->result.reset();
  return result;
}

bool FolderPreparer::Busy() const {
  const std::lock_guard hold(state_->lock);
  return state_->running || state_->request.has_value() || state_->result.has_value();
}

bool SameFolder(std::wstring_view a, std::wstring_view b) {
  return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}

}  // namespace callwright
