// tavo.h: the library entry. The library has no callable interface of its
// own: the loader's process-attach notification enters LibMain, which runs
// one compilation in the current directory.
#pragma once

// On Windows LibMain has the signature and calling convention of a DLL
// entry point (WINAPI, which on 32-bit Windows is stdcall: the callee pops
// its arguments), so a 32-bit host may call it as it would call DllMain.
// 64-bit Windows has a single calling convention.
#if defined(_WIN32)
#define TAVO_EXPORT __declspec(dllexport)
#define TAVO_ENTRY __stdcall
#else
#define TAVO_EXPORT __attribute__((visibility("default")))
#define TAVO_ENTRY
#endif

// Loader notifications, numbered as the Windows loader numbers them.
constexpr unsigned DLL_PROCESS_DETACH = 0;
constexpr unsigned DLL_PROCESS_ATTACH = 1;
constexpr unsigned DLL_THREAD_ATTACH = 2;
constexpr unsigned DLL_THREAD_DETACH = 3;

// Runs mainOrv on DLL_PROCESS_ATTACH and nothing on any other notification;
// always returns 1 (TRUE), so a load never fails because of the compilation.
extern "C" TAVO_EXPORT int TAVO_ENTRY LibMain(void* hDLLInst, unsigned fdwReason, void* lpvReserved);
