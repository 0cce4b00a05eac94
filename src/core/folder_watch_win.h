#pragma once
// Follows one folder's names on a thread of its own: a first listing, then the system's change
// records (ReadDirectoryChangesW); an overflow of the records brings one quiet listing afresh.
// Others may subscribe to the changes.
#include <windows.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "base/handles.h"
#include "core/folder_watch.h"

namespace callwright {

class FolderWatch {
 public:
  // Told of each change on the watch's thread; must not block, nor subscribe or unsubscribe.
  using Listener = std::function<void(const FolderChange&)>;

  // Starts on the folder (without a trailing separator) at once; never waits for it. The first
  // listing's recording entries go to share, if given (withdrawn if that listing does not end).
  explicit FolderWatch(std::wstring folder, std::shared_ptr<SharedListing> share = nullptr);
  // Stops the thread and waits for it (at most one directory step).
  ~FolderWatch();
  FolderWatch(const FolderWatch&) = delete;
  FolderWatch& operator=(const FolderWatch&) = delete;

  const std::wstring& Folder() const noexcept { return folder_; }
  // Whether a file or folder of this name is in the folder, as far as the watch knows: the names
  // listed so far and every change seen since the watch began.
  bool Contains(std::wstring_view name) const { return names_.Contains(name); }
  std::size_t Count() const { return names_.Size(); }
  // The first listing is complete.
  bool Listed() const noexcept { return listed_.load(); }
  // Changes are followed; false when the folder cannot be watched (missing, or a file system
  // without change records): the names are then those of the last listing.
  bool Live() const noexcept { return live_.load(); }
  bool WaitListed(std::chrono::milliseconds timeout) const;
  // Lists the folder afresh on the watch's thread (for a folder that is not live). The folder is
  // also asked every second whether it is being deleted; then the watch lets it go and tells Gone.
  void Relist();

  int Subscribe(Listener listener);
  void Unsubscribe(int id);

 private:
  void Run();
  void List();
  void Tell(const FolderChange& change);

  const std::wstring folder_;
  FolderNames names_;
  KernelHandle stop_;
  KernelHandle relist_;
  std::shared_ptr<SharedListing> share_;  // the watch's thread only, once started
  std::atomic<bool> listed_{false};
  std::atomic<bool> live_{false};
  std::mutex listeners_lock_;
  std::map<int, Listener> listeners_;  // guarded by listeners_lock_
  int next_listener_ = 0;              // guarded by listeners_lock_
  std::thread thread_;
};

}  // namespace callwright
