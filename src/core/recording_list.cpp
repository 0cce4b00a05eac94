#include "core/recording_list.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <numeric>
#include <optional>
#include <string_view>
#include <unordered_set>
#include <utility>

namespace callwright {

namespace {

// The Size cell of a recording that has no size to show.
const wchar_t* StateText(RecordingState state) {
  switch (state) {
    case RecordingState::Busy:
      return L"BUSY";
    case RecordingState::Denied:
      return L"NO ACCESS";
    case RecordingState::Unreadable:
      return L"UNREADABLE";
    default:
      return nullptr;
  }
}

wchar_t AsciiLower(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

int CompareIgnoringCase(std::wstring_view a, std::wstring_view b) {
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
    if (a[i] == b[i]) continue;
    const wchar_t x = AsciiLower(a[i]), y = AsciiLower(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool ContainsIgnoringCase(std::wstring_view text, std::wstring_view part) {
  if (part.size() > text.size()) return false;
  for (std::size_t at = 0; at + part.size() <= text.size(); ++at) {
    if (CompareIgnoringCase(text.substr(at, part.size()), part) == 0) return true;
  }
  return false;
}

// Rows with a number before those without, then by the number.
template <typename Number>
int CompareKnown(bool known_x, Number x, bool known_y, Number y) {
  if (known_x != known_y) return known_x ? -1 : 1;
  if (!known_x || x == y) return 0;
  return x < y ? -1 : 1;
}

// Whether a row has a number to sort by in the Size and Length columns.
bool HasSize(const Recording& r) { return r.state == RecordingState::Listed || r.state == RecordingState::Measured; }
bool HasLength(const Recording& r) { return r.state == RecordingState::Measured && r.length != Recording::kNoLength; }

std::vector<std::size_t> Identity(std::size_t count) {
  std::vector<std::size_t> order(count);
  std::iota(order.begin(), order.end(), std::size_t{0});
  return order;
}

std::size_t HashName(std::wstring_view name) { return std::hash<std::wstring_view>{}(name); }

// From this many names on, an old listing's names are freed on a thread of their own.
constexpr std::size_t kReleasedAside = 10000;

// The names' index: open addressing over the record numbers, at least twice as many slots as
// names, a power of two.
constexpr std::uint32_t kFreeSlot = 0xFFFFFFFF;  // RecordingList::kNoRecord

// Into the first free slot from the name's own.
void PlaceName(std::vector<std::uint32_t>& slots, std::wstring_view name, std::uint32_t record) {
  const std::size_t mask = slots.size() - 1;
  std::size_t slot = HashName(name) & mask;
  while (slots[slot] != kFreeSlot) slot = (slot + 1) & mask;
  slots[slot] = record;
}

std::vector<std::uint32_t> NameSlots(const std::vector<std::wstring>& names) {
  std::size_t count = 16;
  while (count < names.size() * 2 + 2) count *= 2;
  std::vector<std::uint32_t> slots(count, kFreeSlot);
  for (std::uint32_t record = 0; record < names.size(); ++record) PlaceName(slots, names[record], record);
  return slots;
}

}  // namespace

// What a listing's worker builds, handed over when its one result is taken.
struct RecordingList::ListingRun {
  struct Built {
    std::atomic<bool> stop{false};
    std::shared_ptr<std::vector<std::wstring>> names = std::make_shared<std::vector<std::wstring>>();
    std::vector<Recording> records;
    std::vector<std::size_t> order;  // newest first, for the measuring
    std::vector<std::uint32_t> name_slots;  // the names' index, made here rather than on the window's thread
  };
  std::wstring folder;
  std::shared_ptr<Built> built = std::make_shared<Built>();
  std::unique_ptr<FileWorker> worker;
};

struct RecordingList::Probe {
  std::unique_ptr<FileWorker> worker;
  std::vector<std::uint32_t> records;  // record of each name given; empty: the same index
};

struct RecordingList::Deletion {
  std::wstring folder;
  std::shared_ptr<const std::vector<std::wstring>> names;
  std::unique_ptr<FileWorker> worker;
  std::size_t busy_kept = 0;
  std::vector<std::wstring> no_recycle_bin;
};

RecordingList::RecordingList(RecordingListServices services)
    : services_(std::move(services)), names_(std::make_shared<std::vector<std::wstring>>()) {
  if (!services_.compare) services_.compare = &CompareIgnoringCase;
  if (!services_.contains) services_.contains = &ContainsIgnoringCase;
  if (!services_.matched_in_steps) services_.matched_in_steps = [](std::wstring_view) { return true; };
}

void RecordingList::SetSort(int column, bool ascending) {
  sort_column_ = column >= 0 && column < kColumnCount ? column : -1;
  sort_ascending_ = ascending;
  // Which rows the filter takes stays as it was.
  SortOrder();
  Show(ShownOf());
}

void RecordingList::SetFilter(std::wstring text) {
  if (text == filter_) return;
  const std::wstring old = std::exchange(filter_, std::move(text));
  if (filter_.empty()) {
    for (std::uint32_t record : order_) matched_[record] = true;
  } else if (!old.empty() && (filter_.starts_with(old) || old.starts_with(filter_)) &&
             services_.matched_in_steps(old) && services_.matched_in_steps(filter_) &&
             services_.matched_in_steps(WhenText(L"01012000_000000_x.wav"))) {
    // A row without the shorter text cannot hold the longer one: a longer text tests only the rows
    // shown, a shorter one only those hidden, and both the rows whose names are matched otherwise.
    // In the records' order, which is the names' order in memory.
    const bool shown = filter_.starts_with(old);
    for (std::uint32_t record = 0; record < records_.size(); ++record) {
      const Recording& recording = records_[record];
      if ((matched_[record] == shown || !recording.matched_in_steps) && !recording.removed) {
        matched_[record] = Matches(record, filter_);
      }
    }
  } else {
    MatchAll();
  }
  Show(ShownOf());
}

std::size_t RecordingList::Total() const { return order_.size(); }

RecordingList::~RecordingList() { Stop(std::chrono::milliseconds::max()); }

const std::wstring& RecordingList::NameOf(std::uint32_t record) const {
  return record < names_->size() ? (*names_)[record] : added_names_[record - names_->size()];
}

std::wstring RecordingList::PathOf(std::uint32_t record) const { return folder_ + L"\\" + NameOf(record); }

void RecordingList::Retire(std::unique_ptr<FileWorker> worker) {
  if (!worker) return;
  worker->Cancel();
  retired_.push_back(std::move(worker));
  DropEndedRetired();
}

void RecordingList::DropEndedRetired() {
  std::erase_if(retired_, [](const std::unique_ptr<FileWorker>& old) { return old->Ended(); });
}

const std::wstring& RecordingList::ListedFolder() const { return listing_ ? listing_->folder : folder_; }

void RecordingList::List(std::wstring folder, std::shared_ptr<SharedListing> share) {
  // The running listing and every measure belong to rows about to be replaced.
  if (listing_) {
    listing_->built->stop = true;
    Retire(std::move(listing_->worker));
  }
  for (std::unique_ptr<Probe>& probe : probes_) Retire(std::move(probe->worker));
  probes_.clear();
  busy_probe_ = nullptr;
  deleted_since_.clear();
  added_since_.clear();
  // What was seen BUSY elsewhere says nothing of this folder.
  if (folder != folder_) busy_names_.clear();

  listing_ = std::make_unique<ListingRun>();
  listing_->folder = std::move(folder);
  const std::wstring search_folder = listing_->folder + L"\\";
  listing_->worker = std::make_unique<FileWorker>(
      std::make_shared<std::vector<std::wstring>>(1, search_folder), std::vector<std::size_t>{0},
      [built = listing_->built, list = services_.list, in_steps = services_.matched_in_steps,
       share = std::move(share)](const std::wstring& folder_text) {
        const auto stop = [&built] { return built->stop.load(); };
        std::optional<std::vector<WavEntry>> shared = share ? share->Take(stop) : std::nullopt;
        std::vector<WavEntry> entries;
        if (shared) {
          entries = std::move(*shared);
        } else if (list && !stop()) {
          entries = list(folder_text, stop);
        }
        built->records.resize(entries.size());
        built->names->reserve(entries.size());
        for (std::size_t i = 0; i < entries.size(); ++i) {
          built->records[i].size = entries[i].size;
          built->records[i].time = RecordingTime(entries[i].path);
          built->records[i].matched_in_steps = in_steps(entries[i].path);
          built->names->push_back(std::move(entries[i].path));
        }
        built->order = NewestFirst(entries);
        built->name_slots = NameSlots(*built->names);
        return FileOutcome{FileStatus::Done};
      },
      services_.wake);
}

void RecordingList::StartProbe(std::vector<std::uint32_t> records, std::vector<std::size_t> order,
                               std::shared_ptr<const std::vector<std::wstring>> names) {
  if (order.empty()) return;
  auto probe = std::make_unique<Probe>();
  probe->records = std::move(records);
  probe->worker = std::make_unique<FileWorker>(
      std::move(names), std::move(order),
      [measure = services_.measure, folder = folder_ + L"\\"](const std::wstring& name) {
        return measure ? measure(folder + name) : FileOutcome{};
      },
      services_.wake, services_.measure_interval);
  probes_.push_back(std::move(probe));
}

bool RecordingList::TakeListing() {
  if (!listing_ || listing_->worker->TakeResults().empty()) return false;
  // Taking the result also makes the worker's writes to what it built visible here.
  const std::unique_ptr<ListingRun> listing = std::move(listing_);
  ListingRun::Built& built = *listing->built;
  folder_ = listing->folder;
  // A large listing's old names are let go of elsewhere, once no retired worker holds them.
  DropEndedRetired();
  if (std::shared_ptr<const std::vector<std::wstring>> old = std::exchange(names_, built.names);
      old->size() >= kReleasedAside) {
    release_.Release(std::move(old));
  }
  added_names_.clear();
  records_ = std::move(built.records);
  name_slots_ = std::move(built.name_slots);
  indexed_ = records_.size();
  RemoveNames(deleted_since_);
  deleted_since_.clear();
  // Measures started meanwhile are of the rows being replaced; their files are measured again below.
  for (std::unique_ptr<Probe>& probe : probes_) Retire(std::move(probe->worker));
  probes_.clear();
  busy_probe_ = nullptr;
  StartProbe({}, std::move(built.order), names_);
  for (const auto& [name, size] : std::exchange(added_since_, {})) {
    if (FindName(name) == kNoRecord) AddRecord(name, size);
  }
  return true;
}

bool RecordingList::TakeProbes(std::vector<std::uint32_t>& changed) {
  bool moved = false;
  for (const std::unique_ptr<Probe>& probe : probes_) {
    for (const FileWorker::Result& result : probe->worker->TakeResults()) {
      const std::size_t record = probe->records.empty() ? result.index : probe->records[result.index];
      if (record >= records_.size() || records_[record].removed) continue;
      Recording& recording = records_[record];
      const FileOutcome& outcome = result.outcome;
      switch (outcome.status) {
        case FileStatus::Done:
          recording.state = RecordingState::Measured;
          recording.size = outcome.size;
          recording.length = outcome.length_ms < 0 ? Recording::kNoLength
                                                   : static_cast<std::uint32_t>(std::min<std::int64_t>(
                                                         outcome.length_ms / 1000, Recording::kNoLength - 1));
          recording.damaged = outcome.damaged;
          if (busy_names_.erase(NameOf(static_cast<std::uint32_t>(record))) > 0)
            busy_ended_.push_back(NameOf(static_cast<std::uint32_t>(record)));
          break;
        case FileStatus::Busy:
          // Measured again every second while the call records: no repaint for the same BUSY.
          if (recording.state == RecordingState::Busy) continue;
          recording.state = RecordingState::Busy;
          busy_names_.insert(NameOf(static_cast<std::uint32_t>(record)));
          break;
        case FileStatus::Denied:
          recording.state = RecordingState::Denied;
          break;
        case FileStatus::Failed:
        case FileStatus::NoRecycleBin:  // a deletion's outcome; a measure never gives it
          recording.state = RecordingState::Unreadable;
          break;
        case FileStatus::Gone:
          // Deleted or renamed since the search: no row for it.
          recording.removed = true;
          UnindexName(static_cast<std::uint32_t>(record));
          moved = true;
          continue;
      }
      changed.push_back(static_cast<std::uint32_t>(record));
    }
  }
  std::erase_if(probes_, [this](const std::unique_ptr<Probe>& probe) {
    if (!probe->worker->Done()) return false;
    if (probe.get() == busy_probe_) busy_probe_ = nullptr;
    return true;
  });
  return moved;
}

bool RecordingList::TakeDeletions(std::vector<DeletionReport>& finished) {
  bool moved = false;
  for (const std::unique_ptr<Deletion>& deletion : deletions_) {
    std::vector<std::wstring> gone;
    for (const FileWorker::Result& result : deletion->worker->TakeResults()) {
      const std::wstring& name = (*deletion->names)[result.index];
      switch (result.outcome.status) {
        case FileStatus::Done:
        case FileStatus::Gone:
          gone.push_back(name);
          break;
        case FileStatus::Busy:
          ++deletion->busy_kept;
          break;
        case FileStatus::NoRecycleBin:
          deletion->no_recycle_bin.push_back(name);
          break;
        default:
          break;
      }
    }
    if (gone.empty()) continue;
    if (listing_ && deletion->folder == listing_->folder) {
      deleted_since_.insert(deleted_since_.end(), gone.begin(), gone.end());
    }
    if (deletion->folder == folder_) moved = RemoveNames(gone) || moved;
  }
  for (auto it = deletions_.begin(); it != deletions_.end();) {
    if ((*it)->worker->Done()) {
      finished.push_back({(*it)->busy_kept, {(*it)->folder, std::move((*it)->no_recycle_bin)}});
      it = deletions_.erase(it);
    } else {
      ++it;
    }
  }
  return moved;
}

bool RecordingList::RemoveNames(const std::vector<std::wstring>& names) {
  bool any = false;
  for (const std::wstring& name : names) {
    const std::uint32_t record = FindName(name);
    if (record == kNoRecord) continue;
    records_[record].removed = true;
    UnindexName(record);
    any = true;
  }
  return any;
}

void RecordingList::Update() {
  std::vector<DeletionReport> finished;
  bool moved = TakeDeletions(finished);
  const bool reset = TakeListing();
  TakeRepairs();
  std::vector<std::uint32_t> changed;
  moved = TakeProbes(changed) || moved;
  const bool cells = !changed.empty();
  if (reset) {
    matched_.assign(records_.size(), true);
    if (!filter_.empty()) MatchAll();
    SortOrder();
    view_ = ShownOf();
    rows_known_ = false;
    if (OnChange) OnChange({Change::Kind::Reset, {}, {}});
  } else if (cells && (sort_column_ == kSize || sort_column_ == kLength)) {
    // A size or length that arrives may move its row under the chosen order.
    if (moved) DropRemoved();
    SortOrder();
    Show(ShownOf());
  } else if (moved) {
    DropRemoved();
  } else if (cells && OnChange) {
    // Most measures in a batch are of rows scrolled out of sight: the window repaints only the
    // rows named.
    if (std::vector<int> rows = RowsOf(changed); !rows.empty()) OnChange({Change::Kind::Cells, {}, std::move(rows)});
  }
  if (OnDeletionDone) {
    for (const DeletionReport& report : finished) OnDeletionDone(report);
  }
  for (const std::wstring& name : std::exchange(busy_ended_, {})) {
    if (OnBusyEnded) OnBusyEnded(name);
  }
}

void RecordingList::SetConverting(std::wstring_view name) {
  conversion_notes_[std::wstring(name)] = L"converting";
  ConversionNoteChanged(name);
}

void RecordingList::SetConversionFailed(std::wstring_view name, std::wstring_view reason) {
  conversion_notes_[std::wstring(name)] = L"not converted: " + std::wstring(reason);
  ConversionNoteChanged(name);
}

void RecordingList::ClearConversion(std::wstring_view name) {
  if (conversion_notes_.erase(std::wstring(name)) > 0) ConversionNoteChanged(name);
}

std::wstring RecordingList::ConversionNote(std::wstring_view name) const {
  const auto found = conversion_notes_.find(std::wstring(name));
  return found == conversion_notes_.end() ? std::wstring() : found->second;
}

std::vector<int> RecordingList::RowsOf(const std::vector<std::uint32_t>& records) {
  if (!rows_known_) {
    row_of_.assign(records_.size(), -1);
    for (std::size_t row = 0; row < view_.size(); ++row) row_of_[view_[row]] = static_cast<int>(row);
    rows_known_ = true;
  }
  std::vector<int> rows;
  for (const std::uint32_t record : records) {
    if (record < row_of_.size() && row_of_[record] >= 0) rows.push_back(row_of_[record]);
  }
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  return rows;
}

void RecordingList::ConversionNoteChanged(std::wstring_view name) {
  const std::uint32_t record = FindName(name);
  const bool shown = record != kNoRecord && record < matched_.size() && matched_[record];
  if (shown && OnChange) OnChange({Change::Kind::Cells, {}, {}});
}

bool RecordingList::Matches(std::uint32_t record, std::wstring_view text) const {
  const std::wstring& name = NameOf(record);
  if (services_.contains(name, text)) return true;
  wchar_t when[kWhenTextMax];
  return services_.contains(WhenTextIn(name, when), text);
}

void RecordingList::MatchAll() {
  matched_.assign(records_.size(), filter_.empty());
  if (filter_.empty()) return;
  for (std::uint32_t record = 0; record < records_.size(); ++record) {
    if (!records_[record].removed) matched_[record] = Matches(record, filter_);
  }
}

std::vector<std::uint32_t> RecordingList::ShownOf() const {
  if (filter_.empty()) return order_;
  std::vector<std::uint32_t> view;
  for (std::uint32_t record : order_) {
    if (matched_[record]) view.push_back(record);
  }
  return view;
}

int RecordingList::ComparePartners(std::wstring_view a, std::wstring_view b) const {
  if (!services_.sort_key) return services_.compare(a, b);
  const std::string x = services_.sort_key(a), y = services_.sort_key(b);
  return x.compare(y);
}

bool RecordingList::Before(std::uint32_t a, std::uint32_t b) const {
  if (a == b) return false;
  const Recording &x = records_[a], &y = records_[b];
  // Negative: a first ascending; 0: equal keys, which keep the listing's order both ways.
  int order = 0;
  switch (sort_column_) {
    case kWhen:
      order = x.time != y.time ? (x.time < y.time ? -1 : 1) : CompareIgnoringCase(NameOf(a), NameOf(b));
      break;
    case kPartner:
      order = ComparePartners(PartnerText(NameOf(a)), PartnerText(NameOf(b)));
      break;
    case kSize:
      order = CompareKnown(HasSize(x), x.size, HasSize(y), y.size);
      break;
    case kLength:
      order = CompareKnown(HasLength(x), x.length, HasLength(y), y.length);
      break;
    case kLocation:
      order = CompareIgnoringCase(NameOf(a), NameOf(b));
      break;
    default:
      break;
  }
  if (order != 0) return (order < 0) == sort_ascending_;
  return a < b;
}

namespace {

struct KeyedRecord {
  std::uint64_t key;
  std::uint32_t record;
};

// By key, then by `tie` (none: equal), then by record, which keeps the listing's order both ways.
void SortKeyed(std::vector<KeyedRecord>& entries, bool ascending,
               const std::function<int(std::uint32_t, std::uint32_t)>& tie) {
  std::sort(entries.begin(), entries.end(), [&](const KeyedRecord& a, const KeyedRecord& b) {
    int order = a.key < b.key ? -1 : (b.key < a.key ? 1 : 0);
    if (order == 0 && tie) order = tie(a.record, b.record);
    if (order != 0) return (order < 0) == ascending;
    return a.record < b.record;
  });
}

}  // namespace

void RecordingList::SortOrder() {
  order_.clear();
  order_.reserve(records_.size());
  for (std::uint32_t record = 0; record < records_.size(); ++record) {
    if (!records_[record].removed) order_.push_back(record);
  }
  if (sort_column_ < 0) return;
  // Ascending with the record's place as the last key, so that equal keys keep the listing's order
  // both ways; rows without a number come last ascending (first descending). The same order as
  // Before, with what it compares made once and kept beside each record, in the array sorted.
  // Every column but File location sorts through the one SortKeyed, which keeps the program small.
  const auto by = [&](auto key_of, const std::function<int(std::uint32_t, std::uint32_t)>& tie) {
    std::vector<KeyedRecord> entries;
    entries.reserve(order_.size());
    for (std::uint32_t record : order_) entries.push_back({key_of(record), record});
    SortKeyed(entries, sort_ascending_, tie);
    for (std::size_t i = 0; i < entries.size(); ++i) order_[i] = entries[i].record;
  };
  const auto by_name = [&](std::uint32_t a, std::uint32_t b) { return CompareIgnoringCase(NameOf(a), NameOf(b)); };
  switch (sort_column_) {
    case kWhen:
      by([&](std::uint32_t record) { return records_[record].time; }, by_name);
      break;
    case kPartner:
      if (services_.sort_key) {
        // Keys made once per row, side by side in one block, compared byte by byte.
        std::string keys;
        std::vector<std::uint32_t> at(records_.size() + 1, 0);
        std::vector<std::uint32_t> size(records_.size(), 0);
        for (std::uint32_t record : order_) {
          const std::string key = services_.sort_key(PartnerText(NameOf(record)));
          at[record] = static_cast<std::uint32_t>(keys.size());
          size[record] = static_cast<std::uint32_t>(key.size());
          keys += key;
        }
        // What all keys share is skipped, and the next eight bytes stand beside the record, so
        // that most comparisons read nothing else.
        const std::string_view all(keys);
        const auto key = [&](std::uint32_t record) { return all.substr(at[record], size[record]); };
        std::size_t shared = order_.empty() ? 0 : size[order_.front()];
        for (std::uint32_t record : order_) {
          const std::string_view a = key(order_.front()), b = key(record);
          std::size_t same = 0;
          while (same < shared && same < b.size() && a[same] == b[same]) ++same;
          shared = same;
        }
        by([&](std::uint32_t record) {
             const std::string_view rest = key(record).substr(shared);
             std::uint64_t head = 0;
             for (std::size_t i = 0; i < 8; ++i) {
               head = head << 8 | (i < rest.size() ? static_cast<unsigned char>(rest[i]) : 0u);
             }
             return head;
           },
           [&](std::uint32_t a, std::uint32_t b) { return key(a).substr(shared).compare(key(b).substr(shared)); });
      } else {
        // Partner texts made once, not at every comparison.
        std::vector<std::wstring> partners(records_.size());
        for (std::uint32_t record : order_) partners[record] = PartnerText(NameOf(record));
        by([](std::uint32_t) { return std::uint64_t{0}; },
           [&](std::uint32_t a, std::uint32_t b) { return services_.compare(partners[a], partners[b]); });
      }
      break;
    case kSize:
      // Rows without a size after all others; sizes are never negative.
      by([&](std::uint32_t record) {
        const Recording& r = records_[record];
        return HasSize(r) ? static_cast<std::uint64_t>(std::max<std::int64_t>(r.size, 0)) : ~std::uint64_t{0};
      }, {});
      break;
    case kLength:
      by([&](std::uint32_t record) {
        const Recording& r = records_[record];
        return HasLength(r) ? std::uint64_t{r.length} : std::uint64_t{1} << 32;
      }, {});
      break;
    case kLocation: {
      // The first twelve characters, lower case, as numbers in their order (three to a number, 21
      // bits hold any code point); the names decide the rest.
      struct Entry {
        std::array<std::uint64_t, 4> start;
        std::uint32_t record;
      };
      std::vector<Entry> entries;
      entries.reserve(order_.size());
      for (std::uint32_t record : order_) {
        const std::wstring& name = NameOf(record);
        Entry entry{{}, record};
        for (std::size_t i = 0; i < 12; ++i) {
          const auto c = i < name.size() ? static_cast<std::uint64_t>(AsciiLower(name[i])) & 0x1FFFFF : 0;
          entry.start[i / 3] = entry.start[i / 3] << 21 | c;
        }
        entries.push_back(entry);
      }
      std::sort(entries.begin(), entries.end(), [&](const Entry& a, const Entry& b) {
        int order = a.start < b.start ? -1 : (b.start < a.start ? 1 : 0);
        if (order == 0) order = by_name(a.record, b.record);
        if (order != 0) return (order < 0) == sort_ascending_;
        return a.record < b.record;
      });
      for (std::size_t i = 0; i < entries.size(); ++i) order_[i] = entries[i].record;
      break;
    }
    default:
      break;
  }
}

void RecordingList::Show(std::vector<std::uint32_t> view) {
  std::vector<int> position(records_.size(), -1);
  for (std::size_t i = 0; i < view.size(); ++i) position[view[i]] = static_cast<int>(i);
  Change change{Change::Kind::Moved, std::vector<int>(view_.size()), {}};
  for (std::size_t i = 0; i < view_.size(); ++i) {
    change.new_index[i] = view_[i] < position.size() ? position[view_[i]] : -1;
  }
  view_ = std::move(view);
  // The new rows' places are what RowsOf asks for next.
  row_of_ = std::move(position);
  rows_known_ = true;
  if (OnChange) OnChange(change);
}

void RecordingList::Rebuild() {
  MatchAll();
  SortOrder();
  Show(ShownOf());
}

void RecordingList::DropRemoved() {
  const auto removed = [this](std::uint32_t record) { return records_[record].removed; };
  std::erase_if(order_, removed);
  Change change{Change::Kind::Moved, std::vector<int>(view_.size()), {}};
  int next = 0;
  for (std::size_t i = 0; i < view_.size(); ++i) change.new_index[i] = removed(view_[i]) ? -1 : next++;
  std::erase_if(view_, removed);
  rows_known_ = false;
  if (OnChange) OnChange(change);
}

std::uint32_t RecordingList::FindName(std::wstring_view name) const {
  if (name_slots_.empty()) return kNoRecord;
  const std::size_t mask = name_slots_.size() - 1;
  for (std::size_t slot = HashName(name) & mask;; slot = (slot + 1) & mask) {
    const std::uint32_t record = name_slots_[slot];
    if (record == kNoRecord || NameOf(record) == name) return record;
  }
}

void RecordingList::IndexName(std::uint32_t record) {
  if ((indexed_ + 1) * 2 > name_slots_.size()) {
    // Grown to twice what it holds, at least.
    std::size_t slots = 16;
    while (slots < (indexed_ + 1) * 4) slots *= 2;
    const std::vector<std::uint32_t> old = std::exchange(name_slots_, std::vector<std::uint32_t>(slots, kNoRecord));
    indexed_ = 0;
    for (std::uint32_t held : old) {
      if (held != kNoRecord) IndexName(held);
    }
  }
  static_assert(kFreeSlot == kNoRecord);
  PlaceName(name_slots_, NameOf(record), record);
  ++indexed_;
}

void RecordingList::UnindexName(std::uint32_t record) {
  if (name_slots_.empty()) return;
  const std::size_t mask = name_slots_.size() - 1;
  std::size_t slot = HashName(NameOf(record)) & mask;
  while (name_slots_[slot] != record) {
    if (name_slots_[slot] == kNoRecord) return;
    slot = (slot + 1) & mask;
  }
  // Backward shift: every later record of the run that may sit in the freed slot moves there, so
  // that no search stops short at a hole.
  std::size_t hole = slot;
  for (std::size_t next = (hole + 1) & mask; name_slots_[next] != kNoRecord; next = (next + 1) & mask) {
    const std::size_t home = HashName(NameOf(name_slots_[next])) & mask;
    // Movable when its home is not cyclically within (hole, next].
    const bool stays = hole <= next ? (home > hole && home <= next) : (home > hole || home <= next);
    if (stays) continue;
    name_slots_[hole] = name_slots_[next];
    hole = next;
  }
  name_slots_[hole] = kNoRecord;
  --indexed_;
}

bool RecordingList::Listing() const {
  return listing_ || std::any_of(probes_.begin(), probes_.end(),
                                 [](const std::unique_ptr<Probe>& probe) { return !probe->worker->Done(); });
}

bool RecordingList::Deleting() const {
  return std::any_of(deletions_.begin(), deletions_.end(),
                     [](const std::unique_ptr<Deletion>& deletion) { return !deletion->worker->Done(); });
}

RecordingList::Selection RecordingList::Select(const std::vector<int>& rows) const {
  Selection selection{folder_, {}};
  std::unordered_set<std::uint32_t> seen;
  for (int row : rows) {
    if (row < 0 || row >= Count() || !seen.insert(view_[row]).second) continue;
    selection.names.push_back(NameOf(view_[row]));
  }
  return selection;
}

std::unique_ptr<RecordingList::Deletion> RecordingList::StartOnFiles(Selection selection, const FileWorker::Work& work,
                                                                     std::chrono::milliseconds interval) {
  auto names = std::make_shared<const std::vector<std::wstring>>(std::move(selection.names));
  auto run = std::make_unique<Deletion>();
  run->folder = std::move(selection.folder);
  run->names = names;
  const std::size_t count = names->size();
  run->worker = std::make_unique<FileWorker>(
      std::move(names), Identity(count),
      [work, folder = run->folder + L"\\"](const std::wstring& name) {
        return work ? work(folder + name) : FileOutcome{};
      },
      services_.wake, interval);
  return run;
}

void RecordingList::Delete(Selection selection, FileWorker::Work remove) {
  if (selection.names.empty()) return;
  deletions_.push_back(
      StartOnFiles(std::move(selection), remove ? remove : services_.remove, services_.delete_interval));
}

void RecordingList::Repair(Selection selection) {
  if (selection.names.empty()) return;
  repairs_.push_back(StartOnFiles(std::move(selection), services_.repair, services_.delete_interval));
}

bool RecordingList::Repairing() const {
  return std::any_of(repairs_.begin(), repairs_.end(),
                     [](const std::unique_ptr<Deletion>& repair) { return !repair->worker->Done(); });
}

void RecordingList::TakeRepairs() {
  for (const std::unique_ptr<Deletion>& repair : repairs_) {
    std::vector<std::wstring_view> mended;
    for (const FileWorker::Result& result : repair->worker->TakeResults()) {
      if (result.outcome.status == FileStatus::Done) mended.push_back((*repair->names)[result.index]);
    }
    if (mended.empty() || repair->folder != folder_) continue;
    // Measured again: the mended header gives the length and clears the mark.
    std::vector<std::uint32_t> records;
    auto names = std::make_shared<std::vector<std::wstring>>();
    for (const std::wstring_view name : mended) {
      const std::uint32_t record = FindName(name);
      if (record == kNoRecord) continue;
      records.push_back(record);
      names->push_back(NameOf(record));
    }
    const std::size_t count = names->size();
    StartProbe(std::move(records), Identity(count), std::move(names));
  }
  std::erase_if(repairs_, [](const std::unique_ptr<Deletion>& repair) { return repair->worker->Done(); });
}

bool RecordingList::Stop(std::chrono::milliseconds limit) {
  if (listing_) {
    listing_->built->stop = true;
    listing_->worker->Cancel();
  }
  for (const auto& probe : probes_) probe->worker->Cancel();
  for (const auto& worker : retired_) worker->Cancel();
  for (const auto& deletion : deletions_) deletion->worker->Cancel();
  for (const auto& repair : repairs_) repair->worker->Cancel();
  const bool forever = limit == std::chrono::milliseconds::max();
  const auto deadline = forever ? std::chrono::steady_clock::time_point::max() : std::chrono::steady_clock::now() + limit;
  bool all_ended = true;
  const auto wait = [&](FileWorker& worker) {
    const auto left = forever ? std::chrono::milliseconds(std::chrono::hours(24))
                              : std::chrono::duration_cast<std::chrono::milliseconds>(
                                    std::max(deadline - std::chrono::steady_clock::now(),
                                             std::chrono::steady_clock::duration::zero()));
    all_ended = worker.WaitEnded(left) && all_ended;
  };
  if (listing_) wait(*listing_->worker);
  for (const auto& probe : probes_) wait(*probe->worker);
  for (const auto& worker : retired_) wait(*worker);
  for (const auto& deletion : deletions_) wait(*deletion->worker);
  for (const auto& repair : repairs_) wait(*repair->worker);
  return all_ended;
}

std::uint32_t RecordingList::AddRecord(std::wstring_view name, std::int64_t size) {
  const auto record = static_cast<std::uint32_t>(records_.size());
  added_names_.emplace_back(name);
  Recording recording;
  recording.size = size;
  recording.time = RecordingTime(name);
  recording.matched_in_steps = services_.matched_in_steps(name);
  records_.push_back(recording);
  IndexName(record);
  StartProbe({record}, {0}, std::make_shared<const std::vector<std::wstring>>(1, std::wstring(name)));
  return record;
}

void RecordingList::FileAdded(std::wstring_view name, std::int64_t size) {
  if (!IsRecordingName(name)) return;
  if (listing_) {
    // The running search may have passed its place already: kept for when its rows arrive.
    std::erase(deleted_since_, name);
    added_since_.emplace_back(name, size);
  }
  if (FindName(name) != kNoRecord) return;
  const std::uint32_t record = AddRecord(name, size);
  matched_.push_back(filter_.empty() || Matches(record, filter_));
  // Its place in the order found by halving, the other rows left where they are.
  const auto before = [this](std::uint32_t a, std::uint32_t b) { return Before(a, b); };
  order_.insert(std::upper_bound(order_.begin(), order_.end(), record, before), record);
  Change change{Change::Kind::Moved, std::vector<int>(view_.size()), {}};
  std::iota(change.new_index.begin(), change.new_index.end(), 0);
  if (matched_[record]) {
    const auto at = std::upper_bound(view_.begin(), view_.end(), record, before);
    const auto row = static_cast<int>(at - view_.begin());
    for (int& index : change.new_index) index += index >= row ? 1 : 0;
    view_.insert(at, record);
    rows_known_ = false;
  }
  if (OnChange) OnChange(change);
}

void RecordingList::RemeasureBusy() {
  if (busy_probe_ || listing_) return;
  std::vector<std::uint32_t> records;
  auto names = std::make_shared<std::vector<std::wstring>>();
  for (const std::wstring& name : busy_names_) {
    const std::uint32_t record = FindName(name);
    if (record == kNoRecord || records_[record].state != RecordingState::Busy) continue;
    records.push_back(record);
    names->push_back(name);
  }
  if (records.empty()) return;
  const std::size_t count = names->size();
  StartProbe(std::move(records), Identity(count), std::move(names));
  busy_probe_ = probes_.back().get();
}

void RecordingList::FileRemoved(std::wstring_view name) { FilesRemoved({std::wstring(name)}); }

void RecordingList::FilesRemoved(const std::vector<std::wstring>& names) {
  if (listing_) {
    for (const std::wstring& name : names) {
      std::erase_if(added_since_, [&name](const auto& added) { return added.first == name; });
      deleted_since_.push_back(name);
    }
  }
  // One move for all: each would cost the window a pass over every row.
  if (RemoveNames(names)) DropRemoved();
}

const Recording* RecordingList::At(int row) const {
  return row >= 0 && row < Count() ? &records_[view_[row]] : nullptr;
}

std::wstring_view RecordingList::Name(int row) const {
  return row >= 0 && row < Count() ? std::wstring_view(NameOf(view_[row])) : std::wstring_view();
}

std::wstring RecordingList::Path(int row) const {
  return row >= 0 && row < Count() ? PathOf(view_[row]) : std::wstring();
}

std::wstring RecordingList::Text(int row, Column column, const NumberSeparators& separators) const {
  if (row < 0 || row >= Count()) return {};
  const std::uint32_t record = view_[row];
  switch (column) {
    case kWhen:
      return WhenText(NameOf(record));
    case kPartner:
      return PartnerText(NameOf(record));
    case kSize: {
      const Recording& recording = records_[record];
      if (!conversion_notes_.empty()) {
        if (std::wstring note = ConversionNote(NameOf(record)); !note.empty()) return note;
      }
      const wchar_t* state = StateText(recording.state);
      return state ? std::wstring(state) : FormatFileSize(recording.size, separators);
    }
    case kLength: {
      // Empty while the call still records, and for files without a readable header.
      const Recording& recording = records_[record];
      return recording.state == RecordingState::Measured && recording.length != Recording::kNoLength
                 ? FormatLength(recording.length)
                 : std::wstring();
    }
    case kLocation:
      return PathOf(record);
    default:
      return {};
  }
}

}  // namespace callwright
