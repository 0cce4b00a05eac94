#pragma once
// The program-wide destination folder: where recordings are written and listed. The settings
// window's folder box shows it and follows every change.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace callwright {

const std::wstring& DestinationFolder();
void SetDestinationFolder(std::wstring folder);
// One listener (the settings window's folder box); replaces the previous one.
void SetDestinationFolderListener(std::function<void(const std::wstring&)> listener);

// Nothing but spaces and control characters (or nothing at all).
bool IsBlankFolder(std::wstring_view text);

// Where a folder text points, as an absolute path: blanks around it dropped, the default folder for
// a blank text, and a relative text taken from the program's folder (the client writes relative
// to its own folder, the list would read relative to ours). "\x" starts at the root of the
// program's drive, "D:x" at the root of drive D. Not otherwise normalised.
std::wstring CombineFolder(std::wstring_view text, std::wstring_view program_folder,
                           std::wstring_view default_folder);

// Without trailing separators, so that one "\" and a name can follow: "D:\" becomes "D:".
std::wstring FolderPrefix(std::wstring_view folder);
// A folder prefix as a folder to show or open: a bare drive ("D:") gets its root separator back.
std::wstring FolderFromPrefix(std::wstring_view prefix);

// The client opens recordings through ANSI paths of at most 259 bytes. A folder must leave room
// for "\", the date part "DDMMYYYY_hhmmss_", a copy number " (99)", ".wav" and 16 bytes of the
// partner's handle; counted in bytes of the code page, where a character may take two.
inline constexpr std::size_t kMaxClientPathBytes = 259;
inline constexpr std::size_t kRecordingNameReserveBytes = 1 + 16 + 5 + 4 + 16;
inline constexpr std::size_t kMaxClientFolderBytes = kMaxClientPathBytes - kRecordingNameReserveBytes;
// True when a folder whose client text takes this many bytes leaves that room.
inline bool FolderFitsClient(std::size_t folder_bytes) { return folder_bytes <= kMaxClientFolderBytes; }

#ifdef _WIN32
// The folder that recordings are written to and listed from, ready to take "\" and a file name:
// the destination folder resolved as CombineFolder says and made canonical, or the default folder
// when the client cannot be given the destination folder (see ClientFolderText).
std::wstring RecordingFolder();
// The recording folder as the client is given it in the ANSI code page: the folder itself when
// the code page holds its name, else its short (8.3) form.
std::wstring ClientFolderText();
// The folder text for a recording command, never looking at the disk: the prepared folder's
// while the destination folder is the one it was made for; else the destination folder when the
// client can take it as it is; else the last prepared folder, or the default folder.
std::wstring PreparedClientText();
// The text for the client of a folder prefix, or none when neither the folder nor its short form
// survive the ANSI code page (a folder must exist to have a short form).
std::optional<std::wstring> FolderTextForClient(std::wstring_view prefix);
// The destination folder resolved and canonical, whether or not the client can be given it.
std::wstring ResolvedDestinationFolder();
// Two spellings of one folder, compared as the file system compares names (without regard to case).
bool SameFolder(std::wstring_view a, std::wstring_view b);

// Creates a folder (given as a prefix, see FolderPrefix) with all its missing parents; 0 or the
// system's error code (ERROR_DIRECTORY when a file holds its name).
unsigned long CreateFolderTree(const std::wstring& prefix);

// A destination folder readied for recording, as the recording command uses it.
struct PreparedFolder {
  std::wstring destination;  // the destination folder it was made for, resolved
  std::wstring folder;       // where recordings go: the destination, or the default folder
  std::wstring client_text;  // the folder as the client is given it
  std::wstring problem;      // what the user must be told; empty when all is well
  bool created = false;      // the folder was missing and has been made
};

// Makes the folder when missing (with its parents) and proves that a file can be created and
// deleted in it: 0 or the system's error code; created tells whether it was made. Replaceable
// so that tests can hold it up; called on a worker thread.
using FolderCheck = std::function<unsigned long(const std::wstring& folder, bool& created)>;
extern FolderCheck CheckRecordingFolder;
unsigned long CheckFolderOnDisk(const std::wstring& folder, bool& created);

// The free space of a folder's volume for the calling user, and the volume's name ("D:").
struct FreeSpace {
  std::uint64_t bytes = 0;
  std::wstring volume;
};
using FreeSpaceQuery = std::function<std::optional<FreeSpace>(const std::wstring& folder)>;
extern FreeSpaceQuery QueryFreeSpace;
std::optional<FreeSpace> FreeSpaceOnDisk(const std::wstring& folder);

// Readies a destination folder text for recording (may wait on the file system: for a worker):
// a folder that cannot be made or written, that the client cannot be given, or that leaves no
// room for a recording's name sends recordings to the default folder, with the reason.
PreparedFolder PrepareFolder(std::wstring_view destination);
// The folder that RecordingFolder and ClientFolderText give while the destination folder is the
// one it was made for.
void SetPreparedFolder(PreparedFolder prepared);

// Readies the destination folder for recording now and makes it the prepared folder. Returns what
// the user must be told, or empty when all is well.
std::wstring PrepareRecordingFolder();

// Prepares folders on a thread of its own, so that neither the window nor a call waits for the
// file system. Requests that come while one is being prepared are merged into one more run.
class FolderPreparer {
 public:
  // Runs on the worker when a result waits; must not block.
  using Notify = std::function<void()>;
  // How long a volume's free space is taken as still true.
  static constexpr std::chrono::seconds kFreeSpaceLifetime{5};

  explicit FolderPreparer(Notify notify);
  // Stops the worker; one stuck in the file system is left to end on its own.
  ~FolderPreparer();
  FolderPreparer(const FolderPreparer&) = delete;
  FolderPreparer& operator=(const FolderPreparer&) = delete;

  void Request(std::wstring destination);
  struct Result {
    PreparedFolder prepared;
    std::optional<FreeSpace> space;  // of the prepared folder's volume
  };
  // The latest result not taken yet.
  std::optional<Result> Take();
  // A request waits or is being prepared, or its result waits to be taken.
  bool Busy() const;

 private:
  struct State;
  std::shared_ptr<State> state_;
};
// The message for a folder picked in the settings window that the client could not be given, or
// empty when it can be.
std::wstring FolderRefusal(std::wstring_view folder);
#endif

}  // namespace callwright
