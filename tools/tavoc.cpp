// tavoc: the command-line host. It does what a load of the library does:
// one compilation in a directory, results in files. It also copies "o.err"
// to standard error and tells the outcome in its exit status.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <sys/stat.h>

#include "base/tavomain.h"
#include "codegen/codegen.h"
#include "directives/directives.h"
#include "driver/driver.h"
#include "output/output.h"

namespace {

constexpr const char* kVersion = "tavoc 0.1";

void usage(std::FILE* out) {
  std::fprintf(out,
               "usage: tavoc [DIR]\n"
               "       tavoc --list FILE\n"
               "Compiles DIR/o.src (DIR defaults to the current directory) and leaves\n"
               "o.bin, o.aux, o.err, o.stx, o.sym, o.map there, and o.lst and o.hex\n"
               "when DIR/dev.tvo exists. Errors are also copied to standard error.\n"
               "Exit status: 0 no error, 1 compilation error, 2 usage problem.\n"
               "  --list FILE print the listing of the code image FILE to standard\n"
               "              output, as o.lst shows it but without a data line (the image\n"
               "              alone does not tell where data lies). A file that begins with\n"
               "              the start-up header (68 xx xx 24 00 44 00) is listed as a\n"
               "              program. An instruction cut short by the end of the file is\n"
               "              shown as if zero bytes followed. Files larger than the\n"
               "              12288-byte image are refused (exit status 2).\n"
               "  --help      show this text\n"
               "  --version   show the version\n");
}

// --list: reads a whole image file into the code array and lists it with
// the compiler's own decoder. Returns the exit status.
int listImage(const char* path) {
  struct stat st;
  std::FILE* fp = nullptr;
  if (stat(path, &st) == 0 && !S_ISDIR(st.st_mode)) fp = std::fopen(path, "rb");
  if (!fp) {
    std::fprintf(stderr, "tavoc: cannot read '%s'\n", path);
    return 2;
  }
  // One byte more than the image holds tells a file that is too large.
  static unsigned char buf[tavo::MAXCODE + 1];
  size_t size = std::fread(buf, 1, sizeof buf, fp);
  bool failed = std::ferror(fp) != 0;
  std::fclose(fp);
  if (failed) {
    std::fprintf(stderr, "tavoc: cannot read '%s'\n", path);
    return 2;
  }
  if (size > static_cast<size_t>(tavo::MAXCODE)) {
    std::fprintf(stderr, "tavoc: '%s' is larger than the %d-byte code image\n", path,
                 tavo::MAXCODE);
    return 2;
  }
  std::memset(tavo::code, 0, sizeof tavo::code);
  std::memcpy(tavo::code, buf, size);
  static const unsigned char tail[4] = {0x24, 0x00, 0x44, 0x00};
  tavo::hasMain = size >= 7 && buf[0] == 0x68 && std::memcmp(buf + 3, tail, 4) == 0;
  tavo::dataStart = tavo::dataEnd = 0;
  int n = static_cast<int>(size);
  tavo::listheading(stdout, n);
  tavo::dumpcode(stdout, 0, n);
  return std::fflush(stdout) == 0 ? 0 : 2;
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
    if (std::strcmp(a, "--list") == 0) {
      if (i != 1 || argc != 3) {
        std::fprintf(stderr, "tavoc: --list takes one FILE and nothing else\n");
        usage(stderr);
        return 2;
      }
      return listImage(argv[i + 1]);
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
