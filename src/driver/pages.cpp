// pages.cpp: bringing in the pages of a table before the code writes them.
//
// A table in static storage or on the heap gets its memory one page at a
// time, on the first write to each page: a page fault apiece. On a virtual
// machine a fault costs some ten microseconds, about what reading a hundred
// kilobytes costs, and a compilation at the tables' limits would spend more
// time on faults than on compiling. Asking the system for a whole run of
// pages at once spares the fault for each of them. This is only ever a hint:
// where the system has no such request nothing happens, and the pages come
// on first use as before.
#include <algorithm>
#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

#include "driver/tavomain.h"

namespace tavo {

void prefault(void* p, size_t n) {
#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
  if (n == 0) return;
  static const uintptr_t pagesize = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
  auto begin = reinterpret_cast<uintptr_t>(p) & ~(pagesize - 1);
  auto end = reinterpret_cast<uintptr_t>(p) + n;
  madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
#else
  (void)p;
  (void)n;
#endif
}

// The first step: a small program's tables stay within a page or two.
constexpr size_t FIRSTSTEP = 256;

// Moves the mark to at least `upto` entries, four times as far as it was,
// so that a table that fills steadily asks only a few times.
void PageMark::grow(size_t upto, std::initializer_list<Table> tables) {
  size_t target = std::max({upto, 4 * done, FIRSTSTEP});
  for (const Table& t : tables) {
    size_t end = std::min(target, t.entries);
    if (end > done)
      prefault(static_cast<char*>(t.base) + done * t.entrysize, (end - done) * t.entrysize);
  }
  done = target;
}

}  // namespace tavo
