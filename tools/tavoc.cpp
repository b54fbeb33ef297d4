// tavoc: the command-line host. It does what a load of the library does:
// one compilation in a directory, results in files. It also copies "o.err"
// to standard error and tells the outcome in its exit status.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <sys/stat.h>

#include "codegen/codegen.h"
#include "driver/tavomain.h"

namespace {

constexpr const char* kVersion = "tavoc 0.1";

void usage(std::FILE* out) {
  std::fprintf(out,
               "usage: tavoc [DIR]\n"
               "Compiles DIR/o.src (DIR defaults to the current directory) and leaves\n"
               "o.bin, o.aux, o.err, o.stx, o.sym, o.map there, and o.lst and o.hex\n"
               "when DIR/dev.tvo exists. Errors are also copied to standard error.\n"
               "Exit status: 0 no error, 1 compilation error, 2 usage problem.\n"
               "  --help      show this text\n"
               "  --version   show the version\n");
}

void copyErrors() {
  std::FILE* fp = std::fopen("o.err", "rb");
  if (!fp) return;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, fp)) > 0) std::fwrite(buf, 1, n, stderr);
  std::fclose(fp);
}

}  // namespace

int main(int argc, char** argv) {
  const char* dir = nullptr;
  for (int i = 1; i < argc; i++) {
    const char* a = argv[i];
    if (std::strcmp(a, "--help") == 0) {
      usage(stdout);
      return 0;
    }
    if (std::strcmp(a, "--version") == 0) {
      std::printf("%s\n", kVersion);
      return 0;
    }
    if (a[0] == '-' && a[1] != 0) {
      std::fprintf(stderr, "tavoc: unknown option '%s'\n", a);
      usage(stderr);
      return 2;
    }
    if (dir) {
      std::fprintf(stderr, "tavoc: only one directory may be given\n");
      return 2;
    }
    dir = a;
  }
  if (dir) {
    struct stat st;
    if (stat(dir, &st) != 0 || !S_ISDIR(st.st_mode) || chdir(dir) != 0) {
      std::fprintf(stderr, "tavoc: '%s' is not a directory\n", dir);
      return 2;
    }
  }
  tavo::mainOrv();
  copyErrors();
  if (tavo::codefull) {
    std::fprintf(stderr, "tavoc: code image full (%d bytes)\n", tavo::MAXCODE);
    return 1;
  }
  return tavo::ecount != 0 ? 1 : 0;
}
