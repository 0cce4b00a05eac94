// What happens when one of the C library's checked copies (__memcpy_chk, __memset_chk) that the
// audio codecs are built with finds a buffer overrun. The program's link takes this handler from
// here (callwright_win asks for it first) instead of from libssp, whose object holding it also
// seeds a stack guard at start-up through the system's crypto providers: nothing in the program
// uses that guard, and loading the providers cost about 14 ms of every start under Wine.
#include <windows.h>

extern "C" [[noreturn]] void __cdecl __chk_fail() {
  // Ended at once, as the system ends a process whose memory is no longer trusted: no handler,
  // no clean-up code runs in it, and Windows Error Reporting sees the failure.
  EXCEPTION_RECORD record{};
  record.ExceptionCode = STATUS_STACK_BUFFER_OVERRUN;
  record.ExceptionFlags = EXCEPTION_NONCONTINUABLE;
  ::RaiseFailFastException(&record, nullptr, 0);
  ::TerminateProcess(::GetCurrentProcess(), STATUS_STACK_BUFFER_OVERRUN);
  __builtin_unreachable();
}
