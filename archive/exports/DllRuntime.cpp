// Runtime pieces of bzip2arc.dll only, replacing parts of libstdc++ that the
// DLL cannot afford: each would pull std::string and printf-like code into it.
#include <cstdlib>

#include "archive/core/Error.h"

namespace __gnu_cxx {

// No exception leaves the DLL (the exports catch everything), so terminate
// means a bug; the verbose handler would add a demangler and printf.
void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx

// mingw's start-up code applies pseudo-relocations, which only data imported
// from other DLLs needs; the DLL is linked with --disable-runtime-pseudo-reloc
// so the linker refuses to create any, and the relocator has nothing to do.
extern "C" void _pei386_runtime_relocator() {}

// libstdc++ keeps its per-thread exception state through emulated TLS in
// this thread model, which pulls in emutls and its thread clean-up. The
// library serves one extraction at a time (its module state is not
// reentrant), and every export has caught its exception before it returns,
// so one process-wide record is enough. Layout of the C++ ABI's
// __cxa_eh_globals.
namespace __cxxabiv1 {

struct __cxa_eh_globals {
  void* caughtExceptions;
  unsigned int uncaughtExceptions;
};

namespace {
__cxa_eh_globals exceptionState;
}  // namespace

extern "C" __cxa_eh_globals* __cxa_get_globals() noexcept { return &exceptionState; }
extern "C" __cxa_eh_globals* __cxa_get_globals_fast() noexcept { return &exceptionState; }

}  // namespace __cxxabiv1

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
