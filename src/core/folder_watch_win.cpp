#include "core/folder_watch_win.h"

#include <optional>
#include <vector>

#include "core/catalogue_win.h"
#include "core/platform.h"

namespace callwright {

namespace {

// 64 KiB: the most a network folder takes, and ample for a burst of recordings.
constexpr DWORD kRecordBytes = 64 * 1024;
// How often the watched folder is asked whether it is being deleted: not every system ends the
// change records when it is, and our handle keeps a deleted folder until it closes.
constexpr DWORD kDeleteCheckMs = 1000;

bool DeletePending(HANDLE folder) {
  FILE_STANDARD_INFO info{};
  return ::GetFileInformationByHandleEx(folder, FileStandardInfo, &info, sizeof(info)) && info.DeletePending;
}

}  // namespace

FolderWatch::FolderWatch(std::wstring folder, std::shared_ptr<SharedListing> share)
    : folder_(std::move(folder)),
      names_([](std::wstring_view name) { return SystemPlatform().UpperCase(name); }),
      stop_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      relist_(::CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      share_(std::move(share)) {
  thread_ = std::thread([this] { Run(); });
}

FolderWatch::~FolderWatch() {
  ::SetEvent(stop_.Get());
  if (thread_.joinable()) thread_.join();
}

bool FolderWatch::WaitListed(std::chrono::milliseconds timeout) const {
  const auto until = std::chrono::steady_clock::now() + timeout;
  while (!Listed()) {
    if (std::chrono::steady_clock::now() >= until) return false;
    ::Sleep(5);
  }
  return true;
}

void FolderWatch::Relist() { ::SetEvent(relist_.Get()); }

int FolderWatch::Subscribe(Listener listener) {
  const std::lock_guard hold(listeners_lock_);
  const int id = ++next_listener_;
  listeners_.emplace(id, std::move(listener));
  return id;
}

void FolderWatch::Unsubscribe(int id) {
  const std::lock_guard hold(listeners_lock_);
  listeners_.erase(id);
}

void FolderWatch::Tell(const FolderChange& change) {
  const std::lock_guard hold(listeners_lock_);
  for (const auto& [id, listener] : listeners_) listener(change);
}

void FolderWatch::List() {
  std::vector<std::wstring> names;
  std::vector<WavEntry> entries;
  WIN32_FIND_DATAW data;
  // Basic information skips the short names; the large fetch asks the file system for more at a
  // time.
  FindHandle find(::FindFirstFileExW((folder_ + L"\\*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                     nullptr, FIND_FIRST_EX_LARGE_FETCH));
  if (find) {
    do {
      const std::wstring_view name(data.cFileName);
      if (name != L"." && name != L"..") names.emplace_back(name);
      if (share_) {
        if (std::optional<WavEntry> entry = RecordingEntry(data)) entries.push_back(std::move(*entry));
      }
      // The stop is looked at once in a while: asking an event is a call to the system (on Wine a
      // round trip to its server, which a busy folder keeps waiting).
    } while ((names.size() % 1024 != 0 || ::WaitForSingleObject(stop_.Get(), 0) != WAIT_OBJECT_0) &&
             ::FindNextFileW(find.Get(), &data));
  }
  if (share_) {
    // The reader waits for these: handed over before the set is made.
    if (::WaitForSingleObject(stop_.Get(), 0) == WAIT_OBJECT_0) {
      share_->Withdraw();
    } else {
      share_->Give(std::move(entries));
    }
    share_.reset();
  }
  names_.Replace(names);
  listed_ = true;
  Tell({FolderChange::Kind::Relisted, {}, {}});
}

void FolderWatch::Run() {
  FileHandle folder(::CreateFileW(folder_.c_str(), FILE_LIST_DIRECTORY,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr));
  KernelHandle changed(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  // DWORD-aligned, as ReadDirectoryChangesW requires.
  std::vector<DWORD> records(kRecordBytes / sizeof(DWORD));
  OVERLAPPED overlapped{};
  overlapped.hEvent = changed.Get();
  bool pending = false;
  const auto watch = [&] {
    ::ResetEvent(changed.Get());
    pending = folder && changed &&
              ::ReadDirectoryChangesW(folder.Get(), records.data(), kRecordBytes, FALSE,
                                      FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME, nullptr, &overlapped,
                                      nullptr);
    live_ = pending;
  };
  // Watched before the listing: a name that comes or goes meanwhile is in the records that
  // follow it, and applying them to the listing gives the folder as it is.
  watch();
  List();
  for (;;) {
    HANDLE waits[3] = {stop_.Get(), relist_.Get(), changed.Get()};
    const DWORD woken = ::WaitForMultipleObjects(pending ? 3 : 2, waits, FALSE, folder ? kDeleteCheckMs : INFINITE);
    if (woken == WAIT_TIMEOUT || (woken == WAIT_OBJECT_0 + 1 && folder)) {
      if (DeletePending(folder.Get())) {
        if (pending) {
          DWORD bytes = 0;
          ::CancelIoEx(folder.Get(), &overlapped);
          ::GetOverlappedResult(folder.Get(), &overlapped, &bytes, TRUE);
          pending = false;
        }
        live_ = false;
        folder.Reset();
        Tell({FolderChange::Kind::Gone, {}, {}});
        continue;
      }
      if (woken == WAIT_TIMEOUT) continue;
    }
    if (woken == WAIT_OBJECT_0 + 1) {
      List();
      continue;
    }
    if (woken != WAIT_OBJECT_0 + 2) break;  // stopped, or the wait failed
    DWORD bytes = 0;
    pending = false;
    const bool read = ::GetOverlappedResult(folder.Get(), &overlapped, &bytes, FALSE);
    if (read && bytes != 0) {
      const std::vector<FolderChange> changes = ReadChangeRecords(records.data(), bytes);
      for (const FolderChange& change : changes) {
        names_.Apply(change);
        Tell(change);
      }
      watch();
    } else if (read || ::GetLastError() == ERROR_NOTIFY_ENUM_DIR) {
      // More changes than the records could hold: the names are listed again, once.
      watch();
      List();
    } else {
      // The folder went, or its file system stopped answering. Our handle would keep a deleted
      // folder pending, so that nobody could make it again: it goes at once.
      live_ = false;
      folder.Reset();
      Tell({FolderChange::Kind::Gone, {}, {}});
    }
  }
  if (pending) {
    DWORD bytes = 0;
    ::CancelIoEx(folder.Get(), &overlapped);
    ::GetOverlappedResult(folder.Get(), &overlapped, &bytes, TRUE);
  }
  if (share_) share_->Withdraw();
}

}  // namespace callwright
