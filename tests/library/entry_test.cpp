// The shared library's entry, driven through the dynamic loader: a load
// compiles in the current directory, LibMain compiles on process attach
// only, and the library offers nothing else.
#include <dlfcn.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#if defined(__has_feature)
#if __has_feature(address_sanitizer) && !defined(__SANITIZE_ADDRESS__)
#define __SANITIZE_ADDRESS__ 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace fs = std::filesystem;

namespace {

using LibMainFn = int (*)(void*, unsigned, void*);

const char kNoSource[] = "Can't open source file o.src";

// A fresh empty directory, removed with everything in it.
struct TempDir {
  fs::path path;
  TempDir() {
    char tmpl[] = "/tmp/tavo-entry-XXXXXX";
    path = mkdtemp(tmpl);
  }
  ~TempDir() { fs::remove_all(path); }
};

// Works in a directory for the life of the object.
struct InDir {
  fs::path saved = fs::current_path();
  explicit InDir(const fs::path& dir) { fs::current_path(dir); }
  ~InDir() { fs::current_path(saved); }
};

std::string contents(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

int entries(const fs::path& dir) {
  return static_cast<int>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

// The library loaded with the current directory set to DIR, unloaded at the
// end. The heap copies its tables own are still held when it is unloaded
// (nothing is freed on unload), so the leak checker is told to ignore what is
// allocated while it is loaded.
struct Loaded {
  void* h;
  explicit Loaded(const fs::path& dir) {
#if defined(__SANITIZE_ADDRESS__)
    __lsan_disable();
#endif
    InDir in(dir);
    h = dlopen(TAVO_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    EXPECT_NE(h, nullptr) << dlerror();
  }
  ~Loaded() {
    if (h) dlclose(h);
#if defined(__SANITIZE_ADDRESS__)
    __lsan_enable();
#endif
  }
};

TEST(library_entry, load_compiles_in_the_current_directory) {
  TempDir dir;
  std::ofstream(dir.path / "o.src").close();
  { Loaded lib(dir.path); }
  EXPECT_EQ(contents(dir.path / "o.err"), "");
  EXPECT_EQ(contents(dir.path / "o.bin"), std::string(7, '\0'));  // a library: no header
  EXPECT_TRUE(fs::exists(dir.path / "o.stx"));
  EXPECT_FALSE(fs::exists(dir.path / "o.lst"));  // no dev.tvo
}

TEST(library_entry, only_process_attach_compiles) {
  TempDir first, later;
  Loaded lib(first.path);
  ASSERT_NE(lib.h, nullptr);
  EXPECT_EQ(contents(first.path / "o.err"), kNoSource);
  auto entry = reinterpret_cast<LibMainFn>(dlsym(lib.h, "LibMain"));
  ASSERT_NE(entry, nullptr);
  {
    InDir in(later.path);
    for (unsigned reason : {0u, 2u, 3u, 4u, UINT_MAX}) {
      EXPECT_EQ(entry(nullptr, reason, nullptr), 1) << "notification " << reason;
      EXPECT_EQ(entries(later.path), 0) << "notification " << reason << " compiled";
    }
    EXPECT_EQ(entry(nullptr, 1, nullptr), 1);
  }
  EXPECT_EQ(entries(later.path), 1);
  EXPECT_EQ(contents(later.path / "o.err"), kNoSource);
}

TEST(library_entry, exports_the_entry_alone) {
  TempDir dir;
  Loaded lib(dir.path);
  ASSERT_NE(lib.h, nullptr);
  EXPECT_NE(dlsym(lib.h, "LibMain"), nullptr);
  EXPECT_EQ(dlsym(lib.h, "_ZN4tavo7mainOrvEv"), nullptr);  // tavo::mainOrv()
  EXPECT_EQ(dlsym(lib.h, "_ZN4tavo6ecountE"), nullptr);    // tavo::ecount
}

}  // namespace
