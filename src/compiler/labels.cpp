// labels.cpp: labels, goto, gosub and lookups.
//
// Labels belong to the function being compiled and have their own
// namespace: a label name that reading it added to the name pool is taken
// out again at once. A jump to a label is emitted with a placeholder and
// recorded; at endfunc every record is patched with its label's address, so
// a jump may come before its label. Lookup tables and computed-gosub tables
// are laid inline, a jump before them skipping them at run time.
#include <cstdlib>
#include <cstring>

#include "codegen/codegen.h"
#include "compiler/compiler.h"
#include "front/front.h"

namespace tavo {

char* labelids[NLABELS];
int labeladdr[NLABELS];
int labelLine[NLABELS];
int nlabel;
char* jumpids[NLABELS];
int jumpaddr[NLABELS];
int jumpLine[NLABELS];
int njump;

// The target name of the jump about to be recorded, taken before the token
// after it was read.
static char targetname[MAXSYM];

// Takes back the name the lexer has just read, when reading it added it to
// the pool; a name that was there before (a variable, a function) stays.
static void withdrawname() {
  if (!found && lexval == namecount - 1) namecount--;
}

// ---------------------------------------------------------------------------
// Labels and jumps.

// NAME : declares the label named by ident at org. The ':' is current and
// is consumed.
void declLocalLabel(int org) {
  withdrawname();
  reachable = 1;   // a goto or gosub may lead here
  int first = findLocalLabel(ident);
  if (first >= 0) {
    errline = currline;
    errcol = 0;
    errorf("Label '%s:' aready exists (in %d)", ident, labelLine[first]);
  } else if (nlabel >= NLABELS) {
    error("too many labels (max 50)");
  } else {
    labelids[nlabel] = keeptext(ident);
    labeladdr[nlabel] = org;
    if (nameindex.active) {
      NameDefinition d{NAME_LABEL, ident};
      d.value = org;
      d.scope = nameindex.function;
      defineName(lastName(), d);
    }
    labelLine[nlabel] = currline;
    auxline("LABEL ", ident, ": at ", org, "\n");
    nlabel++;
  }
  token = getlex();
}

// Index of the label named id in this function, or -1.
int findLocalLabel(const char* id) {
  for (int i = 0; i < nlabel; i++)
    if (std::strcmp(labelids[i], id) == 0) return i;
  return -1;
}

// Demands the name of a jump's target and consumes it, keeping its text for
// declLocalJump and taking it out of the pool before reading on.
void labeltarget() {
  copytext(targetname, sizeof targetname, ident);
  if (token == TOK_NAME) {
    useLabel(lastName());
    withdrawname();
  }
  expectToken(TOK_NAME);
}

// Records a jump whose two-byte operand at index patch is to receive the
// address of the label labeltarget read.
void declLocalJump(int patch) {
  if (njump >= NLABELS) {
    error("too many jumps to labels (max 50)");
    return;
  }
  jumpids[njump] = keeptext(targetname);
  jumpaddr[njump] = patch;
  jumpLine[njump] = currline;
  njump++;
}

// At endfunc: patches every recorded jump with its label's address, and
// reports, at the jump's line, each one whose label is missing.
void resolveLocalJumps() {
  for (int i = 0; i < njump; i++) {
    int k = findLocalLabel(jumpids[i]);
    if (k < 0) {
      errline = jumpLine[i];
      errcol = 0;
      errorf("Label '%s:' not found", jumpids[i]);
    } else {
      patchjump(jumpaddr[i], labeladdr[k]);
    }
  }
}

void destroyLocalJumps() {
  for (int i = njump - 1; i >= 0; i--) {
    jumpids[i] = nullptr;
    jumpaddr[i] = 0;
  }
  njump = 0;
}

void destroyLocalLabels() {
  for (int i = nlabel - 1; i >= 0; i--) {
    labelids[i] = nullptr;
    labeladdr[i] = 0;
  }
  nlabel = 0;
}

// ---------------------------------------------------------------------------
// gosub.

// gosub NAME                 PUSHAC label, GOSUB
// gosub (INDEX), (A, B, ...)  a computed gosub through a table of jumps:
//   INDEX DUP PUSHC 255 AND PUSHC n LT JTRUE ok PUSHC 0 AND
//   ok: PUSHC 3 MUL PUSHC table ADD GOSUB JUMP end
//   table: JUMP A, JUMP B, ...  end:
// An index whose low byte is not below the count n selects the first entry.
void Gosub() {
  if (token != '(') {
    labeltarget();
    declLocalJump(placejump(C_PUSHAC, 0));
    emit(C_GOSUB);
    return;
  }
  pexpr();
  expect(',');
  emit(C_DUP);
  emitop(C_PUSHC, 255);
  emit(C_AND);
  int count = emitop(C_PUSHC, 0);   // the entry count, stored at the end
  emit(C_LT);
  int inrange = placejump(C_JTRUE, 0xFFFF);
  emitop(C_PUSHC, 0);
  emit(C_AND);
  patchjump(inrange, origin);
  emitop(C_PUSHC, 3);
  emit(C_MUL);
  force16 = 1;   // 3 + ADD + GOSUB + 3 bytes of JUMP: the table is 8 on
  emitop(C_PUSHC, static_cast<unsigned>(origin + 8));
  emit(C_ADD);
  emit(C_GOSUB);
  int skip = placejump(C_JUMP, 0xFFFF);
  expect('(');
  int n = 0;
  if (!match(')')) {
    do {
      labeltarget();
      declLocalJump(placejump(C_JUMP, 0xFFFF));
      n++;
    } while (match(','));
    expect(')');
  }
  if (n == 0) error("Empty jump table");
  patchjump(skip, origin);
  if (count < MAXCODE) code[count] = static_cast<unsigned char>(n);
}

// ---------------------------------------------------------------------------
// Lookup tables.

// lookup8 ( KEY, ITEM {, ITEM} ) and lookup16: the value of
// translate(KEY, table + 0x8000, wide, count):
//   PUSHAC -8 KEY JUMP past PUSHS size table past: PUSHC table+0x8000
//   PUSHC wide PUSHC count CALL 4
// The PUSHS header is never run; it lets the listing step over the table.
static void lookuptable(int wide) {
  emitop(C_PUSHAC, 0xFFF8);   // translate, -8
  expect('(');
  expr(1, 0);
  int skip = placejump(C_JUMP, 0);
  int header = placejump(C_PUSHS, 0xFFFF);
  int table = origin + 0x8000;
  expect(',');
  int n = 0;
  if (!match(')')) {
    if (wide) {
      do {
        int v = lexval;
        if (token == TOK_CONST) checkoperand(v, tokline, tokcol);
        expectToken(TOK_CONST);
        emitword(v);
        n++;
      } while (match(','));
    } else {
      n = loadBytes2Codestream();
    }
    expect(')');
  }
  if (n == 0) error("Empty lookup table");
  patchjump(header, wide ? 2 * n : n);
  patchjump(skip, origin);
  emitop(C_PUSHC, static_cast<unsigned>(table));
  emitop(C_PUSHC, static_cast<unsigned>(wide));
  emitop(C_PUSHC, static_cast<unsigned>(n));
  emitop(C_CALL, 4);
}

// lookup8: one byte per item. The keyword is consumed.
void lookup8() { lookuptable(0); }

// lookup16: two bytes per item, low byte first. The keyword is consumed.
void lookup16() { lookuptable(1); }

void resetLabels() {
  destroyLocalJumps();
  destroyLocalLabels();
  for (int i = 0; i < NLABELS; i++) labelLine[i] = jumpLine[i] = 0;
  targetname[0] = 0;
}

}  // namespace tavo
