// resolve.cpp: the names in word tables, resolved after the second pass.
//
// Each patch that the first pass recorded (codegen/patches.cpp) names a
// table, a constant, a global, a function or a platform function. Now that
// the second pass has given every one of them its address, each is looked up
// as an expression would find it and its word written, low byte first.
#include <cstdio>

#include "codegen/codegen.h"
#include "compiler/compiler.h"
#include "front/front.h"

namespace tavo {

int wordnames;

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
    else
      warning(false, "Constant \"%s\" Found %04X, token=%d, lexval=%d\n", s, k, token, lexval);
    return;
  }
  lexval = lookup(s);
  if (found) {
    pushval(1);
    patchword(a, pusharg);
  } else {
    warning(false, "could not resolve %s\n", s);
  }
}

// Applies every patch, the last recorded first, and empties the table.
void xapply_patches() {
  // Names resolve against globals, functions and platform functions only,
  // never against what the last compiled function declared: its locals and
  // arguments are set aside meanwhile. What comes after the patches (the
  // start-up header's push of main) sees them again.
  wordnames = patchptr;
  int locals = nlocal, args = narg;
  nlocal = 0;
  narg = 0;
  while (patchptr != 0) {
    int i = --patchptr;
    if (patchtype[i] == TOK_NAME)
      resolve(patchname[i], patchaddr[i]);
    else
      warning(false, "could not resolve %s\n", patchname[i]);
    patchname[i] = nullptr;
  }
  nlocal = locals;
  narg = args;
}

}  // namespace tavo
