// patches.cpp: names in word tables.
//
// Word tables are laid down in the first pass, before the second pass has
// given the program's functions and globals their addresses. A name in such
// a table leaves a zero word in the image and a patch here; after the second
// pass every patch is resolved at once (compiler/resolve.cpp).
#include <cstdlib>
#include <cstring>

#include "codegen/codegen.h"
#include "front/front.h"

namespace tavo {

char* patchname[PATCHTABLESIZE];
int patchaddr[PATCHTABLESIZE];
int patchtype[PATCHTABLESIZE];
int patchptr;

// Records a patch for pname at origin and, for a name, emits its zero
// placeholder word. The pool index is not needed: the name is resolved by
// its text after the second pass.
void xpatchAddress(const char* pname, int, int type) {
  if (patchptr >= PATCHTABLESIZE) {
    error("too many names in word tables (max 1000)");
    return;
  }
  patchname[patchptr] = keeptext(pname);
  patchaddr[patchptr] = origin;
  patchtype[patchptr] = type;
  patchptr++;
  if (type == TOK_NAME) emitword(0);
}

void resetPatches() {
  for (char*& s : patchname) s = nullptr;
  for (int i = 0; i < PATCHTABLESIZE; i++) patchaddr[i] = patchtype[i] = 0;
  patchptr = 0;
}

}  // namespace tavo
