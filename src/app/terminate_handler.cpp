// The C++ library's default terminate handler prints the exception's demangled type to stderr, which
// a windowed program does not have, and drags the whole demangler (45 KB) into the executable. Every
// exception the program raises is caught and reported before it could get there; what is left is
// an abort, as the default handler ends with.
#include <cstdlib>

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
