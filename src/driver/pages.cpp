// pages.cpp: bringing in the pages of a table before the code writes them.
//
// A table in static storage or on the heap gets its memory one page at a
// time, on the first write to each page: a page fault apiece. On a virtual
// machine a fault costs some ten microseconds, about what reading a hundred
// kilobytes costs, and a compilation at the tables' limits would spend more
// time on faults than on compiling. Two remedies, both only hints: where the
// system has no such request nothing happens, and the pages come on first
// use as before.
//
// - The tables in static storage, where the build lays them out in a window
//   of whole 2 MB pages (cmake/bss.ld), are asked for as huge pages at
//   start-up: all of them in one.
// - Other runs of pages are asked for at once, which spares the fault for
//   each of them.
#include <algorithm>
#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

#include "driver/tavomain.h"

#if defined(TAVO_BSS_WINDOW)
// Where the window begins and ends; the linker script defines both.
extern "C" char tavo_bss_begin[], tavo_bss_end[];
#endif

namespace tavo {

#if defined(TAVO_BSS_WINDOW) && defined(MADV_HUGEPAGE)
namespace {

bool hugewindow;   // whether the window was asked for as huge pages

// Asks for the window as huge pages before anything writes to it: a page
// written first would make the others come one at a time after all. Static
// constructors of this priority run before all others of the program (or
// library), and the C library's start-up writes only its own storage.
[[gnu::constructor(101)]] void hugeStaticStorage() {
  hugewindow = madvise(tavo_bss_begin, static_cast<size_t>(tavo_bss_end - tavo_bss_begin),
                       MADV_HUGEPAGE) == 0;
}

}  // namespace

// Whether p lies in the window and its pages come as a whole.
[[maybe_unused]] static bool inHugeWindow(const void* p) {
  return hugewindow && p >= tavo_bss_begin && p < tavo_bss_end;
}
#else
[[maybe_unused]] static bool inHugeWindow(const void*) { return false; }
#endif

void prefault(void* p, size_t n) {
#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
  if (n == 0 || inHugeWindow(p)) return;
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
