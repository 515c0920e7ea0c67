// Runtime pieces of bzip2arc.dll only, replacing parts of libstdc++ that the
// DLL cannot afford: each would pull std::string and printf-like code into it.
#include <cstdlib>

#include "Error.h"

namespace __gnu_cxx {

// No exception leaves the DLL (the exports catch everything), so terminate
// means a bug; the verbose handler would add a demangler and printf.
void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx

namespace std {

// Bounds checks of the standard library (string_view::substr and the like)
// report through these. They only fire on a bug; the export turns the error
// into an ordinary library failure.
void __throw_out_of_range_fmt(const char*, ...) { throw bzip2arc::Exception("Internal error: out of range"); }
void __throw_out_of_range(const char*) { throw bzip2arc::Exception("Internal error: out of range"); }
void __throw_length_error(const char*) { throw bzip2arc::Exception("Internal error: length"); }
void __throw_logic_error(const char*) { throw bzip2arc::Exception("Internal error: logic"); }
void __throw_invalid_argument(const char*) { throw bzip2arc::Exception("Internal error: argument"); }

}  // namespace std
