// files.cpp: opening the compilation's input and output files.
#include <fcntl.h>
#include <sys/stat.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <cstring>

#include "base/tavomain.h"

namespace tavo {

// Opens a file for reading. A directory cannot be read as a file, so it
// counts as absent.
std::FILE* openInput(const char* path) {
  if (memfiles) return memoryInput(path);
  struct stat st;
  if (stat(path, &st) != 0 || S_ISDIR(st.st_mode)) return nullptr;
  return std::fopen(path, "rb");
}

// Output files are written over in place and cut to what was written when
// they close, rather than emptied when they open: emptying a file frees its
// blocks, and common file systems then force the new data out to disk when
// it closes, which costs more than a compilation when the same directory is
// compiled again and again. Files are only ever written from start to end.
std::FILE* openOutput(const char* path, const char* mode) {
  if (memfiles) return memoryOutput(path, mode);
#ifdef _WIN32
  return std::fopen(path, mode);
#else
  bool update = std::strchr(mode, '+') != nullptr;
  int fd = open(path, (update ? O_RDWR : O_WRONLY) | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  std::FILE* fp = fdopen(fd, mode);   // no emptying here either
  if (!fp) close(fd);
  return fp;
#endif
}

void closeOutput(std::FILE*& fp) {
  if (!fp) return;
#ifndef _WIN32
  struct stat st;
  if (!memfiles && std::fflush(fp) == 0 && fstat(fileno(fp), &st) == 0 && S_ISREG(st.st_mode)) {
    off_t end = ftello(fp);
    if (end >= 0 && st.st_size > end && ftruncate(fileno(fp), end) != 0) {
      // a file that cannot be cut keeps its old tail; nothing else to do
    }
  }
#endif
  std::fclose(fp);
  fp = nullptr;
}

}  // namespace tavo
