// textstore.cpp: copies of names and texts that the tables keep.
//
// The symbol table, the function details, the labels, jumps and patches keep
// copies of names and texts for as long as a compilation runs: thousands of
// short strings. They are laid end to end in large chunks rather than given
// a heap block each, and all go at once when the compiler is reset.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "driver/tavomain.h"

namespace tavo {

namespace {

constexpr size_t CHUNKSIZE = 16384;

struct Chunk {
  Chunk* prev;
  char* text;
  size_t size, used;
};

// The first chunk is static storage, which comes in at once (pages.cpp),
// and holds the texts of a program at the tables' limits; only larger
// programs take chunks from the heap.
char firsttext[1 << 17];
Chunk first;
Chunk* top;

// A heap chunk: its header, then its text.
Chunk* newChunk(size_t size) {
  auto* c = static_cast<Chunk*>(std::malloc(sizeof(Chunk) + size));
  if (!c) return nullptr;
  prefault(c, sizeof(Chunk) + size);
  *c = Chunk{top, reinterpret_cast<char*>(c + 1), size, 0};
  return c;
}

}  // namespace

char* keeptext(const char* s, size_t len) {
  size_t n = len + 1;
  if (!top) {
    first = Chunk{nullptr, firsttext, sizeof firsttext, 0};
    top = &first;
  }
  if (top->size - top->used < n) {
    Chunk* c = newChunk(std::max(n, CHUNKSIZE - sizeof(Chunk)));
    if (!c) {   // no memory left: the copy reads as an empty text
      static char none[1];
      return none;
    }
    top = c;
  }
  char* p = top->text + top->used;
  std::memcpy(p, s, len);
  p[len] = 0;
  top->used += n;
  return p;
}

char* keeptext(const char* s) { return keeptext(s, std::strlen(s)); }

void resetTextStore() {
  while (top && top != &first) {
    Chunk* prev = top->prev;
    std::free(top);
    top = prev;
  }
  top = nullptr;
}

}  // namespace tavo
