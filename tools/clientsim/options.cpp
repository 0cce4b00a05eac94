#include "options.h"

#include <cwchar>

#include "core/platform.h"

namespace clientsim {

const wchar_t kUsage[] =
    L"callwright-clientsim: a stand-in for the VoIP client's desktop API, for tests.\n"
    L"\n"
    L"It keeps a hidden top-level window that answers every discovery broadcast\n"
    L"(\"SkypeControlAPIDiscover\", wParam = the program's window) by posting\n"
    L"\"SkypeControlAPIAttach\" back with its own window in wParam and a status in lParam.\n"
    L"After the first answer it runs its script, sending each notification as WM_COPYDATA\n"
    L"to the program's window. It answers \"GET CALL <id> PARTNER_HANDLE\" with\n"
    L"\"CALL <id> PARTNER_HANDLE <handle>\", and on \"ALTER CALL <id> SET_OUTPUT file=\"<path>\"\"\n"
    L"writes a PCM WAV file (8 kHz, 16-bit, mono, a 440 Hz tone) to <path>, held open for\n"
    L"writing and shared for reading only while the call lasts; when the recording ends it\n"
    L"reports the call's end, \"CALL <id> STATUS FINISHED\". It opens files as a client\n"
    L"working with ANSI paths would: a <path> of more than 259 bytes cannot be written. Commands\n"
    L"from any window other than the one that sent the last discovery are answered 0 and\n"
    L"ignored.\n"
    L"\n"
    L"Options:\n"
    L"  --status N         attach status sent to every discovery (default 0; 2 = refused)\n"
    L"  --no-attach        never answer a discovery\n"
    L"  --partner HANDLE   partner handle in the answers (default anna.k)\n"
    L"  --no-answers       leave partner handle requests unanswered\n"
    L"  --nested-answers   send each answer from inside the handling of its request (the\n"
    L"                     program is still waiting for the request to be handled)\n"
    L"  --nested-notify TEXT  notification sent from inside the handling of a command,\n"
    L"                     before acting on it; repeatable: the first command received\n"
    L"                     sends the first TEXT, the second the second, and so on\n"
    L"  --hang MS          handle each command only after MS, answering nothing meanwhile\n"
    L"  --call ID          script: notification \"CALL <ID> STATUS INPROGRESS\"\n"
    L"  --notify TEXT      script: notification TEXT, NUL-terminated\n"
    L"  --notify-hex HEX   script: the bytes HEX (e.g. 43414C4C), sent without a NUL;\n"
    L"                     empty HEX sends a record with no data\n"
    L"  --flood N          script: N notifications \"CALL <n> STATUS <status>\" for calls\n"
    L"                     1..N, back to back\n"
    L"  --flood-status S   the status word of flood notifications (default INPROGRESS)\n"
    L"  --call-ms MS       how long each recording stays open (default 1000)\n"
    L"  --end-status WORD  the status reported when a recording ends (default FINISHED;\n"
    L"                     e.g. CANCELLED, FAILED, REFUSED, MISSED, BUSY; empty: none)\n"
    L"  --delay MS         from the first attach answer to the first script step (default 300)\n"
    L"  --gap MS           between script steps (default 50)\n"
    L"  --linger MS        after the script, quiet time before ending (default 500)\n"
    L"  --timeout MS       ends after this long in any case (default 30000)\n"
    L"  --log FILE         every command received, one per line, codes below 32 as \\xNN\n"
    L"                     (default: standard output)\n"
    L"  --answers FILE     the program's answer to each notification sent, one per line\n"
    L"  --help             this text\n"
    L"\n"
    L"It ends after its script, once no answer or recording is pending and nothing has\n"
    L"arrived for the linger time; without a script, at the time limit or on WM_CLOSE.\n"
    L"Exit codes: 0 done; 1 cannot start; 2 bad option; 3 time limit reached before the\n"
    L"script ran to its end; 4 a recording file could not be written.\n";

namespace {

bool ParseNumber(const std::wstring& text, unsigned long long limit, unsigned long long& value) {
  if (text.empty() || text.size() > 19) return false;
  value = 0;
  for (const wchar_t c : text) {
    if (c < L'0' || c > L'9') return false;
    value = value * 10 + static_cast<unsigned>(c - L'0');
  }
  return value <= limit;
}

bool ParseHex(const std::wstring& text, std::string& bytes) {
  if (text.size() % 2 != 0) return false;
  auto digit = [](wchar_t c) -> int {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
  };
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const int high = digit(text[i]);
    const int low = digit(text[i + 1]);
    if (high < 0 || low < 0) return false;
    bytes.push_back(static_cast<char>(high * 16 + low));
  }
  return true;
}

}  // namespace

std::optional<Options> ParseOptions(const std::vector<std::wstring>& args, std::wstring& error) {
  Options options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::wstring& name = args[i];
    auto value = [&]() -> const std::wstring* {
      if (i + 1 >= args.size()) {
        error = name + L" needs a value";
        return nullptr;
      }
      return &args[++i];
    };
    auto milliseconds = [&](DWORD& target) {
      const std::wstring* text = value();
      unsigned long long number = 0;
      if (!text) return false;
      if (!ParseNumber(*text, 24ull * 3600 * 1000, number)) {
        error = name + L" needs a number of milliseconds";
        return false;
      }
      target = static_cast<DWORD>(number);
      return true;
    };

    if (name == L"--help" || name == L"-h" || name == L"/?") {
      options.help = true;
    } else if (name == L"--status") {
      const std::wstring* text = value();
      unsigned long long number = 0;
      if (!text) return std::nullopt;
      if (!ParseNumber(*text, 0xFFFFFFFFull, number)) {
        error = L"--status needs a number";
        return std::nullopt;
      }
      options.attach_status = static_cast<LPARAM>(number);
    } else if (name == L"--no-attach") {
      options.attach_status.reset();
    } else if (name == L"--partner") {
      const std::wstring* text = value();
      if (!text) return std::nullopt;
      options.partner = callwright::SystemPlatform().EncodeAnsi(*text);
    } else if (name == L"--no-answers") {
      options.answer_partner = false;
    } else if (name == L"--nested-answers") {
      options.nested_answers = true;
    } else if (name == L"--nested-notify") {
      const std::wstring* text = value();
      if (!text) return std::nullopt;
      options.nested_notes.push_back(callwright::SystemPlatform().EncodeAnsi(*text));
    } else if (name == L"--flood-status") {
      const std::wstring* text = value();
      if (!text) return std::nullopt;
      options.flood_status = callwright::SystemPlatform().EncodeAnsi(*text);
    } else if (name == L"--hang") {
      if (!milliseconds(options.hang_ms)) return std::nullopt;
    } else if (name == L"--call") {
      const std::wstring* text = value();
      if (!text) return std::nullopt;
      options.script.push_back({Step::Kind::Text, "CALL " + callwright::SystemPlatform().EncodeAnsi(*text) + " STATUS INPROGRESS", 0});
    } else if (name == L"--notify") {
      const std::wstring* text = value();
      if (!text) return std::nullopt;
      options.script.push_back({Step::Kind::Text, callwright::SystemPlatform().EncodeAnsi(*text), 0});
    } else if (name == L"--notify-hex") {
      const std::wstring* text = value();
      Step step{Step::Kind::Raw, {}, 0};
      if (!text) return std::nullopt;
      if (!ParseHex(*text, step.bytes)) {
        error = L"--notify-hex needs pairs of hexadecimal digits";
        return std::nullopt;
      }
      options.script.push_back(std::move(step));
    } else if (name == L"--flood") {
      const std::wstring* text = value();
      unsigned long long number = 0;
      if (!text) return std::nullopt;
      if (!ParseNumber(*text, 10'000'000, number)) {
        error = L"--flood needs a count";
        return std::nullopt;
      }
      options.script.push_back({Step::Kind::Flood, {}, static_cast<unsigned>(number)});
    } else if (name == L"--end-status") {
      const std::wstring* text = value();
      if (!text) return std::nullopt;
      options.end_status = callwright::SystemPlatform().EncodeAnsi(*text);
    } else if (name == L"--call-ms") {
      if (!milliseconds(options.call_ms)) return std::nullopt;
    } else if (name == L"--delay") {
      if (!milliseconds(options.delay_ms)) return std::nullopt;
    } else if (name == L"--gap") {
      if (!milliseconds(options.gap_ms)) return std::nullopt;
    } else if (name == L"--linger") {
      if (!milliseconds(options.linger_ms)) return std::nullopt;
    } else if (name == L"--timeout") {
      if (!milliseconds(options.timeout_ms)) return std::nullopt;
    } else if (name == L"--log") {
      const std::wstring* text = value();
      if (!text) return std::nullopt;
      options.log_path = *text;
    } else if (name == L"--answers") {
      const std::wstring* text = value();
      if (!text) return std::nullopt;
      options.answers_path = *text;
    } else {
      error = L"unknown option " + name;
      return std::nullopt;
    }
  }
  return options;
}

}  // namespace clientsim
