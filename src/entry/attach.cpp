// attach.cpp: the loader's hook into LibMain. This file belongs to the
// shared library alone: a program that links the compiler statically (tavoc,
// the tests) must never compile anything just by starting.
#include "entry/tavo.h"

#if defined(_WIN32)

// The C runtime's DLL start-up calls DllMain once the runtime and every
// static object are initialised; each notification goes to LibMain, whose
// answer (always success) is the load's.
extern "C" int __stdcall DllMain(void* hinstDLL, unsigned long fdwReason, void* lpvReserved) {
  return LibMain(hinstDLL, static_cast<unsigned>(fdwReason), lpvReserved);
}

#else

// ELF has no notification entry; a load-time constructor stands in for the
// process attach. The library is linked with this object last, so its entry
// in the initialiser array runs after every static object of the compiler
// is initialised. Nothing happens on unload, as on detach.
namespace {

__attribute__((constructor)) void attachProcess() { LibMain(nullptr, DLL_PROCESS_ATTACH, nullptr); }

}  // namespace

#endif
