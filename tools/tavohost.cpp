// tavohost: loads the compiler library the way an editor does. It changes
// into a directory, loads the library once (the load compiles the program
// there) and unloads it; the outcome is in the files the compilation left.
//
//   tavohost LIBRARY DIR
//
// Exit status: 0 when the library loaded, 1 when it could not be loaded,
// 2 for a usage problem. The compilation's own result is never reported
// here: like the editor, read o.err.
#include <cstdio>
#include <cstring>
#include <string>

#if defined(__has_feature)
#if __has_feature(address_sanitizer) && !defined(__SANITIZE_ADDRESS__)
#define __SANITIZE_ADDRESS__ 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#endif

namespace {

// The library keeps the heap copies its tables own until it is unloaded, and
// the unload frees nothing. In a sanitizer build the leak check is therefore
// made while the library is still loaded, where those copies are reachable.
void checkLeaksBeforeUnload() {
#if defined(__SANITIZE_ADDRESS__)
  __lsan_do_leak_check();
#endif
}

#if defined(_WIN32)

std::string fullPath(const char* path) {
  char buf[MAX_PATH];
  DWORD n = GetFullPathNameA(path, sizeof buf, buf, nullptr);
  return n > 0 && n < sizeof buf ? std::string(buf) : std::string();
}

bool changeDirectory(const char* dir) { return SetCurrentDirectoryA(dir) != 0; }

// Loads and unloads the library; false with a reason when it did not load.
bool loadOnce(const std::string& lib, std::string& why) {
  HMODULE h = LoadLibraryA(lib.c_str());
  if (!h) {
    why = "LoadLibrary failed, error " + std::to_string(GetLastError());
    return false;
  }
  checkLeaksBeforeUnload();
  FreeLibrary(h);
  return true;
}

#else

std::string fullPath(const char* path) {
  char buf[PATH_MAX];
  return realpath(path, buf) ? std::string(buf) : std::string();
}

bool changeDirectory(const char* dir) { return chdir(dir) == 0; }

bool loadOnce(const std::string& lib, std::string& why) {
  void* h = dlopen(lib.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!h) {
    const char* e = dlerror();
    why = e ? e : "dlopen failed";
    return false;
  }
  checkLeaksBeforeUnload();
  dlclose(h);
  return true;
}

#endif

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr,
                 "usage: tavohost LIBRARY DIR\n"
                 "Loads the compiler LIBRARY once in DIR, which compiles DIR's o.src.\n");
    return 2;
  }
  // The library's name is resolved before leaving the starting directory.
  std::string lib = fullPath(argv[1]);
  if (lib.empty()) {
    std::fprintf(stderr, "tavohost: no library '%s'\n", argv[1]);
    return 1;
  }
  if (!changeDirectory(argv[2])) {
    std::fprintf(stderr, "tavohost: '%s' is not a directory\n", argv[2]);
    return 2;
  }
  std::string why;
  if (!loadOnce(lib, why)) {
    std::fprintf(stderr, "tavohost: cannot load '%s': %s\n", lib.c_str(), why.c_str());
    return 1;
  }
  return 0;
}
