// list.cpp: the listing of any image file, with the compiler's own decoder.
#include <sys/stat.h>

#include <cstdio>
#include <cstring>

#include "base/tavomain.h"
#include "directives/directives.h"
#include "output/output.h"
#include "tavoc.h"

namespace tavoc {

int listImage(const char* path) {
  struct stat st;
  std::FILE* fp = nullptr;
  if (stat(path, &st) == 0 && !S_ISDIR(st.st_mode)) fp = std::fopen(path, "rb");
  if (!fp) {
    std::fprintf(stderr, "tavoc: cannot read '%s'\n", path);
    return EXIT_USAGE;
  }
  // One byte more than the image holds tells a file that is too large.
  static unsigned char buf[tavo::MAXCODE + 1];
  size_t size = std::fread(buf, 1, sizeof buf, fp);
  bool failed = std::ferror(fp) != 0;
  std::fclose(fp);
  if (failed) {
    std::fprintf(stderr, "tavoc: cannot read '%s'\n", path);
    return EXIT_USAGE;
  }
  if (size > static_cast<size_t>(tavo::MAXCODE)) {
    std::fprintf(stderr, "tavoc: '%s' is larger than the %d-byte code image\n", path,
                 tavo::MAXCODE);
    return EXIT_USAGE;
  }
  std::memset(tavo::code, 0, sizeof tavo::code);
  std::memcpy(tavo::code, buf, size);
  static const unsigned char tail[4] = {0x24, 0x00, 0x44, 0x00};
  tavo::hasMain = size >= 7 && buf[0] == 0x68 && std::memcmp(buf + 3, tail, 4) == 0;
  tavo::dataStart = tavo::dataEnd = 0;
  int n = static_cast<int>(size);
  tavo::listheading(stdout, n);
  tavo::dumpcode(stdout, 0, n);
  return std::fflush(stdout) == 0 ? EXIT_CLEAN : EXIT_USAGE;
}

}  // namespace tavoc
