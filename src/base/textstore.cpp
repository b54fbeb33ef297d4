// textstore.cpp: copies of names and texts that the tables keep.
//
// The symbol table, the function details, the labels, jumps and patches keep
// copies of names and texts for as long as a compilation runs: thousands of
// short strings. They are laid end to end in large chunks rather than given
// a heap block each, and all go at once when the compiler is reset.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "base/tavomain.h"

namespace tavo {

namespace {

constexpr size_t CHUNKSIZE = 1 << 16;

struct Chunk {
  Chunk* prev;
  size_t size, used;
  char* text() { return reinterpret_cast<char*>(this + 1); }
};

Chunk* top;   // the chunk being filled; the others hang from it

}  // namespace

char* keeptext(const char* s, size_t len) {
  size_t n = len + 1;
  if (!top || top->size - top->used < n) {
    size_t size = std::max(n, CHUNKSIZE - sizeof(Chunk));
    auto* c = static_cast<Chunk*>(std::malloc(sizeof(Chunk) + size));
    if (!c) {   // no memory left: the copy reads as an empty text
      static char none[1];
      return none;
    }
    *c = Chunk{top, size, 0};
    top = c;
  }
  char* p = top->text() + top->used;
  std::memcpy(p, s, len);
  p[len] = 0;
  top->used += n;
  return p;
}

char* keeptext(const char* s) { return keeptext(s, std::strlen(s)); }

void resetTextStore() {
  while (top) {
    Chunk* prev = top->prev;
    std::free(top);
    top = prev;
  }
}

}  // namespace tavo
