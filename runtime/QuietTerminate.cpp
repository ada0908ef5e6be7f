// The C++ library's handler for an exception that nobody catches prints the
// exception's type, which links its whole demangler (about 50 KB) into every
// setup. No exception leaves the runtime's main, so this one only stops.
#include <cstdlib>

namespace __gnu_cxx {
void __verbose_terminate_handler() {
    std::abort();
}
} // namespace __gnu_cxx
