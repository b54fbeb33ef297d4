// tavo.cpp: the library entry. Loading the library compiles the program in
// the current directory; the host learns the outcome from the files left
// there. The entry always reports success, so a load never fails because
// of the compilation.
#include "entry/tavo.h"

#include "base/tavomain.h"
#include "driver/driver.h"

namespace {

constexpr int TRUE = 1;

}  // namespace

extern "C" int TAVO_ENTRY LibMain(void* hDLLInst, unsigned fdwReason, void* lpvReserved) {
  (void)hDLLInst;
  (void)lpvReserved;
  switch (fdwReason) {
    case DLL_PROCESS_ATTACH:
      tavo::mainOrv();
      break;
    case DLL_PROCESS_DETACH:
    case DLL_THREAD_ATTACH:
    case DLL_THREAD_DETACH:
    default:
      break;
  }
  return TRUE;
}
