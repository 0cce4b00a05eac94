#pragma once
// The recordings list without its window: the rows of the destination folder, the workers that
// list, measure and delete their files, the order and the search filter the rows are shown in.
// Driven from one thread (the window's): workers only call `wake`, and the owner answers with
// Update(), which takes their results and tells the change through OnChange.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "core/background_release.h"
#include "core/catalogue.h"
#include "core/file_worker.h"
#include "core/folder_watch.h"

namespace callwright {

// What a recording's Size cell shows besides a size.
enum class RecordingState : std::uint8_t {
  Listed,      // the directory search's size, not yet measured
  Measured,    // the file's own size
  Busy,        // held open by the client: a call still recording
  Denied,      // may not be read
  Unreadable,  // could not be measured for another reason
};

// What is kept of one recording besides its name; the cells are made from it when painted.
struct Recording {
  static constexpr std::uint32_t kNoLength = 0xFFFFFFFF;
  std::int64_t size = 0;
  std::uint64_t time = 0;  // RecordingTime of the name
  std::uint32_t length = kNoLength;  // seconds
  RecordingState state = RecordingState::Listed;
  bool damaged = false;
  bool removed = false;
  bool matched_in_steps = true;  // the name's, as the services tell it
};

struct RecordingListServices {
  // The folder's recordings (`folder` ends in "\"), each entry's path the bare name; asks `stop`
  // now and then. Runs on a worker thread.
  std::function<std::vector<WavEntry>(const std::wstring& folder, const std::function<bool()>& stop)> list;
  // Measures and deletes one file given by its full path. Run on worker threads.
  FileWorker::Work measure;
  FileWorker::Work remove;
  // Mends a damaged recording (full path); Done when mended. Runs on a worker thread.
  FileWorker::Work repair;
  // Called on a worker thread when results wait; the owner then calls Update() on its thread.
  // Must not block.
  std::function<void()> wake;
  // Orders two partner texts (negative, 0, positive); by default case-insensitive by code unit.
  // Windows gives natural order (CompareStringEx with SORT_DIGITSASNUMBERS).
  std::function<int(std::wstring_view, std::wstring_view)> compare;
  // Optional: a byte key per partner text whose byte order is `compare`'s order, made once per
  // text and sort instead of once per comparison. Windows gives LCMapStringEx's sort key.
  std::function<std::string(std::wstring_view)> sort_key;
  // Whether `text` holds `part`; by default ignoring ASCII letter case. Windows matches as
  // FindNLSStringEx with LINGUISTIC_IGNORECASE | LINGUISTIC_IGNOREDIACRITIC.
  std::function<bool(std::wstring_view text, std::wstring_view part)> contains;
  // Whether `contains` finds, in texts of characters such as `text`'s, a part exactly where it finds
  // each of its beginnings: then a keystroke that adds to the search (or takes from its end) need
  // test only the rows shown (or hidden). Letters matched as more or fewer of them ("ß" as "ss", a
  // locale's "ch") break that. By default every text, as the default `contains` matches.
  std::function<bool(std::wstring_view text)> matched_in_steps;
  // Notices come in batches: a wake-up per file would cost more than the files themselves.
  std::chrono::milliseconds measure_interval{30};
  std::chrono::milliseconds delete_interval{150};
};

class RecordingList {
 public:
  enum Column { kWhen, kPartner, kSize, kLength, kLocation, kColumnCount };

  // A change of the shown rows, told after it happened.
  struct Change {
    enum class Kind {
      Reset,  // a new set of rows: nothing of the old ones carries over
      Moved,  // rows went, came or moved: new_index[i] is where old row i is now (-1: gone)
      Cells,  // texts changed in place
    };
    Kind kind = Kind::Cells;
    std::vector<int> new_index;
    // Cells: the shown rows whose texts changed, ascending; empty when any row may have.
    std::vector<int> rows;
  };
  std::function<void(const Change&)> OnChange;

  explicit RecordingList(RecordingListServices services);
  // Cancels the workers and waits for them.
  ~RecordingList();
  RecordingList(const RecordingList&) = delete;
  RecordingList& operator=(const RecordingList&) = delete;

  // Lists `folder` (no trailing separator) afresh: its rows replace the shown ones in one go when
  // the search ends, then each file's own measure follows, newest first. An older listing still
  // running is cancelled; nothing of it reaches the rows. With share, the entries are those that
  // a folder watch lists at the same time, and the folder is searched here only if none come.
  void List(std::wstring folder, std::shared_ptr<SharedListing> share = nullptr);
  // Takes the workers' results and applies them. Call on the owner's thread after `wake`.
  void Update();
  // The current listing is still searched or measured, or its results wait.
  bool Listing() const;
  // Files that Delete was given are still being removed, or their results wait.
  bool Deleting() const;
  // The recordings of some shown rows, kept apart from the rows (which may move or go meanwhile).
  struct Selection {
    std::wstring folder;
    std::vector<std::wstring> names;
  };
  Selection Select(const std::vector<int>& rows) const;
  // Removes the selected files on a worker (with `remove`, or the services' one); each row goes
  // when its file is gone.
  void Delete(Selection selection, FileWorker::Work remove = {});
  // What a deletion left when it had dealt with every file it was given.
  struct DeletionReport {
    std::size_t busy_kept = 0;  // stayed because their calls are still recording
    Selection no_recycle_bin;   // stayed because no Recycle Bin could take them
  };
  std::function<void(const DeletionReport&)> OnDeletionDone;
  // A recording measured BUSY in this folder has been measured again without being held: its
  // call has ended. Told by Update(), with the file's bare name.
  std::function<void(const std::wstring& name)> OnBusyEnded;

  // What the Size cell of a recording (by bare name) says while it is converted, or after its
  // conversion failed; both stay across listings until cleared or replaced.
  void SetConverting(std::wstring_view name);
  void SetConversionFailed(std::wstring_view name, std::wstring_view reason);
  void ClearConversion(std::wstring_view name);
  // "converting", "not converted: <reason>", or empty.
  std::wstring ConversionNote(std::wstring_view name) const;
  // Mends the selected recordings on a worker; each mended one is measured again.
  void Repair(Selection selection);
  bool Repairing() const;
  // Cancels every worker and waits for them, at most `limit` in all; true when all ended.
  bool Stop(std::chrono::milliseconds limit);

  // Rows ordered by a column (-1: the listing's order), ascending or not. Equal keys keep the
  // listing's order; rows without a size or length come last ascending. Selection follows rows.
  void SetSort(int column, bool ascending);
  int SortColumn() const { return sort_column_; }
  bool SortAscending() const { return sort_ascending_; }
  // Only rows whose partner, date text or file name contain `text` are shown; empty shows all.
  // A text that only adds to the end of the last one tests only the rows shown; one that only
  // takes from its end tests only the rows hidden.
  void SetFilter(std::wstring text);
  const std::wstring& Filter() const { return filter_; }
  // Recordings listed, shown or filtered out.
  std::size_t Total() const;

  // The folder watcher's entries: a file appeared (measured on a worker) or went. Each finds its
  // name at once and moves only its own row; the others keep their order.
  void FileAdded(std::wstring_view name, std::int64_t size);
  void FileRemoved(std::wstring_view name);
  // Many files went at once (a deletion of many): their rows leave in one move.
  void FilesRemoved(const std::vector<std::wstring>& names);
  // Measures again, on a worker, the recordings shown BUSY: a call that ends changes no name. Does
  // nothing while the last such measure still runs.
  void RemeasureBusy();

  // Shown rows.
  int Count() const { return static_cast<int>(view_.size()); }
  std::wstring Text(int row, Column column, const NumberSeparators& separators) const;
  std::wstring Path(int row) const;
  std::wstring_view Name(int row) const;
  // nullptr past the end.
  const Recording* At(int row) const;
  const std::wstring& Folder() const { return folder_; }
  // The folder of the listing under way, else that of the rows: the one whose changes count.
  const std::wstring& ListedFolder() const;
  // Every recording held, shown or not (removed ones until the next listing).
  std::size_t Held() const { return records_.size(); }

 private:
  struct ListingRun;
  struct Probe;
  struct Deletion;

  const std::wstring& NameOf(std::uint32_t record) const;
  std::wstring PathOf(std::uint32_t record) const;
  void StartProbe(std::vector<std::uint32_t> records, std::vector<std::size_t> order,
                  std::shared_ptr<const std::vector<std::wstring>> names);
  void Retire(std::unique_ptr<FileWorker> worker);
  // Lets go of the retired workers that have ended.
  void DropEndedRetired();
  bool TakeListing();
  // Records whose cells changed go to `changed`.
  bool TakeProbes(std::vector<std::uint32_t>& changed);
  bool TakeDeletions(std::vector<DeletionReport>& finished);
  void TakeRepairs();
  // Starts a worker over the selection's files.
  std::unique_ptr<Deletion> StartOnFiles(Selection selection, const FileWorker::Work& work,
                                         std::chrono::milliseconds interval);
  // Marks the records of these names removed; true when any was held.
  bool RemoveNames(const std::vector<std::wstring>& names);
  // Whether the record's file name or date text holds `text`.
  bool Matches(std::uint32_t record, std::wstring_view text) const;
  // Sets matched_ of every live record for filter_.
  void MatchAll();
  // order_ made afresh: every live record in the chosen order.
  void SortOrder();
  // The records of order_ that the filter takes.
  std::vector<std::uint32_t> ShownOf() const;
  // Sorts, filters and tells how the old rows moved.
  void Rebuild();
  // Takes the removed records out of order_ and the rows, keeping the order of the others.
  void DropRemoved();
  // Makes `view` the shown rows and tells where the old ones went.
  void Show(std::vector<std::uint32_t> view);
  // Whether record a comes before record b in the chosen order, both ways; made per call (the
  // sort prepares its keys once instead, to the same order).
  bool Before(std::uint32_t a, std::uint32_t b) const;
  // The partner order: `sort_key` when given, else `compare`.
  int ComparePartners(std::wstring_view a, std::wstring_view b) const;
  // The live record of a name, or kNoRecord; the index holds live records only.
  static constexpr std::uint32_t kNoRecord = 0xFFFFFFFF;
  std::uint32_t FindName(std::wstring_view name) const;
  void IndexName(std::uint32_t record);
  void UnindexName(std::uint32_t record);

  RecordingListServices services_;
  std::wstring folder_;
  // Where the names of an old listing go (declared before them: it outlives them).
  BackgroundRelease release_;
  // Names of the listing (shared with its measuring worker), then those added since.
  std::shared_ptr<const std::vector<std::wstring>> names_;
  std::vector<std::wstring> added_names_;
  std::vector<Recording> records_;
  std::vector<std::uint32_t> view_;  // records in shown order
  // Every live record in the chosen order, shown or filtered out.
  std::vector<std::uint32_t> order_;
  // By record: the filter takes it.
  std::vector<bool> matched_;
  // Live records by name: open addressing with linear probing, kNoRecord in empty slots, never
  // more than half full.
  std::vector<std::uint32_t> name_slots_;
  std::size_t indexed_ = 0;

  int sort_column_ = -1;
  bool sort_ascending_ = true;
  std::wstring filter_;

  std::unique_ptr<ListingRun> listing_;
  std::vector<std::unique_ptr<Probe>> probes_;
  const Probe* busy_probe_ = nullptr;  // among probes_ while it runs
  std::vector<std::unique_ptr<Deletion>> deletions_;
  std::vector<std::unique_ptr<Deletion>> repairs_;
  std::vector<std::unique_ptr<FileWorker>> retired_;
  // Files gone while the current listing's search ran (it may have seen them): dropped from its
  // rows when they arrive.
  std::vector<std::wstring> deleted_since_;
  // Files that came while the current listing's search ran (it may have missed them), with their
  // sizes: added to its rows when they arrive.
  std::vector<std::pair<std::wstring, std::int64_t>> added_since_;
  // Names measured BUSY in the current folder and not since; those measured free since Update's
  // last call.
  std::unordered_set<std::wstring> busy_names_;
  std::vector<std::wstring> busy_ended_;
  std::unordered_map<std::wstring, std::wstring> conversion_notes_;
  void ConversionNoteChanged(std::wstring_view name);
  // A record for a file that came after the listing, measured on a worker; not yet in any order.
  std::uint32_t AddRecord(std::wstring_view name, std::int64_t size);
  // The shown rows of these records, ascending (those not shown left out).
  std::vector<int> RowsOf(const std::vector<std::uint32_t>& records);

  // Each record's shown row (-1: none), made when asked after the rows changed.
  std::vector<int> row_of_;
  bool rows_known_ = false;
};

}  // namespace callwright
