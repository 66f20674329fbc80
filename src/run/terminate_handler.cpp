#include <cstdlib>

// The C++ library's default terminate handler demangles and prints the type of an escaped
// exception, to a console this GUI program does not have, and brings 46 KB of demangler into the
// installer. Failures here are result codes, so reaching terminate is a bug: end at once.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
