#pragma once
// The program-wide destination folder: where recordings are written and listed. The settings
// window's folder box shows it and follows every change.
#include <functional>
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

#ifdef _WIN32
// The folder that recordings are written to and listed from, ready to take "\" and a file name:
// the destination folder resolved as CombineFolder says and made canonical, or the default folder
// when the client cannot be given the destination folder (see ClientFolderText).
std::wstring RecordingFolder();
// The recording folder as the client is given it in the ANSI code page: the folder itself when
// the code page holds its name, else its short (8.3) form.
std::wstring ClientFolderText();
// The text for the client of a folder prefix, or none when neither the folder nor its short form
// survive the ANSI code page (a folder must exist to have a short form).
std::optional<std::wstring> FolderTextForClient(std::wstring_view prefix);
// The destination folder resolved and canonical, whether or not the client can be given it.
std::wstring ResolvedDestinationFolder();

// Creates a folder (given as a prefix, see FolderPrefix) with all its missing parents; 0 or the
// system's error code (ERROR_DIRECTORY when a file holds its name).
unsigned long CreateFolderTree(const std::wstring& prefix);
// Readies the destination folder for recording: creates it when missing and proves that a file
// can be created and deleted in it. Returns what the user must be told, or empty when all is well.
std::wstring PrepareRecordingFolder();
// The message for a folder picked in the settings window that the client could not be given, or
// empty when it can be.
std::wstring FolderRefusal(std::wstring_view folder);
#endif

}  // namespace callwright
