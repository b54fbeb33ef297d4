// tavo.h: the library entry. The library has no callable interface of its
// own: the loader's process-attach notification enters LibMain, which runs
// one compilation in the current directory.
#pragma once

#if defined(_WIN32)
#define TAVO_EXPORT __declspec(dllexport)
#else
#define TAVO_EXPORT __attribute__((visibility("default")))
#endif

// Loader notifications, numbered as the Windows loader numbers them.
constexpr unsigned DLL_PROCESS_DETACH = 0;
constexpr unsigned DLL_PROCESS_ATTACH = 1;
constexpr unsigned DLL_THREAD_ATTACH = 2;
constexpr unsigned DLL_THREAD_DETACH = 3;

// Runs mainOrv on DLL_PROCESS_ATTACH and nothing on any other notification;
// always returns 1 (TRUE), so a load never fails because of the compilation.
extern "C" TAVO_EXPORT int LibMain(void* hDLLInst, unsigned fdwReason, void* lpvReserved);
