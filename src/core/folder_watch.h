#pragma once
// A live set of the names in one folder: listed once, then kept up to date from the system's
// change records, so that "is this name taken?" never waits on the disk. The set and the records'
// reading are window-free; FolderWatch (Windows) runs the listing and the watch on a thread.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "core/catalogue.h"

namespace callwright {

// One change of a folder's names.
struct FolderChange {
  enum class Kind {
    Added,
    Removed,
    Renamed,   // old_name became name
    Relisted,  // the set was listed afresh (after an overflow of the records): no name given
    Gone,      // the folder itself went, or its file system stopped answering: no more changes
  };
  Kind kind = Kind::Added;
  std::wstring name;
  std::wstring old_name;  // Renamed only

  bool operator==(const FolderChange&) const = default;
};

// The action codes of the system's change records (FILE_ACTION_*).
enum class ChangeAction : std::uint32_t { Added = 1, Removed = 2, Modified = 3, RenamedOld = 4, RenamedNew = 5 };

// Reads a buffer of change records (FILE_NOTIFY_INFORMATION: next-entry offset, action, name
// length in bytes, UTF-16 name) into name changes. A rename's two records become one change; a
// record that would reach past the buffer, or an offset that does not advance, ends the reading.
// Modifications are no change of names and are left out.
std::vector<FolderChange> ReadChangeRecords(const void* data, std::size_t size);

// Names compared without regard to case, as the file systems of Windows compare them; safe to
// use from any thread.
class FolderNames {
 public:
  // key turns a name into its case-free form (upper-casing that keeps the length).
  explicit FolderNames(std::function<std::wstring(std::wstring_view)> key) : key_(std::move(key)) {}

  bool Contains(std::wstring_view name) const;
  std::size_t Size() const;
  void Replace(const std::vector<std::wstring>& names);
  void Apply(const FolderChange& change);

 private:
  std::function<std::wstring(std::wstring_view)> key_;
  mutable std::mutex lock_;
  std::unordered_set<std::wstring> names_;  // guarded by lock_
};

// One listing of a folder, handed from the watch that takes it to a reader that would otherwise
// walk the same folder at the same time: a large folder is walked once at start, not twice side
// by side. Either side may go first; safe to use from any thread.
class SharedListing {
 public:
  explicit SharedListing(std::wstring folder) : folder_(std::move(folder)) {}
  // The folder the reader asked for (the watch may serve it only if it is the same folder).
  const std::wstring& Folder() const noexcept { return folder_; }
  // The watch's listing: the recording entries of the folder, names only. Only the first of
  // Give and Withdraw counts.
  void Give(std::vector<WavEntry> entries);
  // No listing is coming (another folder was watched, or the listing was stopped).
  void Withdraw();
  // Waits until given or withdrawn, asking stop() now and then; the entries if given.
  std::optional<std::vector<WavEntry>> Take(const std::function<bool()>& stop);

 private:
  enum class State { Waiting, Given, Withdrawn, Taken };
  const std::wstring folder_;
  std::mutex lock_;
  std::condition_variable settled_;
  State state_ = State::Waiting;  // guarded by lock_
  std::vector<WavEntry> entries_;  // guarded by lock_
};

}  // namespace callwright
