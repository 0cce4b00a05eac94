#pragma once
// Command-line options of the substitute client.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace clientsim {

// One step of the script, run once the program has been answered.
struct Step {
  enum class Kind { Text, Raw, Flood } kind = Kind::Text;
  std::string bytes;  // Text: sent with a NUL after it; Raw: sent as they are
  unsigned count = 0;  // Flood: notifications for calls 1..count
};

struct Options {
  std::optional<LPARAM> attach_status = 0;  // none: discoveries go unanswered
  std::string partner = "anna.k";
  bool answer_partner = true;
  std::string end_status = "FINISHED";  // sent as "CALL <id> STATUS <end_status>"; empty: none
  bool nested_answers = false;          // answers sent from inside the request's handling
  std::vector<std::string> nested_notes;  // one sent from inside the handling of each command
  std::string flood_status = "INPROGRESS";
  DWORD hang_ms = 0;                    // each command is handled only after this long
  std::vector<Step> script;
  DWORD call_ms = 1000;
  DWORD delay_ms = 300;
  DWORD gap_ms = 50;
  DWORD linger_ms = 500;
  DWORD timeout_ms = 30000;
  std::wstring log_path;      // empty: standard output
  std::wstring answers_path;  // empty: not written
  bool help = false;
};

extern const wchar_t kUsage[];

// Parses the arguments after the program name; on a bad argument returns none and sets error.
std::optional<Options> ParseOptions(const std::vector<std::wstring>& args, std::wstring& error);

// Text of the command line (UTF-16) in the ANSI code page, as the client's protocol carries it.

}  // namespace clientsim
