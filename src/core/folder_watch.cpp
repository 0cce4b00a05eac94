#include "core/folder_watch.h"

#include <chrono>
#include <cstring>

namespace callwright {

namespace {

constexpr std::size_t kRecordHeader = 12;  // offset, action and name length, 4 bytes each

std::uint32_t Read32(const unsigned char* at) {
  std::uint32_t value;
  std::memcpy(&value, at, sizeof(value));
  return value;
}

}  // namespace

std::vector<FolderChange> ReadChangeRecords(const void* data, std::size_t size) {
  std::vector<FolderChange> changes;
  const auto* bytes = static_cast<const unsigned char*>(data);
  if (bytes == nullptr) return changes;
  std::wstring renamed_from;
  bool rename_open = false;
  for (std::size_t at = 0; size - at >= kRecordHeader && at < size;) {
    const std::uint32_t next = Read32(bytes + at);
    const auto action = static_cast<ChangeAction>(Read32(bytes + at + 4));
    const std::uint32_t name_bytes = Read32(bytes + at + 8);
    if (name_bytes % 2 != 0 || name_bytes > size - at - kRecordHeader) break;
    // UTF-16 units, one per character of the name as Windows holds it.
    std::wstring name(name_bytes / 2, L'\0');
    for (std::size_t i = 0; i < name.size(); ++i) {
      std::uint16_t unit;
      std::memcpy(&unit, bytes + at + kRecordHeader + 2 * i, sizeof(unit));
      name[i] = static_cast<wchar_t>(unit);
    }
    // A name moved out of the folder leaves only its old-name record: taken as removed unless its
    // new name follows at once.
    if (rename_open && action != ChangeAction::RenamedNew) {
      changes.push_back({FolderChange::Kind::Removed, renamed_from, {}});
      rename_open = false;
    }
    switch (action) {
      case ChangeAction::Added:
        changes.push_back({FolderChange::Kind::Added, std::move(name), {}});
        break;
      case ChangeAction::Removed:
        changes.push_back({FolderChange::Kind::Removed, std::move(name), {}});
        break;
      case ChangeAction::RenamedOld:
        renamed_from = std::move(name);
        rename_open = true;
        break;
      case ChangeAction::RenamedNew:
        if (rename_open) {
          changes.push_back({FolderChange::Kind::Renamed, std::move(name), renamed_from});
          rename_open = false;
        } else {
          changes.push_back({FolderChange::Kind::Added, std::move(name), {}});
        }
        break;
      default:
        break;
    }
    if (next == 0 || next > size - at || next < kRecordHeader) break;
    at += next;
  }
  if (rename_open) changes.push_back({FolderChange::Kind::Removed, renamed_from, {}});
  return changes;
}

bool FolderNames::Contains(std::wstring_view name) const {
  const std::wstring key = key_(name);
  const std::lock_guard hold(lock_);
  return names_.contains(key);
}

std::size_t FolderNames::Size() const {
  const std::lock_guard hold(lock_);
  return names_.size();
}

void FolderNames::Replace(const std::vector<std::wstring>& names) {
  std::unordered_set<std::wstring> keys;
  keys.reserve(names.size());
  for (const std::wstring& name : names) keys.insert(key_(name));
  const std::lock_guard hold(lock_);
  names_.swap(keys);
}

void FolderNames::Apply(const FolderChange& change) {
  const std::wstring key = key_(change.name);
  const std::wstring old_key = change.kind == FolderChange::Kind::Renamed ? key_(change.old_name) : std::wstring();
  const std::lock_guard hold(lock_);
  switch (change.kind) {
    case FolderChange::Kind::Added:
      names_.insert(key);
      break;
    case FolderChange::Kind::Removed:
      names_.erase(key);
      break;
    case FolderChange::Kind::Renamed:
      names_.erase(old_key);
      names_.insert(key);
      break;
    case FolderChange::Kind::Relisted:
    case FolderChange::Kind::Gone:
      break;
  }
}

void SharedListing::Give(std::vector<WavEntry> entries) {
  {
    const std::lock_guard hold(lock_);
    if (state_ != State::Waiting) return;
    entries_ = std::move(entries);
    state_ = State::Given;
  }
  settled_.notify_all();
}

void SharedListing::Withdraw() {
  {
    const std::lock_guard hold(lock_);
    if (state_ != State::Waiting) return;
    state_ = State::Withdrawn;
  }
  settled_.notify_all();
}

std::optional<std::vector<WavEntry>> SharedListing::Take(const std::function<bool()>& stop) {
  std::unique_lock hold(lock_);
  while (state_ == State::Waiting) {
    // The reader's stop has no way to wake this wait: it is asked in short steps.
    settled_.wait_for(hold, std::chrono::milliseconds(50));
    if (state_ == State::Waiting && stop && stop()) return std::nullopt;
  }
  if (state_ != State::Given) return std::nullopt;
  state_ = State::Taken;
  return std::move(entries_);
}

}  // namespace callwright
