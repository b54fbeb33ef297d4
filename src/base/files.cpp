// files.cpp: opening the compilation's files, and what went wrong while
// reading or writing them.
//
// The design reports a file that cannot be opened; a write that fails later
// (a full disk, a file-size limit) or a read that fails half-way would
// otherwise pass in silence, and a short image would look like a good one.
// Every output is checked when it closes, every read when it ends, and each
// failure is noted here with the system's reason.
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "base/tavomain.h"

namespace tavo {

std::vector<FileFailure> filefailures;

// Opens a file for reading. A directory cannot be read as a file, so it
// counts as absent.
std::FILE* openInput(const char* path) {
  if (memfiles) return memoryInput(path);
  struct stat st;
  if (stat(path, &st) != 0 || S_ISDIR(st.st_mode)) return nullptr;
  return std::fopen(path, "rb");
}

// Output files are emptied when they are opened, each in its turn of the
// driver's order: from then on nothing of an earlier compilation can be
// read back, not even by a function file that names an output.
std::FILE* openOutput(const char* path, const char* mode) {
  if (memfiles) return memoryOutput(path, mode);
  return std::fopen(path, mode);
}

void notefailure(const char* file, bool writing, int err) {
  for (const FileFailure& f : filefailures)
    if (f.file == file && f.writing == writing) return;   // the first reason stands
  filefailures.push_back({file, writing, err ? err : EIO});
}

// Closes an output. The C library keeps what a failed write could not put
// out and tries it again here, so the reason of a failure is the one the
// last attempt gives.
void closeOutput(std::FILE*& fp, const char* name) {
  if (!fp) return;
  bool failed = std::ferror(fp) != 0;
  errno = 0;
  if (std::fflush(fp) != 0) failed = true;
  int err = errno;
  if (std::fclose(fp) != 0 && !failed) {
    failed = true;
    err = errno;
  }
  fp = nullptr;
  if (failed) notefailure(name, true, err);
}

void resetFiles() { filefailures.clear(); }

}  // namespace tavo
