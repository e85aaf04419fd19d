// What the installer does with an exception that nothing catches: it stops at once,
// as the C++ library's default handler does. That default first writes the
// exception's type, demangled, to the standard error stream, which a windowed
// program does not have; defining the handler here keeps the library's demangler
// (some 46 KB) out of the installer image.
#include <cstdlib>
#include <exception>

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
