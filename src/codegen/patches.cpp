// patches.cpp: names in word tables.
//
// Word tables are laid down in the first pass, before the second pass has
// given the program's functions and globals their addresses. A name in such
// a table leaves a zero word in the image and a patch here; after the second
// pass every patch is resolved at once and its word written, low byte first.
#include <cstdlib>
#include <cstring>

#include "codegen/codegen.h"
#include "compiler/compiler.h"
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

// Writes a placeholder's word; bytes the full image refused stay unwritten.
static void patchword(int a, int value) {
  if (a >= 0 && a < MAXCODE - 1) code[a] = static_cast<unsigned char>(value & 0xFF);
  if (a + 1 >= 0 && a + 1 < MAXCODE - 1) code[a + 1] = static_cast<unsigned char>((value >> 8) & 0xFF);
}

// One name: a table or numeric constant gives its value; a name the second
// pass knew gives what pushval finds for it (a global's address, a function's
// address or a platform function's number). Anything else is reported in
// "o.err" without counting as an error, and the placeholder stays 0.
static void resolve(const char* s, int a) {
  int k = lookupK(s);
  if (k >= 0 && k < NSYM) {
    token = symtab[k].type;
    lexval = symtab[k].value;
    if (token == KW_BYTE || token == KW_WORD || token == KW_DWORD || token == TOK_CONST)
      patchword(a, lexval);
    else if (err_fp)
      std::fprintf(err_fp, "Constant \"%s\" Found %04X, token=%d, lexval=%d\n", s, k, token,
                   lexval);
    return;
  }
  lexval = lookup(s);
  if (found) {
    pushval(1);
    patchword(a, pusharg);
  } else if (err_fp) {
    std::fprintf(err_fp, "could not resolve %s\n", s);
  }
}

// Applies every patch, the last recorded first, and empties the table.
void xapply_patches() {
  // Names resolve against globals, functions and platform functions only,
  // never against what the last compiled function declared: its locals and
  // arguments are set aside meanwhile. What comes after the patches (the
  // start-up header's push of main) sees them again.
  int locals = nlocal, args = narg;
  nlocal = 0;
  narg = 0;
  while (patchptr != 0) {
    int i = --patchptr;
    if (patchtype[i] == TOK_NAME)
      resolve(patchname[i], patchaddr[i]);
    else if (err_fp)
      std::fprintf(err_fp, "could not resolve %s\n", patchname[i]);
    patchname[i] = nullptr;
  }
  nlocal = locals;
  narg = args;
}

void resetPatches() {
  for (char*& s : patchname) s = nullptr;
  for (int i = 0; i < PATCHTABLESIZE; i++) patchaddr[i] = patchtype[i] = 0;
  patchptr = 0;
}

}  // namespace tavo
